// What the screen shows, read back for tests, tools and benchmarks (BitBlt with CAPTUREBLT from the
// screen's device context gives the real pixels, layered and top-most windows included), and saved as
// a PNG file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::picture {

struct ScreenPixels {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;  // 0xXXRRGGBB, rows from the top

  uint32_t At(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

// The screen inside `r` (screen pixels); false when it cannot be read.
bool CaptureScreen(const RECT& r, ScreenPixels* out);
// What the screen shows where `window` is (its frame included).
bool CaptureWindow(HWND window, ScreenPixels* out);
// Writes `image` to `path` as a PNG file; false when it cannot be written.
bool SavePng(const std::wstring& path, const ScreenPixels& image);

}  // namespace quillet::picture

// What the screen shows, read back for tests, tools and benchmarks: the real pixels (BitBlt with
// CAPTUREBLT from the screen's device context), and a PNG of them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

struct ScreenPixels {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows from the top

  uint32_t At(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

// The screen inside `r` (screen pixels); false when it cannot be read.
bool CaptureScreen(const RECT& r, ScreenPixels* out);
// Needs GDI+ started.
bool SavePng(const std::wstring& path, const ScreenPixels& image);

}  // namespace quillet

#include "tools/picture/screen_capture.h"

#include <cstring>

#include "platform/win32/unique_handle.h"
#include "tools/picture/png.h"
#include "winui/gdi.h"

namespace quillet::picture {

bool CaptureScreen(const RECT& r, ScreenPixels* out) {
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  const winui::WindowDC screen(nullptr);
  if (screen.get() == nullptr) return false;
  const winui::MemoryDC memory(screen.get());
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const winui::UniqueBitmap dib(::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (memory.get() == nullptr || !dib || bits == nullptr) return false;
  {
    const winui::SelectScope selected(memory.get(), dib.get());
    if (!::BitBlt(memory.get(), 0, 0, w, h, screen.get(), r.left, r.top, SRCCOPY | CAPTUREBLT)) return false;
    ::GdiFlush();
  }
  out->width = w;
  out->height = h;
  out->pixels.resize(static_cast<size_t>(w) * h);
  std::memcpy(out->pixels.data(), bits, out->pixels.size() * sizeof(uint32_t));
  return true;
}

bool CaptureWindow(HWND window, ScreenPixels* out) {
  RECT r{};
  return ::GetWindowRect(window, &r) && CaptureScreen(r, out);
}

bool SavePng(const std::wstring& path, const ScreenPixels& image) {
  const std::vector<uint8_t> png = EncodePng(image.width, image.height, image.pixels);
  if (png.empty()) return false;
  platform::win32::UniqueHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  const bool ok =
      ::WriteFile(file.get(), png.data(), static_cast<DWORD>(png.size()), &written, nullptr) && written == png.size();
  return file.Close() && ok;
}

}  // namespace quillet::picture

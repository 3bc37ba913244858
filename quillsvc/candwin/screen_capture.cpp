#include "quillsvc/candwin/screen_capture.h"

#include <cstring>

#include "quillsvc/candwin/gdiplus_api.h"

namespace quillet {
namespace {

struct ScreenDc {
  HDC dc = ::GetDC(nullptr);
  ~ScreenDc() {
    if (dc != nullptr) ::ReleaseDC(nullptr, dc);
  }
};
struct MemoryDc {
  HDC dc;
  explicit MemoryDc(HDC compatible) : dc(::CreateCompatibleDC(compatible)) {}
  ~MemoryDc() {
    if (dc != nullptr) ::DeleteDC(dc);
  }
};
struct Bitmap {
  HBITMAP bitmap = nullptr;
  ~Bitmap() {
    if (bitmap != nullptr) ::DeleteObject(bitmap);
  }
};
struct Selection {
  HDC dc;
  HGDIOBJ previous;
  Selection(HDC d, HGDIOBJ object) : dc(d), previous(::SelectObject(d, object)) {}
  ~Selection() { ::SelectObject(dc, previous); }
};

// The PNG encoder of the system's imaging codecs.
const CLSID kPngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

}  // namespace

bool CaptureScreen(const RECT& r, ScreenPixels* out) {
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  const ScreenDc screen;
  if (screen.dc == nullptr) return false;
  const MemoryDc memory(screen.dc);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  Bitmap dib;
  dib.bitmap = ::CreateDIBSection(screen.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (memory.dc == nullptr || dib.bitmap == nullptr) return false;
  {
    const Selection selected(memory.dc, dib.bitmap);
    if (!::BitBlt(memory.dc, 0, 0, w, h, screen.dc, r.left, r.top, SRCCOPY | CAPTUREBLT)) return false;
    ::GdiFlush();
  }
  out->width = w;
  out->height = h;
  out->pixels.resize(static_cast<size_t>(w) * h);
  std::memcpy(out->pixels.data(), bits, out->pixels.size() * sizeof(uint32_t));
  return true;
}

bool SavePng(const std::wstring& path, const ScreenPixels& image) {
  Gdiplus::GpBitmap* bitmap = nullptr;
  std::vector<uint32_t> copy(image.pixels);
  if (gdip::GdipCreateBitmapFromScan0(image.width, image.height, image.width * 4, PixelFormat32bppRGB,
                                      reinterpret_cast<BYTE*>(copy.data()), &bitmap) != Gdiplus::Ok) {
    return false;
  }
  const gdip::ImagePtr owned(bitmap);
  return gdip::GdipSaveImageToFile(bitmap, path.c_str(), &kPngEncoder, nullptr) == Gdiplus::Ok;
}

}  // namespace quillet

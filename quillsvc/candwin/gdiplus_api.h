// GDI+ for the Windows shell of the candidate window. Only the flat functions are used: the SDK's
// wrapper classes in these headers hand out a null generic family when the system has none, and
// crash when it is used. Every GDI+ object is owned by one of the types below.
#pragma once

#include <windows.h>
// clang-format off
#include <objidl.h>  // the GDI+ headers need it, and WIN32_LEAN_AND_MEAN leaves it out
#include <gdiplus.h>
// clang-format on

#include <memory>
#include <string_view>

namespace quillet::gdip {

using Gdiplus::GpStatus;
using namespace Gdiplus::DllExports;

template <class T, GpStatus(WINGDIPAPI* Delete)(T*)>
struct Deleter {
  void operator()(T* p) const {
    if (p != nullptr) Delete(p);
  }
};

using GraphicsPtr = std::unique_ptr<Gdiplus::GpGraphics, Deleter<Gdiplus::GpGraphics, &GdipDeleteGraphics>>;
using BrushPtr = std::unique_ptr<Gdiplus::GpBrush, Deleter<Gdiplus::GpBrush, &GdipDeleteBrush>>;
using PenPtr = std::unique_ptr<Gdiplus::GpPen, Deleter<Gdiplus::GpPen, &GdipDeletePen>>;
using StringFormatPtr =
    std::unique_ptr<Gdiplus::GpStringFormat, Deleter<Gdiplus::GpStringFormat, &GdipDeleteStringFormat>>;
using RegionPtr = std::unique_ptr<Gdiplus::GpRegion, Deleter<Gdiplus::GpRegion, &GdipDeleteRegion>>;
using FontPtr = std::unique_ptr<Gdiplus::GpFont, Deleter<Gdiplus::GpFont, &GdipDeleteFont>>;
using FontFamilyPtr = std::unique_ptr<Gdiplus::GpFontFamily, Deleter<Gdiplus::GpFontFamily, &GdipDeleteFontFamily>>;
using ImagePtr = std::unique_ptr<Gdiplus::GpImage, Deleter<Gdiplus::GpImage, &GdipDisposeImage>>;

// UTF-16 text as GDI+ takes it (WCHAR is 16-bit on Windows); the length always goes with it.
inline const WCHAR* Wide(std::u16string_view text) {
  static_assert(sizeof(WCHAR) == sizeof(char16_t), "UTF-16 code units");
  return reinterpret_cast<const WCHAR*>(text.data());
}

// GDI+ for the lifetime of the object; started() is false when it could not be started.
class Session {
 public:
  Session() {
    Gdiplus::GdiplusStartupInput input;
    started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
  }
  ~Session() {
    if (started_) Gdiplus::GdiplusShutdown(token_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  bool started() const { return started_; }

 private:
  ULONG_PTR token_ = 0;
  bool started_ = false;
};

}  // namespace quillet::gdip

#include "quillsvc/candwin/gdiplus_surface.h"

#include <cstring>
#include <new>

#include "quillsvc/candwin/gdiplus_font.h"

namespace quillet {
namespace {

using namespace gdip;

Gdiplus::RectF Box(const RectF& r) { return Gdiplus::RectF(r.x, r.y, r.width, r.height); }
Gdiplus::RectF At(PointF p) { return Gdiplus::RectF(p.x, p.y, 0, 0); }
Gdiplus::GpFont* Native(const Font& f) { return static_cast<const GdiplusFont&>(f).get(); }

// A colour with alpha 0 leaves every pixel as it was: there is nothing to draw.
bool Invisible(Argb color) { return (color >> 24) == 0; }
bool Opaque(Argb color) { return (color >> 24) == 0xFF; }

size_t PixelCount(SizeI size) { return static_cast<size_t>(size.width) * static_cast<size_t>(size.height); }

class GdiplusFrame : public OffscreenFrame {
 public:
  GdiplusFrame(Gdiplus::GpGraphics* window, std::unique_ptr<uint32_t[]> pixels, ImagePtr bitmap,
               std::unique_ptr<GdiplusSurface> surface, SizeI size, Surface& owner)
      : window_(window),
        pixels_(std::move(pixels)),
        bitmap_(std::move(bitmap)),
        surface_(std::move(surface)),
        size_(size),
        owner_(owner) {}
  Surface& surface() override { return *surface_; }

  void Present() override {
    // Everything drawn so far is in the pixels once GDI+ is done with them.
    owner_.Record(static_cast<DrawStatus>(GdipFlush(surface_->graphics(), Gdiplus::FlushIntentionSync)));
    HDC dc = nullptr;
    if (GdipGetDC(window_, &dc) != Gdiplus::Ok) {
      // A window surface without a device context (a bitmap's): GDI+ copies.
      GdipSetCompositingMode(window_, Gdiplus::CompositingModeSourceCopy);
      owner_.Record(
          static_cast<DrawStatus>(GdipDrawImageRectI(window_, bitmap_.get(), 0, 0, size_.width, size_.height)));
      GdipSetCompositingMode(window_, Gdiplus::CompositingModeSourceOver);
      return;
    }
    // The frame is opaque from edge to edge (gradient and border; the last column and row are left
    // transparent and show black either way), so its pixels replace what is there as they are.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size_.width;
    info.bmiHeader.biHeight = -size_.height;  // top-down, as the bitmap stores them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const int rows = ::SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(size_.width), static_cast<DWORD>(size_.height), 0,
                                         0, 0, static_cast<UINT>(size_.height), pixels_.get(), &info, DIB_RGB_COLORS);
    GdipReleaseDC(window_, dc);
    if (rows == 0) owner_.Record(DrawStatus::kGenericError);
  }

 private:
  Gdiplus::GpGraphics* window_;
  // Destroyed in reverse: the graphics, then the bitmap, then the pixels under it.
  std::unique_ptr<uint32_t[]> pixels_;
  ImagePtr bitmap_;
  std::unique_ptr<GdiplusSurface> surface_;
  SizeI size_;
  Surface& owner_;
};

}  // namespace

const uint32_t* GdiplusFrameCache::Find(const Background& background) const {
  return background_ == background ? pixels_.get() : nullptr;
}

void GdiplusFrameCache::Keep(const Background& background, const uint32_t* pixels) {
  background_.reset();
  const size_t count = PixelCount(background.frame);
  if (count != count_) {
    // Without the memory the next frame is drawn in full: it costs time, not pixels.
    pixels_.reset(new (std::nothrow) uint32_t[count]);
    count_ = pixels_ != nullptr ? count : 0;
    if (pixels_ == nullptr) return;
  }
  std::memcpy(pixels_.get(), pixels, count * sizeof(uint32_t));
  background_ = background;
}

std::unique_ptr<GdiplusSurface> GdiplusSurface::FromHdc(HDC dc, GdiplusFrameCache* cache) {
  Gdiplus::GpGraphics* g = nullptr;
  if (GdipCreateFromHDC(dc, &g) != Gdiplus::Ok) return nullptr;
  return std::make_unique<GdiplusSurface>(GraphicsPtr(g), cache);
}

std::unique_ptr<GdiplusSurface> GdiplusSurface::FromWindow(HWND hwnd) {
  Gdiplus::GpGraphics* g = nullptr;
  if (GdipCreateFromHWND(hwnd, &g) != Gdiplus::Ok) return nullptr;
  return std::make_unique<GdiplusSurface>(GraphicsPtr(g));
}

bool GdiplusSurface::Check(GpStatus s) {
  untouched_ = false;
  Record(static_cast<DrawStatus>(s));
  return s == Gdiplus::Ok;
}

BrushPtr GdiplusSurface::Solid(Argb color) {
  Gdiplus::GpSolidFill* brush = nullptr;
  return Check(GdipCreateSolidFill(color, &brush)) ? BrushPtr(brush) : nullptr;
}

PenPtr GdiplusSurface::Pen(Argb color) {
  Gdiplus::GpPen* pen = nullptr;
  return Check(GdipCreatePen1(color, 1.0f, Gdiplus::UnitWorld, &pen)) ? PenPtr(pen) : nullptr;
}

void GdiplusSurface::FillRect(const RectF& r, Argb color) {
  if (Invisible(color)) return;
  if (const BrushPtr brush = Solid(color)) {
    Check(GdipFillRectangle(graphics(), brush.get(), r.x, r.y, r.width, r.height));
  }
}

void GdiplusSurface::FrameRect(const RectF& r, Argb color) {
  if (Invisible(color)) return;
  if (const PenPtr pen = Pen(color)) Check(GdipDrawRectangle(graphics(), pen.get(), r.x, r.y, r.width, r.height));
}

void GdiplusSurface::DrawLine(Argb color, PointF from, PointF to) {
  if (Invisible(color)) return;
  if (const PenPtr pen = Pen(color)) Check(GdipDrawLine(graphics(), pen.get(), from.x, from.y, to.x, to.y));
}

void GdiplusSurface::FillPolygon(Argb color, const PointF* points, size_t count) {
  if (Invisible(color)) return;
  Gdiplus::GpPointF native[Path::kMaxPoints];
  if (count > Path::kMaxPoints) count = Path::kMaxPoints;
  for (size_t i = 0; i < count; ++i) native[i] = Gdiplus::GpPointF(points[i].x, points[i].y);
  if (const BrushPtr brush = Solid(color)) {
    Check(GdipFillPolygon(graphics(), brush.get(), native, static_cast<INT>(count), Gdiplus::FillModeAlternate));
  }
}

void GdiplusSurface::FillPath(Argb color, const Path& path) { FillPolygon(color, path.points(), path.size()); }

bool GdiplusSurface::MeasureText(std::u16string_view text, const Font& font, PointF origin, RectF* box) {
  if (text.empty()) {
    *box = {origin.x, origin.y, 0, 0};
    return true;
  }
  const Gdiplus::RectF layout = At(origin);
  Gdiplus::RectF bound;
  if (!Check(GdipMeasureString(graphics(), Wide(text), static_cast<INT>(text.size()), Native(font), &layout, nullptr,
                               &bound, nullptr, nullptr))) {
    return false;
  }
  *box = {bound.X, bound.Y, bound.Width, bound.Height};
  return true;
}

void GdiplusSurface::DrawTextAt(std::u16string_view text, const Font& font, Argb color, PointF at) {
  if (text.empty() || Invisible(color)) return;
  const Gdiplus::RectF layout = At(at);
  if (const BrushPtr brush = Solid(color)) {
    Check(GdipDrawString(graphics(), Wide(text), static_cast<INT>(text.size()), Native(font), &layout, nullptr,
                         brush.get()));
  }
}

void GdiplusSurface::DrawTextInBox(std::u16string_view text, const Font& font, Argb color, const RectF& box,
                                   bool trim) {
  if (text.empty() || Invisible(color)) return;
  Gdiplus::GpStringFormat* format = nullptr;
  if (!Check(GdipCreateStringFormat(0, LANG_NEUTRAL, &format))) return;
  const StringFormatPtr owned(format);
  Check(GdipSetStringFormatAlign(format, Gdiplus::StringAlignmentCenter));
  if (trim) Check(GdipSetStringFormatTrimming(format, Gdiplus::StringTrimmingCharacter));
  const Gdiplus::RectF layout = Box(box);
  if (const BrushPtr brush = Solid(color)) {
    Check(GdipDrawString(graphics(), Wide(text), static_cast<INT>(text.size()), Native(font), &layout, format,
                         brush.get()));
  }
}

bool GdiplusSurface::PushClip(const RectF& r) {
  Gdiplus::GpRegion* region = nullptr;
  if (!Check(GdipCreateRegion(&region))) return false;
  RegionPtr saved(region);
  if (!Check(GdipGetClip(graphics(), region))) return false;
  savedClips_.push_back(std::move(saved));
  Check(GdipSetClipRect(graphics(), r.x, r.y, r.width, r.height, Gdiplus::CombineModeReplace));
  return true;
}

void GdiplusSurface::PopClip() {
  if (savedClips_.empty()) return;
  Check(GdipSetClipRegion(graphics(), savedClips_.back().get(), Gdiplus::CombineModeReplace));
  savedClips_.pop_back();
}

void GdiplusSurface::FillGradient(const RectI& r, Argb from, Argb to, float angleDegrees) {
  // A frame that holds nothing yet and would hold the background of the last frame is that frame's copy.
  const bool blankFrame = framePixels_ != nullptr && untouched_;
  const GdiplusFrameCache::Background background{frameSize_, r, from, to, angleDegrees};
  if (blankFrame && cache_ != nullptr) {
    if (const uint32_t* kept = cache_->Find(background)) {
      std::memcpy(framePixels_, kept, PixelCount(frameSize_) * sizeof(uint32_t));
      untouched_ = false;
      return;
    }
  }
  // The float rectangle: Wine's integer variant of this brush ignores the angle.
  const Gdiplus::GpRectF rect(static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.width()),
                              static_cast<float>(r.height()));
  Gdiplus::GpLineGradient* brush = nullptr;
  if (!Check(
          GdipCreateLineBrushFromRectWithAngle(&rect, from, to, angleDegrees, FALSE, Gdiplus::WrapModeTile, &brush))) {
    return;
  }
  const BrushPtr owned(brush);
  // Opaque colours over nothing come out as they are: copying them skips blending each pixel.
  const bool copy = blankFrame && Opaque(from) && Opaque(to);
  if (copy) Check(GdipSetCompositingMode(graphics(), Gdiplus::CompositingModeSourceCopy));
  const bool filled = Check(GdipFillRectangleI(graphics(), brush, r.left, r.top, r.width(), r.height()));
  if (copy) Check(GdipSetCompositingMode(graphics(), Gdiplus::CompositingModeSourceOver));
  if (blankFrame && filled && cache_ != nullptr && Check(GdipFlush(graphics(), Gdiplus::FlushIntentionSync))) {
    cache_->Keep(background, framePixels_);
  }
}

void GdiplusSurface::FrameRectInset(const RectI& r, Argb color) {
  const PenPtr pen = Pen(color);
  if (pen == nullptr) return;
  Check(GdipSetPenMode(pen.get(), Gdiplus::PenAlignmentInset));
  Check(GdipDrawRectangleI(graphics(), pen.get(), r.left, r.top, r.width(), r.height()));
}

std::unique_ptr<OffscreenFrame> GdiplusSurface::CreateOffscreen(SizeI size) {
  if (size.width <= 0 || size.height <= 0) {
    Record(DrawStatus::kInvalidParameter);
    return nullptr;
  }
  // Transparent to begin with, as a new bitmap is.
  std::unique_ptr<uint32_t[]> pixels(new (std::nothrow) uint32_t[PixelCount(size)]());
  if (pixels == nullptr) {
    Record(DrawStatus::kOutOfMemory);
    return nullptr;
  }
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (!Check(GdipCreateBitmapFromScan0(size.width, size.height, size.width * 4, PixelFormat32bppARGB,
                                       reinterpret_cast<BYTE*>(pixels.get()), &bitmap))) {
    return nullptr;
  }
  ImagePtr image(bitmap);
  // The window's resolution, as a bitmap made for its graphics would have.
  Gdiplus::REAL dpiX = 0, dpiY = 0;
  if (Check(GdipGetDpiX(graphics(), &dpiX)) && Check(GdipGetDpiY(graphics(), &dpiY))) {
    Check(GdipBitmapSetResolution(bitmap, dpiX, dpiY));
  }
  Gdiplus::GpGraphics* g = nullptr;
  if (!Check(GdipGetImageGraphicsContext(image.get(), &g))) return nullptr;
  auto surface = std::make_unique<GdiplusSurface>(GraphicsPtr(g), cache_);
  surface->framePixels_ = pixels.get();
  surface->frameSize_ = size;
  return std::make_unique<GdiplusFrame>(graphics(), std::move(pixels), std::move(image), std::move(surface), size,
                                        *this);
}

}  // namespace quillet

#include "quillsvc/candwin/gdiplus_surface.h"

#include "quillsvc/candwin/gdiplus_font.h"

namespace quillet {
namespace {

using namespace gdip;

Gdiplus::RectF Box(const RectF& r) { return Gdiplus::RectF(r.x, r.y, r.width, r.height); }
Gdiplus::RectF At(PointF p) { return Gdiplus::RectF(p.x, p.y, 0, 0); }
Gdiplus::GpFont* Native(const Font& f) { return static_cast<const GdiplusFont&>(f).get(); }

class GdiplusFrame : public OffscreenFrame {
 public:
  GdiplusFrame(Gdiplus::GpGraphics* window, ImagePtr bitmap, std::unique_ptr<GdiplusSurface> surface, SizeI size,
               Surface& owner)
      : window_(window), bitmap_(std::move(bitmap)), surface_(std::move(surface)), size_(size), owner_(owner) {}
  Surface& surface() override { return *surface_; }
  void Present() override {
    // The frame is opaque from edge to edge (gradient and border), so it replaces what is there.
    GdipSetCompositingMode(window_, Gdiplus::CompositingModeSourceCopy);
    owner_.Record(static_cast<DrawStatus>(GdipDrawImageRectI(window_, bitmap_.get(), 0, 0, size_.width, size_.height)));
    GdipSetCompositingMode(window_, Gdiplus::CompositingModeSourceOver);
  }

 private:
  Gdiplus::GpGraphics* window_;
  ImagePtr bitmap_;  // outlives its graphics: declared before it
  std::unique_ptr<GdiplusSurface> surface_;
  SizeI size_;
  Surface& owner_;
};

}  // namespace

std::unique_ptr<GdiplusSurface> GdiplusSurface::FromHdc(HDC dc) {
  Gdiplus::GpGraphics* g = nullptr;
  if (GdipCreateFromHDC(dc, &g) != Gdiplus::Ok) return nullptr;
  return std::make_unique<GdiplusSurface>(GraphicsPtr(g));
}

std::unique_ptr<GdiplusSurface> GdiplusSurface::FromWindow(HWND hwnd) {
  Gdiplus::GpGraphics* g = nullptr;
  if (GdipCreateFromHWND(hwnd, &g) != Gdiplus::Ok) return nullptr;
  return std::make_unique<GdiplusSurface>(GraphicsPtr(g));
}

bool GdiplusSurface::Check(GpStatus s) {
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
  if (const BrushPtr brush = Solid(color)) {
    Check(GdipFillRectangle(graphics(), brush.get(), r.x, r.y, r.width, r.height));
  }
}

void GdiplusSurface::FrameRect(const RectF& r, Argb color) {
  if (const PenPtr pen = Pen(color)) Check(GdipDrawRectangle(graphics(), pen.get(), r.x, r.y, r.width, r.height));
}

void GdiplusSurface::DrawLine(Argb color, PointF from, PointF to) {
  if (const PenPtr pen = Pen(color)) Check(GdipDrawLine(graphics(), pen.get(), from.x, from.y, to.x, to.y));
}

void GdiplusSurface::FillPolygon(Argb color, const PointF* points, size_t count) {
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
  if (text.empty()) return;
  const Gdiplus::RectF layout = At(at);
  if (const BrushPtr brush = Solid(color)) {
    Check(GdipDrawString(graphics(), Wide(text), static_cast<INT>(text.size()), Native(font), &layout, nullptr,
                         brush.get()));
  }
}

void GdiplusSurface::DrawTextInBox(std::u16string_view text, const Font& font, Argb color, const RectF& box,
                                   bool trim) {
  if (text.empty()) return;
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
  // The float rectangle: Wine's integer variant of this brush ignores the angle.
  const Gdiplus::GpRectF rect(static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.width()),
                              static_cast<float>(r.height()));
  Gdiplus::GpLineGradient* brush = nullptr;
  if (!Check(
          GdipCreateLineBrushFromRectWithAngle(&rect, from, to, angleDegrees, FALSE, Gdiplus::WrapModeTile, &brush))) {
    return;
  }
  const BrushPtr owned(brush);
  Check(GdipFillRectangleI(graphics(), brush, r.left, r.top, r.width(), r.height()));
}

void GdiplusSurface::FrameRectInset(const RectI& r, Argb color) {
  const PenPtr pen = Pen(color);
  if (pen == nullptr) return;
  Check(GdipSetPenMode(pen.get(), Gdiplus::PenAlignmentInset));
  Check(GdipDrawRectangleI(graphics(), pen.get(), r.left, r.top, r.width(), r.height()));
}

std::unique_ptr<OffscreenFrame> GdiplusSurface::CreateOffscreen(SizeI size) {
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (!Check(GdipCreateBitmapFromGraphics(size.width, size.height, graphics(), &bitmap))) return nullptr;
  ImagePtr image(bitmap);
  Gdiplus::GpGraphics* g = nullptr;
  if (!Check(GdipGetImageGraphicsContext(image.get(), &g))) return nullptr;
  auto surface = std::make_unique<GdiplusSurface>(GraphicsPtr(g));
  return std::make_unique<GdiplusFrame>(graphics(), std::move(image), std::move(surface), size, *this);
}

}  // namespace quillet

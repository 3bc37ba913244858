// The Surface of the Windows build: GDI+ graphics on a window, a device context or a bitmap. Brushes,
// pens, formats and regions live inside one operation; every failing GDI+ call is recorded as the
// surface's sticky status.
#pragma once

#include <memory>
#include <vector>

#include "quillsvc/candwin/gdiplus_api.h"
#include "quillsvc/candwin/surface.h"

namespace quillet {

class GdiplusSurface : public Surface {
 public:
  explicit GdiplusSurface(gdip::GraphicsPtr graphics) : graphics_(std::move(graphics)) {}
  // Null when no graphics can be made for the device context or window.
  static std::unique_ptr<GdiplusSurface> FromHdc(HDC dc);
  static std::unique_ptr<GdiplusSurface> FromWindow(HWND hwnd);

  void FillRect(const RectF& r, Argb color) override;
  void FrameRect(const RectF& r, Argb color) override;
  void DrawLine(Argb color, PointF from, PointF to) override;
  void FillPolygon(Argb color, const PointF* points, size_t count) override;
  void FillPath(Argb color, const Path& path) override;
  bool MeasureText(std::u16string_view text, const Font& font, PointF origin, RectF* box) override;
  void DrawTextAt(std::u16string_view text, const Font& font, Argb color, PointF at) override;
  void DrawTextInBox(std::u16string_view text, const Font& font, Argb color, const RectF& box, bool trim) override;
  bool PushClip(const RectF& r) override;
  void PopClip() override;
  void FillGradient(const RectI& r, Argb from, Argb to, float angleDegrees) override;
  void FrameRectInset(const RectI& r, Argb color) override;
  std::unique_ptr<OffscreenFrame> CreateOffscreen(SizeI size) override;

  Gdiplus::GpGraphics* graphics() const { return graphics_.get(); }

 private:
  // Records a failure; true on success.
  bool Check(gdip::GpStatus s);
  gdip::BrushPtr Solid(Argb color);
  gdip::PenPtr Pen(Argb color);

  gdip::GraphicsPtr graphics_;
  std::vector<gdip::RegionPtr> savedClips_;
};

}  // namespace quillet

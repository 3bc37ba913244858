// The Surface of the Windows build: GDI+ graphics on a window, a device context or a bitmap. Brushes,
// pens, formats and regions live inside one operation; every failing GDI+ call is recorded as the
// surface's sticky status.
//
// Off-screen frames are 32-bit ARGB bitmaps over memory of their own, copied to the window's device
// context in one call. A window may keep a GdiplusFrameCache across its paints: a frame that starts
// with the same background as the last one (size, rectangle, colours, angle) starts from a copy of
// its pixels instead of filling the gradient again.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "quillsvc/candwin/gdiplus_api.h"
#include "quillsvc/candwin/surface.h"

namespace quillet {

class GdiplusFrameCache {
 public:
  struct Background {
    SizeI frame;
    RectI rect;
    Argb from = 0;
    Argb to = 0;
    float angleDegrees = 0;
    bool operator==(const Background& o) const {
      return frame == o.frame && rect == o.rect && from == o.from && to == o.to && angleDegrees == o.angleDegrees;
    }
  };

  // The pixels of a frame that holds only `background`; null when another one is kept.
  const uint32_t* Find(const Background& background) const;
  // Keeps a copy of `pixels` (the whole frame) as the frame that holds only `background`; keeps
  // nothing when the memory cannot be had.
  void Keep(const Background& background, const uint32_t* pixels);

 private:
  std::optional<Background> background_;
  std::unique_ptr<uint32_t[]> pixels_;
  size_t count_ = 0;
};

class GdiplusSurface : public Surface {
 public:
  // `cache` (may be null) is kept by the owner across paints and used by this surface's frames.
  explicit GdiplusSurface(gdip::GraphicsPtr graphics, GdiplusFrameCache* cache = nullptr)
      : graphics_(std::move(graphics)), cache_(cache) {}
  // Null when no graphics can be made for the device context or window.
  static std::unique_ptr<GdiplusSurface> FromHdc(HDC dc, GdiplusFrameCache* cache = nullptr);
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
  // Records a failure; true on success. Every GDI+ call on the graphics goes through it.
  bool Check(gdip::GpStatus s);
  gdip::BrushPtr Solid(Argb color);
  gdip::PenPtr Pen(Argb color);

  gdip::GraphicsPtr graphics_;
  std::vector<gdip::RegionPtr> savedClips_;
  GdiplusFrameCache* cache_;
  // For the surface of an off-screen frame: its pixels and size, and whether GDI+ has been called on
  // it yet (a frame nothing was drawn on is fully transparent).
  uint32_t* framePixels_ = nullptr;
  SizeI frameSize_;
  bool untouched_ = true;
};

}  // namespace quillet

#include "quillsvc/candwin/spin_box.h"

namespace quillet {

void CSpinBoxBase::Draw(Surface& s, const ElementColors* const* palettes, size_t count, const Font*) {
  if (count == 0 || palettes[0] == nullptr) return;
  const ElementColors& p = *palettes[0];
  s.FillRect(bounds, Background(p));
  const ArrowGeometry g = GetArrowGeometry();
  for (int i = 0; i < 2; ++i) {
    Argb color = Foreground(p);
    if (pressed[i]) {
      color = p.highlightForeground;
      s.FillRect(g.halves[i], p.highlightBackground);
    }
    s.FillPolygon(color, g.arrows[i].data(), g.arrows[i].size());
  }
  s.FrameRect(bounds, Border(p));
}

int32_t CHSpinBox::HitTest(PointF p) const {
  if (!bounds.Contains(p)) return -1;
  return p.x - bounds.x > bounds.width * 0.5f ? 1 : 0;
}

ArrowGeometry CHSpinBox::GetArrowGeometry() const {
  const float x = bounds.x, y = bounds.y, w = bounds.width, h = bounds.height;
  const float half = w * 0.5f;
  const float s = h * 0.5f - 2;
  ArrowGeometry g;
  g.halves[0] = {x, y, half, h};
  g.halves[1] = {x + w - half, y, half, h};
  // Arrow 0 points left from a vertical base; arrow 1 is its mirror image in the second half.
  const float bx = x + half - (half - s) * 0.5f;
  const float ax = bx - s;
  const float mirror = g.halves[1].x + x + half;
  g.arrows[0] = {PointF{bx, y + 2}, PointF{bx, y + h - 2}, PointF{ax, y + h * 0.5f}};
  g.arrows[1] = {PointF{mirror - bx, y + 2}, PointF{mirror - bx, y + h - 2}, PointF{mirror - ax, y + h * 0.5f}};
  return g;
}

int32_t CVSpinBox::HitTest(PointF p) const {
  if (!bounds.Contains(p)) return -1;
  return p.y - bounds.y > bounds.height * 0.5f ? 1 : 0;
}

ArrowGeometry CVSpinBox::GetArrowGeometry() const {
  const float x = bounds.x, y = bounds.y, w = bounds.width, h = bounds.height;
  const float half = h * 0.5f;
  const float s = w * 0.5f - 2;
  ArrowGeometry g;
  g.halves[0] = {x, y, w, half};
  g.halves[1] = {x, y + h - half, w, half};
  // Arrow 0 points up from a horizontal base; arrow 1 points down, mirrored into the second half.
  const float by = y + half - (half - s) * 0.5f;
  const float lowerBase = g.halves[1].y + (y + half - by);
  g.arrows[0] = {PointF{x + 2, by}, PointF{x + w - 2, by}, PointF{x + w * 0.5f, by - s}};
  g.arrows[1] = {PointF{x + 2, lowerBase}, PointF{x + w - 2, lowerBase}, PointF{x + w * 0.5f, lowerBase + s}};
  return g;
}

}  // namespace quillet

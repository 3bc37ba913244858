// Pairs of arrow buttons drawn as filled triangles: CHSpinBox (left/right, beside the tab strip)
// switches tabs, CVSpinBox (up/down, over the right end of the candidate list) pages the candidates.
// They have no size of their own: the layout gives them their rectangle and shows them only when
// needed. Arrow 0 is the left or upper one, arrow 1 the right or lower one.
#pragma once

#include <array>

#include "quillsvc/candwin/widget_base.h"

namespace quillet {

struct ArrowGeometry {
  RectF halves[2];
  std::array<PointF, 3> arrows[2];  // base corner, base corner, apex
};

class CSpinBoxBase : public CWidgetBase {
 public:
  // `shown` is the element's setting: a spin box the user switched off is disabled for good.
  explicit CSpinBoxBase(bool shown) : CWidgetBase(shown), disabled(!shown) {}

  void Measure(Surface&, PointF, const Font&) override {}
  // The background, the pressed halves in the highlight colours, the two arrows and the border.
  void Draw(Surface& s, const ElementColors* const* palettes, size_t count, const Font* font) override;
  virtual ArrowGeometry GetArrowGeometry() const = 0;

  std::array<bool, 2> pressed{};
  bool disabled;  // never shown, hit or drawn
};

class CHSpinBox : public CSpinBoxBase {
 public:
  using CSpinBoxBase::CSpinBoxBase;
  // 1 right of the middle line, 0 on it or left of it, -1 outside.
  int32_t HitTest(PointF p) const override;
  ArrowGeometry GetArrowGeometry() const override;
};

class CVSpinBox : public CSpinBoxBase {
 public:
  using CSpinBoxBase::CSpinBoxBase;
  // 1 below the middle line, 0 on it or above it, -1 outside.
  int32_t HitTest(PointF p) const override;
  ArrowGeometry GetArrowGeometry() const override;
};

}  // namespace quillet

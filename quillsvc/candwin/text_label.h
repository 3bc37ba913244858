// A one-line bar of centred text: the title bar (the active tab's title) and the addition bar (the
// selected candidate's description).
#pragma once

#include <string>
#include <string_view>

#include "quillsvc/candwin/widget_base.h"

namespace quillet {

class CTextLabel : public CWidgetBase {
 public:
  CTextLabel(std::u16string_view text, bool shown) : CWidgetBase(shown), text(text) {}

  // 0 inside the bounds, else -1.
  int32_t HitTest(PointF p) const override;
  // The measured box of the text at `origin`; a failed measurement keeps the bounds as they were.
  void Measure(Surface& s, PointF origin, const Font& font) override;
  // Background, border, and the text centred across the bounds.
  void Draw(Surface& s, const ElementColors* const* palettes, size_t count, const Font* font) override;

  std::u16string text;
};

}  // namespace quillet

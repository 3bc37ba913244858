#include "quillsvc/candwin/text_label.h"

namespace quillet {

int32_t CTextLabel::HitTest(PointF p) const { return bounds.Contains(p) ? 0 : -1; }

void CTextLabel::Measure(Surface& s, PointF origin, const Font& font) {
  MeasureTextOnce(s, text, font, origin, &bounds);
}

void CTextLabel::Draw(Surface& s, const ElementColors* const* palettes, size_t count, const Font* font) {
  if (count == 0 || palettes[0] == nullptr) return;
  const ElementColors& p = *palettes[0];
  s.FillRect(bounds, Background(p));
  s.FrameRect(bounds, Border(p));
  if (font != nullptr) s.DrawTextInBox(text, *font, Foreground(p), bounds, false);
}

}  // namespace quillet

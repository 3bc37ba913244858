#include "quillsvc/candwin/text_list.h"

#include <algorithm>

namespace quillet {
namespace {

constexpr std::u16string_view kNumbers = u" 1 2 3 4 5 6 7 8 910";
constexpr std::u16string_view kDigits = u"0123456789";
constexpr float kDefaultItemHeight = 20;
constexpr float kDefaultNumberWidth = 30;

}  // namespace

std::u16string_view CTextList::NumberLabel(size_t i) { return i < kMaxItems ? kNumbers.substr(2 * i, 2) : u""; }

bool CTextList::Append(std::u16string_view text) {
  if (items_.size() >= kMaxItems) return false;
  items_.emplace_back(text);
  return true;
}

int32_t CTextList::HitTest(PointF p) const {
  if (!bounds.Contains(p) || !(itemHeight > 0)) return -1;
  return static_cast<int32_t>((p.y - bounds.y) / itemHeight);
}

void CTextList::Measure(Surface& s, PointF origin, const Font& font) {
  bounds = {origin.x, origin.y, 0, 0};
  itemHeight = 0;
  float widest = 0;
  for (const std::u16string& item : items_) {
    RectF box;
    if (!s.MeasureText(item, font, origin, &box)) continue;
    widest = std::max(widest, box.width);
    itemHeight = std::max(itemHeight, box.height);
  }
  if (itemHeight < 0.1f) itemHeight = kDefaultItemHeight;
  bounds.height = itemHeight * static_cast<float>(items_.size()) + 2;
  RectF digits;
  numberWidth = s.MeasureText(kDigits, font, origin, &digits) ? digits.width / 3 : kDefaultNumberWidth;
  bounds.width = numberWidth + widest;
}

void CTextList::Draw(Surface& s, const ElementColors* const* palettes, size_t count, const Font* font) {
  if (items_.empty() || count == 0 || palettes[0] == nullptr) return;
  const ElementColors& p = *palettes[0];
  s.FillRect(bounds, Background(p));
  s.FrameRect(bounds, Border(p));
  const RectF bar{bounds.x + 2, bounds.y + 2 + static_cast<float>(selected) * itemHeight, bounds.width - 4,
                  itemHeight - 2};
  s.FillRect(bar, p.highlightBackground);
  s.FrameRect(bar, p.highlightBorder);
  if (font == nullptr) return;
  for (size_t i = 0; i < items_.size(); ++i) {
    const float y = bounds.y + 2 + static_cast<float>(i) * itemHeight;
    const Argb color = static_cast<int32_t>(i) == selected ? p.highlightForeground : Foreground(p);
    s.DrawTextAt(NumberLabel(i), *font, color, {bounds.x + 2, y});
    s.DrawTextAt(items_[i], *font, color, {bounds.x + numberWidth, y});
  }
}

}  // namespace quillet

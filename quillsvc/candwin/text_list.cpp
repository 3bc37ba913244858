#include "quillsvc/candwin/text_list.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace quillet {
namespace {

constexpr std::u16string_view kNumbers = u" 1 2 3 4 5 6 7 8 910";
constexpr std::u16string_view kDigits = u"0123456789";
// Two lines of digits: how far apart a text's lines are.
constexpr std::u16string_view kTwoLines = u"0123456789\n0123456789";
constexpr float kDefaultItemHeight = 20;
constexpr float kDefaultNumberWidth = 30;
// Line pitches closer than this draw every glyph at the same pixel.
constexpr float kSamePitch = 0.01f;

// A character the text layout may start a new line at, or one it may draw otherwise than in a line
// of its own: such a row is drawn by itself.
bool BreaksLines(char16_t c) { return c < 0x20 || c == 0x85 || c == 0x2028 || c == 0x2029; }

}  // namespace

std::u16string_view CTextList::NumberLabel(size_t i) { return i < kMaxItems ? kNumbers.substr(2 * i, 2) : u""; }

bool CTextList::Append(std::u16string_view text, bool marked) {
  if (items_.size() >= kMaxItems) return false;
  items_.emplace_back(text);
  marked_.push_back(marked);
  rowsAsLines_ = false;  // until this row is measured
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
  // Rows can be drawn as the lines of one text when every one was measured as one line of the same
  // height (a fallback font for some characters makes a row higher; an empty row has no height).
  bool sameLines = true;
  float widestMarked = -1;  // no marked row measured
  for (size_t i = 0; i < items_.size(); ++i) {
    const std::u16string& item = items_[i];
    RectF box;
    if (!MeasureTextOnce(s, item, font, origin, &box)) {
      sameLines = false;
      continue;
    }
    if (item.empty() || std::any_of(item.begin(), item.end(), BreaksLines) || (i > 0 && box.height != itemHeight)) {
      sameLines = false;
    }
    widest = std::max(widest, box.width);
    if (Marked(i)) widestMarked = std::max(widestMarked, box.width);
    itemHeight = std::max(itemHeight, box.height);
  }
  if (itemHeight < 0.1f) {
    itemHeight = kDefaultItemHeight;
    sameLines = false;
  }
  // The mark's size follows the row's height, known only now.
  if (widestMarked >= 0) widest = std::max(widest, widestMarked + MarkWidth());
  bounds.height = itemHeight * static_cast<float>(items_.size()) + 2;
  RectF digits;
  const bool digitsMeasured = MeasureTextOnce(s, kDigits, font, origin, &digits);
  numberWidth = digitsMeasured ? digits.width / 3 : kDefaultNumberWidth;
  bounds.width = numberWidth + widest;
  // The numbers need the same height, and the text layout the rows' height as its line pitch.
  RectF twoLines;
  rowsAsLines_ = sameLines && digitsMeasured && digits.height == itemHeight &&
                 MeasureTextOnce(s, kTwoLines, font, origin, &twoLines) &&
                 std::abs(twoLines.height - 2 * itemHeight) < kSamePitch;
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
  const size_t n = items_.size();
  const size_t chosen = selected >= 0 ? static_cast<size_t>(selected) : n;
  if (rowsAsLines_) {
    // The rows above the selection, the selected row and the rows below it: each run in its colour as
    // the lines of one text (numbers and rows), the same pixels as row by row at a fraction of the cost.
    const size_t runs[][2] = {{0, std::min(chosen, n)}, {chosen, std::min(chosen + 1, n)}, {chosen + 1, n}};
    std::u16string numbers, rows;
    for (const auto& run : runs) {
      if (run[0] >= run[1]) continue;
      numbers.clear();
      rows.clear();
      for (size_t i = run[0]; i < run[1]; ++i) {
        if (i > run[0]) {
          numbers += u'\n';
          rows += u'\n';
        }
        numbers += NumberLabel(i);
        rows += items_[i];
      }
      const float y = bounds.y + 2 + static_cast<float>(run[0]) * itemHeight;
      const Argb color = run[0] == chosen ? p.highlightForeground : Foreground(p);
      s.DrawTextAt(numbers, *font, color, {bounds.x + 2, y});
      s.DrawTextAt(rows, *font, color, {bounds.x + numberWidth, y});
    }
  } else {
    for (size_t i = 0; i < n; ++i) {
      const float y = bounds.y + 2 + static_cast<float>(i) * itemHeight;
      const Argb color = i == chosen ? p.highlightForeground : Foreground(p);
      s.DrawTextAt(NumberLabel(i), *font, color, {bounds.x + 2, y});
      s.DrawTextAt(items_[i], *font, color, {bounds.x + numberWidth, y});
    }
  }
  for (size_t i = 0; i < n; ++i) {
    const PointF at{bounds.x + numberWidth, bounds.y + 2 + static_cast<float>(i) * itemHeight};
    RectF box;
    if (!Marked(i) || !MeasureTextOnce(s, items_[i], *font, at, &box)) continue;
    // A four-pointed star: a shape of its own, not a glyph that some font may lack or draw faintly.
    // Clear of the word before it and of the selection bar's edge after it.
    const float r = kMarkRadius * itemHeight, inner = 0.38f * r;
    const float x = at.x + box.width + 1.2f * r, y = at.y + itemHeight / 2;
    const PointF star[] = {{x, y - r}, {x + inner, y - inner}, {x + r, y}, {x + inner, y + inner},
                           {x, y + r}, {x - inner, y + inner}, {x - r, y}, {x - inner, y - inner}};
    s.FillPolygon(i == chosen ? p.highlightForeground : Foreground(p), star, std::size(star));
  }
}

}  // namespace quillet

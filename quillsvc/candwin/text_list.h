// One page of candidates: up to ten rows, each led by the number of the digit key that picks it
// (" 1" to " 9", then "10"), one row highlighted as the selection. A row may be marked as a corrected
// spelling (a word that differs a little from what was typed): a small four-pointed star follows its
// text, in the row's own colour, so that the mark shows in every colour scheme and needs no colour to
// be seen.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "quillsvc/candwin/widget_base.h"

namespace quillet {

class CTextList : public CWidgetBase {
 public:
  static constexpr size_t kMaxItems = 10;

  explicit CTextList(bool shown) : CWidgetBase(shown) {}

  // The row under `p` ((p.y - top) / row height, not checked against the item count), or -1 outside
  // the bounds or before the first measurement.
  int32_t HitTest(PointF p) const override;
  // Rows as high as the tallest item (20 when none can be measured), a number column a third of the
  // width of the ten digits (30 when they cannot be measured), and the widest item (with its mark).
  // Sizes of texts measured before with the same font are not measured again.
  void Measure(Surface& s, PointF origin, const Font& font) override;
  // Nothing without items; otherwise background, border, selection bar, numbers and rows. Rows are
  // drawn from a point and may run past the right edge; the window's width cap bounds them. When the
  // last measurement found every row one line as high as the font's line pitch, the rows before the
  // selection, the selected row and the rows after it are each drawn as one text of several lines
  // (and their numbers likewise); otherwise row by row. Then each marked row's mark, after its text
  // (none for a row whose text cannot be measured).
  void Draw(Surface& s, const ElementColors* const* palettes, size_t count, const Font* font) override;

  void RemoveAll() {
    items_.clear();
    marked_.clear();
    rowsAsLines_ = false;
  }
  // False (nothing added) when the list holds ten items already. `marked`: a corrected spelling.
  bool Append(std::u16string_view text, bool marked = false);
  size_t ItemCount() const { return items_.size(); }
  const std::u16string& Item(size_t i) const { return items_[i]; }
  bool Marked(size_t i) const { return i < marked_.size() && marked_[i]; }
  // The mark's half height, in row heights; with the room before and after it, it takes MarkWidth().
  static constexpr float kMarkRadius = 0.3f;
  float MarkWidth() const { return 3.2f * kMarkRadius * itemHeight; }
  // The two characters that number row i (0 to 9).
  static std::u16string_view NumberLabel(size_t i);

  // The last measurement found the rows fit to be drawn as lines of one text (see Draw).
  bool RowsAsLines() const { return rowsAsLines_; }

  float itemHeight = 0;
  float numberWidth = 0;
  int32_t selected = 0;  // kept inside the items by the window

 private:
  std::vector<std::u16string> items_;
  std::vector<bool> marked_;  // beside items_
  bool rowsAsLines_ = false;  // set by Measure
};

}  // namespace quillet

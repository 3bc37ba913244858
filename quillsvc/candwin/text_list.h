// One page of candidates: up to ten rows, each led by the number of the digit key that picks it
// (" 1" to " 9", then "10"), one row highlighted as the selection.
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
  // width of the ten digits (30 when they cannot be measured), and the widest item. Sizes of texts
  // measured before with the same font are not measured again.
  void Measure(Surface& s, PointF origin, const Font& font) override;
  // Nothing without items; otherwise background, border, selection bar, numbers and rows. Rows are
  // drawn from a point and may run past the right edge; the window's width cap bounds them. When the
  // last measurement found every row one line as high as the font's line pitch, the rows before the
  // selection, the selected row and the rows after it are each drawn as one text of several lines
  // (and their numbers likewise); otherwise row by row.
  void Draw(Surface& s, const ElementColors* const* palettes, size_t count, const Font* font) override;

  void RemoveAll() {
    items_.clear();
    rowsAsLines_ = false;
  }
  // False (nothing added) when the list holds ten items already.
  bool Append(std::u16string_view text);
  size_t ItemCount() const { return items_.size(); }
  const std::u16string& Item(size_t i) const { return items_[i]; }
  // The two characters that number row i (0 to 9).
  static std::u16string_view NumberLabel(size_t i);

  // The last measurement found the rows fit to be drawn as lines of one text (see Draw).
  bool RowsAsLines() const { return rowsAsLines_; }

  float itemHeight = 0;
  float numberWidth = 0;
  int32_t selected = 0;  // kept inside the items by the window

 private:
  std::vector<std::u16string> items_;
  bool rowsAsLines_ = false;  // set by Measure
};

}  // namespace quillet

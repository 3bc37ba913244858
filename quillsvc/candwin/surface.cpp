#include "quillsvc/candwin/surface.h"

#include <algorithm>

namespace quillet {

bool TextSizeCache::Find(std::u16string_view text, PointF origin, RectF* box) {
  for (Entry& e : entries_) {
    if (e.text == text) {
      e.used = ++clock_;
      *box = {origin.x + e.offsetBox.x, origin.y + e.offsetBox.y, e.offsetBox.width, e.offsetBox.height};
      return true;
    }
  }
  return false;
}

void TextSizeCache::Keep(std::u16string_view text, PointF origin, const RectF& box) {
  const RectF offsetBox{box.x - origin.x, box.y - origin.y, box.width, box.height};
  if (entries_.size() < kCapacity) {
    entries_.push_back(Entry{std::u16string(text), offsetBox, ++clock_});
    return;
  }
  Entry& oldest = *std::min_element(entries_.begin(), entries_.end(),
                                    [](const Entry& a, const Entry& b) { return a.used < b.used; });
  oldest.text.assign(text);
  oldest.offsetBox = offsetBox;
  oldest.used = ++clock_;
}

const Font* Font::Styled(FontStyle style) const {
  // A font that failed is not kept: the next call tries again.
  if (styled_ == nullptr || styled_->style() != style || styled_->status() != DrawStatus::kOk) {
    styled_ = WithStyle(style);
  }
  return styled_.get();
}

bool MeasureTextOnce(Surface& s, std::u16string_view text, const Font& font, PointF origin, RectF* box) {
  TextSizeCache& measured = font.measured();
  if (measured.Find(text, origin, box)) return true;
  if (!s.MeasureText(text, font, origin, box)) return false;
  measured.Keep(text, origin, *box);
  return true;
}

}  // namespace quillet

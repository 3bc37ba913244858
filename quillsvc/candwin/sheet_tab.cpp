#include "quillsvc/candwin/sheet_tab.h"

#include <algorithm>

namespace quillet {
namespace {

float TopRight(const TabItem& t) { return t.bounds.x + t.bounds.width - t.bounds.height; }

}  // namespace

int32_t CSheetTabBase::HitTest(PointF p) const {
  if (!bounds.Contains(p)) return -1;
  if (HasTab(activeTab) && tabs_[static_cast<size_t>(activeTab)].path.Contains(p)) return activeTab;
  for (size_t i = 0; i < tabs_.size(); ++i) {
    if (static_cast<int32_t>(i) != activeTab && tabs_[i].path.Contains(p)) return static_cast<int32_t>(i);
  }
  return -1;
}

bool CSheetTabBase::TabsInside() const {
  return std::all_of(tabs_.begin(), tabs_.end(), [this](const TabItem& t) {
    return t.bounds.x >= bounds.x && t.bounds.right() <= bounds.right() && t.bounds.y >= bounds.y &&
           t.bounds.bottom() <= bounds.bottom();
  });
}

void CSheetTabBase::Measure(Surface& s, PointF origin, const Font& font) {
  font_ = &font;
  if (tabs_.empty()) tabs_.push_back(TabItem{std::u16string(kDefaultCaption), {}, {}});
  bounds = {origin.x, origin.y, 0, 0};
  PointF position{origin.x - scrollX, origin.y - scrollY};
  float widest = 0;
  float tallest = 0;
  for (TabItem& tab : tabs_) {
    const PointF next = MeasureTab(tab, s, font, position);
    bounds.width += next.x - tab.bounds.x;
    bounds.height += next.y - tab.bounds.y;
    widest = std::max(widest, tab.bounds.width);
    tallest = std::max(tallest, tab.bounds.height);
    position = next;
  }
  if (bounds.width == 0) bounds.width = widest;
  if (bounds.height == 0) bounds.height = tallest;
}

void CSheetTabBase::Draw(Surface& s, const ElementColors* const* palettes, size_t count, const Font* font) {
  if (font == nullptr) return;
  auto draw = [&](size_t i, bool active) {
    if (i < count && palettes[i] != nullptr) DrawTab(s, tabs_[i], *palettes[i], *font, active);
  };
  for (size_t i = tabs_.size(); i-- > 0;) {
    if (static_cast<int32_t>(i) != activeTab) draw(i, false);
  }
  if (HasTab(activeTab)) draw(static_cast<size_t>(activeTab), true);
}

void CSheetTabTop::Measure(Surface& s, PointF origin, const Font& font) {
  CSheetTabBase::Measure(s, origin, font);
  bounds.width += bounds.height + 2;
}

void CSheetTabTop::Draw(Surface& s, const ElementColors* const* palettes, size_t count, const Font* font) {
  CSheetTabBase::Draw(s, palettes, count, font);
  if (!HasTab(activeTab) || static_cast<size_t>(activeTab) >= count || palettes[activeTab] == nullptr) return;
  const RectF& a = tabs_[static_cast<size_t>(activeTab)].bounds;
  const Argb pen = Border(*palettes[activeTab]);
  const float y = bounds.bottom();
  s.DrawLine(pen, {a.right() - 1, y}, {bounds.right(), y});
  s.DrawLine(pen, {bounds.x, y}, {a.x + 1, y});
}

PointF CSheetTabTop::MeasureTab(TabItem& tab, Surface& s, const Font& font, PointF position) {
  RectF box;
  if (MeasureTextOnce(s, tab.caption, font, position, &box)) {
    tab.bounds = {position.x, position.y, std::min(box.width + 2 * (box.height + 2), maxTabWidth), box.height};
    const float x = tab.bounds.x, y = tab.bounds.y, w = tab.bounds.width, h = tab.bounds.height;
    const PointF outline[] = {{x + h, y}, {x + w - h, y}, {x + w, y + h}, {x, y + h}, {x + h, y}};
    tab.path.Reset();
    tab.path.AddLines(outline, 5);
  }
  return {TopRight(tab), tab.bounds.y};
}

void CSheetTabTop::DrawTab(Surface& s, const TabItem& tab, const ElementColors& p, const Font& font, bool isActive) {
  const float x = tab.bounds.x, y = tab.bounds.y, w = tab.bounds.width, h = tab.bounds.height;
  s.FillPath(Background(p), tab.path);
  s.DrawLine(Border(p), {x, y + h}, {x + h, y});
  s.DrawLine(Border(p), {x + h, y}, {x + w - h, y});
  s.DrawLine(Border(p), {x + w - h, y}, {x + w, y + h});
  // Open at the bottom: the base line is drawn by the strip, except under the active tab.
  s.DrawLine(Background(p), {x, y + h}, {x + w, y + h});
  const RectF box{x + h, y, w - 2 * h, h};
  if (!(box.width > 0)) return;
  if (!isActive) {
    s.DrawTextInBox(tab.caption, font, Foreground(p), box, true);
    return;
  }
  const Font* bold = font.Styled(FontStyle::kBoldItalic);
  if (bold == nullptr) {
    s.Record(DrawStatus::kOutOfMemory);
  } else if (bold->status() != DrawStatus::kOk) {
    s.Record(bold->status());
  } else {
    s.DrawTextInBox(tab.caption, *bold, Foreground(p), box, true);
  }
}

int32_t CSheetTabTop::AddTab(std::u16string_view caption) {
  tabs_.push_back(TabItem{std::u16string(caption), {}, {}});
  return static_cast<int32_t>(tabs_.size()) - 1;
}

void CSheetTabTop::Relayout(Surface& s) {
  if (font_ == nullptr) return;
  PointF position{bounds.x - scrollX, bounds.y - scrollY};
  for (TabItem& tab : tabs_) position = MeasureTab(tab, s, *font_, position);
}

void CSheetTabTop::ScrollForward(Surface& s) {
  if (tabs_.empty() || !(TopRight(tabs_.back()) > bounds.right())) return;
  if (HasTab(firstVisibleTab)) {
    const RectF& f = tabs_[static_cast<size_t>(firstVisibleTab)].bounds;
    scrollX += f.width - f.height;
  }
  ++firstVisibleTab;
  Relayout(s);
}

void CSheetTabTop::ScrollBack(Surface& s) {
  if (firstVisibleTab < 1) return;
  if (HasTab(firstVisibleTab - 1)) {
    const RectF& p = tabs_[static_cast<size_t>(firstVisibleTab - 1)].bounds;
    scrollX -= p.width - p.height;
  }
  Relayout(s);
  --firstVisibleTab;
}

int32_t CSheetTabTop::SelectTab(int32_t index, Surface& s) {
  const int32_t previous = activeTab;
  if (index == activeTab || index >= static_cast<int32_t>(tabs_.size())) return previous;
  if (index >= 0) activeTab = index;
  if (!HasTab(activeTab)) return previous;
  const TabItem& t = tabs_[static_cast<size_t>(activeTab)];
  // Each pass scrolls one whole tab, so a pass per tab is enough; the bound also stops odd geometry
  // (tabs narrower than high, captions that could not be measured) from scrolling for ever.
  const size_t passes = tabs_.size();
  if (bounds.x > t.bounds.x) {
    for (size_t i = 0; i < passes && bounds.x > t.bounds.x && firstVisibleTab >= 1; ++i) ScrollBack(s);
  } else {
    for (size_t i = 0; i < passes && TopRight(t) > bounds.right(); ++i) {
      if (t.bounds.x - bounds.x - 4 <= 1) break;
      ScrollForward(s);
    }
  }
  return previous;
}

}  // namespace quillet

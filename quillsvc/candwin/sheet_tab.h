// The tab strip across the top of the candidate window: one slanted tab per candidate tab, neighbours
// overlapping, the active tab drawn last with a bold italic caption and joined to the content below.
// When the tabs are wider than the strip it scrolls by whole tabs. CSheetTabBase holds the tabs and
// the generic logic; CSheetTabTop is the one shape (tabs hanging from a base line at their bottom).
// "Sheet" in a class name means a candidate tab: CSheetTabBase, CSheetTabTop, CSheetPage (the settings'
// Tab page), CLangBarItemCurrSheet and CLangBarItemSheetList keep the names the system was designed
// under, which its documents use; everything named since says "tab".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "quillsvc/candwin/path.h"
#include "quillsvc/candwin/widget_base.h"

namespace quillet {

struct TabItem {
  std::u16string caption;
  RectF bounds;  // recomputed by every measurement
  Path path;     // the outline, for filling and hit testing
};

class CSheetTabBase : public CWidgetBase {
 public:
  static constexpr std::u16string_view kDefaultCaption = u"Tab1";

  explicit CSheetTabBase(bool shown) : CWidgetBase(shown) {}

  // The tab under `p`: the active tab first (it lies on top), then the others in order; -1 for none.
  int32_t HitTest(PointF p) const override;
  // Lays the tabs out from `origin` shifted by the scroll offset and sizes the strip. A strip without
  // tabs gets one captioned "Tab1". `font` is remembered for scrolling until the next measurement.
  void Measure(Surface& s, PointF origin, const Font& font) override;
  // Every tab but the active one from last to first (earlier tabs over later ones), then the active
  // one; palette i belongs to tab i.
  void Draw(Surface& s, const ElementColors* const* palettes, size_t count, const Font* font) override;

  // Scroll one whole tab when the last tab's top-right corner lies right of the strip, or back one.
  virtual void ScrollForward(Surface& s) = 0;
  virtual void ScrollBack(Surface& s) = 0;
  // Makes `index` active (-1 keeps the active tab) and scrolls it into view. Nothing happens for the
  // active index or one not below the tab count. Returns the previous active index.
  virtual int32_t SelectTab(int32_t index, Surface& s) = 0;
  virtual void DrawTab(Surface& s, const TabItem& tab, const ElementColors& palette, const Font& font,
                       bool isActive) = 0;
  // Lays one tab out at `position`; returns where the next tab begins.
  virtual PointF MeasureTab(TabItem& tab, Surface& s, const Font& font, PointF position) = 0;

  // Every tab lies inside the strip's bounds: nothing the strip draws reaches outside them (with the
  // 1-pixel lines on their right and bottom edges).
  bool TabsInside() const;

  size_t TabCount() const { return tabs_.size(); }
  const TabItem& Tab(size_t i) const { return tabs_[i]; }
  bool HasTab(int32_t i) const { return i >= 0 && static_cast<size_t>(i) < tabs_.size(); }
  // Forgets the remembered font (the manager replaces its fonts).
  void ForgetFont() { font_ = nullptr; }

  int32_t activeTab = 0;
  int32_t firstVisibleTab = 0;  // whole tabs scrolled out to the left
  float scrollX = 0;
  float scrollY = 0;

 protected:
  std::vector<TabItem> tabs_;
  const Font* font_ = nullptr;  // not owned; the font of the last measurement
};

class CSheetTabTop : public CSheetTabBase {
 public:
  using CSheetTabBase::CSheetTabBase;

  // Adds the base line's width: the last tab's right slope and 2 pixels.
  void Measure(Surface& s, PointF origin, const Font& font) override;
  // Adds the base line from the strip's left edge to its right edge, open under the active tab.
  void Draw(Surface& s, const ElementColors* const* palettes, size_t count, const Font* font) override;
  void ScrollForward(Surface& s) override;
  void ScrollBack(Surface& s) override;
  int32_t SelectTab(int32_t index, Surface& s) override;
  void DrawTab(Surface& s, const TabItem& tab, const ElementColors& palette, const Font& font, bool isActive) override;
  // A trapezoid with 45-degree sides around the caption, at most `maxTabWidth` wide; the next tab
  // starts under this one's top-right corner.
  PointF MeasureTab(TabItem& tab, Surface& s, const Font& font, PointF position) override;

  // Index of the new tab.
  int32_t AddTab(std::u16string_view caption);
  // Lays the tabs out again at the current scroll offset; the strip's bounds stay.
  void Relayout(Surface& s);

  float maxTabWidth = 100;  // the manager scales it with the DPI
};

}  // namespace quillet

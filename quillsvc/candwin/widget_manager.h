// The widget manager owns the six widgets of the candidate window and its four fonts, builds them from
// the settings record, stacks them (tab strip on top, then title bar, candidate list and addition bar,
// the horizontal spin box right of the tab strip, the vertical one over the right end of the list),
// draws them in a fixed order with the active tab's colours (or the system's in high contrast), and
// finds the widget under a point. Sizes and fonts are those of 96 DPI, scaled to the window's `dpi`.
//
// Runs on the window's thread. The caller holds the settings read lock whenever it passes the record.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "common/settings_record.h"
#include "quillsvc/candwin/sheet_tab.h"
#include "quillsvc/candwin/spin_box.h"
#include "quillsvc/candwin/surface.h"
#include "quillsvc/candwin/system_palette.h"
#include "quillsvc/candwin/text_label.h"
#include "quillsvc/candwin/text_list.h"

namespace quillet {

class CWidgetMgrTopLayout {
 public:
  explicit CWidgetMgrTopLayout(FontFactory& fonts) : fontFactory_(fonts) {}
  CWidgetMgrTopLayout(const CWidgetMgrTopLayout&) = delete;
  CWidgetMgrTopLayout& operator=(const CWidgetMgrTopLayout&) = delete;

  // Makes every widget anew from the settings (the tab strip gets the record's tabs, the title bar
  // the title of `activeTab`, or of tab 0 when that is out of range) and loads the fonts. True when all
  // six widgets and four fonts exist; false after a Clear otherwise.
  bool Build(ConstSettingsView settings, int32_t activeTab);
  // Replaces the four fonts from the settings, their sizes scaled to `dpi`; false after a Clear when one
  // cannot be made or failed.
  bool LoadFonts(ConstSettingsView settings);
  // Deletes the widgets and the fonts.
  void Clear();
  // Positions and sizes every widget; returns the window size, (0, 0) when the fonts are not usable or
  // the tab strip's active tab is out of range.
  SizeI Layout(Surface& s);
  // Draws the widgets with the palettes of the active tab, or all in `system` colours when given.
  // Before each widget the surface's status is taken, and the widget is skipped when it was not Ok: a
  // failure costs only the next widget.
  void DrawAll(Surface& s, ConstSettingsView settings, const SystemColors* system);
  // The element code and the widget's index under `p`; false when no widget is there.
  bool HitTest(PointF p, AppearanceElement* element, int32_t* index) const;

  // All four fonts exist and report no failure.
  bool FontsUsable() const;
  const Font* font(AppearanceElement e) const { return fonts[static_cast<size_t>(e)].get(); }

  std::unique_ptr<CTextLabel> titleBar;
  std::unique_ptr<CTextLabel> additionBar;
  std::unique_ptr<CTextList> candidateList;
  std::unique_ptr<CSheetTabTop> tabStrip;
  std::unique_ptr<CVSpinBox> vScrollBar;
  std::unique_ptr<CHSpinBox> hScrollBar;
  // Upper and lower bounds of the window size at 96 DPI; a maximum of 50 or less means 500.
  int32_t maxWidth = 0;
  int32_t maxHeight = 0;
  int32_t minWidth = 0;
  int32_t minHeight = 0;
  // What the layout and the fonts are scaled to (set before Build or LoadFonts).
  uint32_t dpi = kBaseDpi;
  // Indexed by element 0 to 3: tab strip, candidate list, title bar, addition bar.
  std::array<std::unique_ptr<Font>, kFontCount> fonts;

 private:
  // The bands of the vertical stack that Layout measured, and where the stack ends.
  struct Bands {
    bool strip = false;
    bool title = false;
    bool list = false;
    bool addition = false;
    float bottom = 0;
  };
  // Layout's steps, in order: the bands measured and stacked; the window's height within its bounds;
  // the width the list and the title need; the spin boxes sized and the room they take; the width
  // within its bounds; the bands stretched to it; the vertical spin box placed beside the list.
  Bands StackBands(Surface& s);
  int32_t FitHeight(float stackBottom) const;
  float ContentWidth(const Bands& b) const;
  float WidenForVScrollBar(bool stripShown, float width);
  float WidenForHScrollBar(bool stripShown, float width);
  float FitWidth(bool stripShown, float width) const;
  void StretchBands(bool stripShown, float width, Surface& s);
  void PlaceVScrollBar();
  // Pixels at 96 DPI scaled to `dpi`; Bound does so for the window's size bounds.
  float Px(float pixels) const;
  int32_t Bound(int32_t pixels) const;

  FontFactory& fontFactory_;
};

}  // namespace quillet

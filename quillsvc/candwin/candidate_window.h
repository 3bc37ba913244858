// The candidate window as the key handling drives it: rows of the current page of the tab set's
// current source, a highlighted row, a tab strip and an addition bar. CCandListWin is the window;
// native tests stand in for it.
#pragma once

#include <cstddef>
#include <string_view>

#include "quillsvc/candwin/geometry.h"

namespace quillet {

class TabSourceSet;

// Candidate windows of the text service are laid out within this size.
inline constexpr int kCandidateWindowMaxWidth = 200;
inline constexpr int kCandidateWindowMaxHeight = 400;

class CandidateWindow {
 public:
  virtual bool IsVisible() = 0;
  virtual void Show() = 0;  // without activation
  virtual void Hide() = 0;
  // Fills the list with the current page of tabs.ShownSource(), highlights the first row (or the
  // last when selectFirst is false), puts that row's description into the addition bar and, with
  // refreshTitle, the active tab's title into the title bar. Returns the number of rows shown.
  virtual size_t ShowCandidates(TabSourceSet& tabs, bool selectFirst, bool refreshTitle) = 0;
  // The tab strip: select a tab, step to the next or previous one (wrapping) and return its
  // position, and the tab selected now. -1 when the window has no widgets.
  virtual void SelectTab(int index) = 0;
  virtual int NextTab() = 0;
  virtual int PrevTab() = 0;
  virtual int SelectedTab() = 0;
  // The highlighted row moved by delta; returns the new row, or -1 (and nothing changes) when it
  // would leave the rows shown.
  virtual int MoveSelection(int delta) = 0;
  virtual int SelectedRow() = 0;  // -1 when nothing is highlighted
  virtual size_t RowCount() = 0;  // rows shown
  virtual bool AdditionBarVisible() = 0;
  virtual void SetAdditionText(std::u16string_view text) = 0;
  virtual void Repaint() = 0;  // invalidate, no erase
  // The composition's extent in screen pixels: the window goes below it (or above, near the bottom
  // of the screen).
  virtual void PlaceBy(const RectI& extent) = 0;

 protected:
  ~CandidateWindow() = default;
};

}  // namespace quillet

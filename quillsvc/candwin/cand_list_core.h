// Everything the candidate window does that needs no window system: it owns the widget manager, fills
// the list from the current tab source, moves the selection and the active tab, runs the press/release
// click protocol and its callbacks, computes the placement next to the composition, and composes each
// frame. The Windows window (CCandListWin) owns one and supplies the host: the window's own surface,
// invalidation, the caret, the monitor's work area and the window's position; and what it reads of
// the system: the DPI to lay out at and, in high contrast, the colours to draw in.
//
// All calls come from the window's thread. The settings record is read in place: a publication of the
// loader (which never changes once published) or the preview's own copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/settings_record.h"
#include "quillsvc/candwin/geometry.h"
#include "quillsvc/candwin/surface.h"
#include "quillsvc/candwin/system_palette.h"
#include "quillsvc/candwin/widget_manager.h"
#include "quillsvc/candwin/widget_mouse_callback.h"

namespace quillet {

class TabSourceSet;
struct Candidate;

// What follows a corrected spelling's text in its accessible name, for screen readers to say.
inline constexpr std::u16string_view kCorrectedSpellingName = u", corrected spelling";

class CandListHost {
 public:
  // A surface on the window, for measuring while tabs scroll; null when none can be made.
  virtual std::unique_ptr<Surface> MeasuringSurface() = 0;
  // The whole window is to be repainted (no erase).
  virtual void Invalidate() = 0;
  // The caret of the document window, in screen pixels, when there is such a window and its caret can
  // be read; it then decides the placement instead of the composition's extent.
  virtual bool DocumentCaret(int32_t* x, int32_t* y) = 0;
  // The work area of the monitor that holds (or is nearest to) `r`.
  virtual RectI WorkArea(const RectI& r) = 0;
  // Moves and sizes the window to `r`, or only sizes it (keeping its position) when `move` is false.
  // True when its size changed: the window system then repaints it whole.
  virtual bool SetWindowRect(const RectI& r, bool move) = 0;

 protected:
  ~CandListHost() = default;
};

class CandListCore {
 public:
  // `settings` is the record, not owned; it must outlive the core.
  CandListCore(const uint8_t* settings, size_t settingsSize, IWidgetMouseEventCallback* callback, FontFactory& fonts,
               CandListHost& host);

  // Makes the manager when there is none and the record's layout kind is 0, and builds it. Then,
  // whenever a manager exists, sets its size bounds (pixels at 96 DPI, scaled like the rest). False
  // when the layout kind is unknown or the build failed.
  bool BuildWidgets(int32_t activeTab, int32_t maxWidth, int32_t maxHeight);
  // Lays the window out for `dpi` (see UsableDpi) from now on: a change makes the fonts anew at their
  // sizes scaled by dpi / 96 and repaints; the next paint resizes the window.
  void SetDpi(uint32_t dpi);
  uint32_t dpi() const { return dpi_; }
  // While set, every part is drawn in these colours instead of the tabs' own (high contrast); a change
  // repaints.
  void SetSystemColors(const std::optional<SystemColors>& colors);
  const std::optional<SystemColors>& systemColors() const { return systemColors_; }
  // The manager's fonts anew from the settings; repaints.
  void ReloadFonts();
  // Elements 0 to 3 show or hide the tab strip, list, title bar or addition bar; 4 and 5 enable or
  // disable the spin boxes. Others are ignored. No repaint.
  void SetElementVisible(int32_t element, bool shown);
  // Makes tab `index` active and scrolls it into view; nothing for an index outside the strip's tabs.
  void SelectTab(int32_t index);
  // The tab after / before the active one, wrapping around, made active; -1 without tabs.
  int32_t NextTab();
  int32_t PrevTab();
  // Moves the selection by `delta`; -1 and no change when that leaves the items. No repaint.
  int32_t MoveSelection(int32_t delta);
  void SetAdditionText(std::u16string_view text);
  // Fills the list with the current page of the current tab source: each row shows the candidate's
  // display text, else its word, marked when the candidate is a corrected spelling. With `refreshTitle` the title
  // becomes the active tab's. Selects the first row (`selectFirst`) or the last, whose description goes to the
  // addition bar. Repaints; returns the number of rows.
  size_t ShowCandidates(TabSourceSet* sources, bool selectFirst, bool refreshTitle);
  // The same with the rows given (the first ten; null entries are skipped).
  size_t ShowRows(const std::vector<const Candidate*>& rows, bool selectFirst, bool refreshTitle);

  // The two halves of a click, at client points. A press reports what lies under the mouse and gives
  // immediate feedback (the row selected, the arrow pressed); the release clears every pressed arrow
  // and acts on what lies under the mouse then.
  void Press(PointF p);
  void Release(PointF p);

  // Where a window of `windowRect`'s size goes: below the composition (or the document's caret),
  // left-aligned with it, kept inside the work area of its monitor and flipped above the text near the
  // work area's bottom.
  RectI Place(const RectI& windowRect);

  // One frame after the window has read its client size: lays out on `window`, lets the host size (and
  // with an extent, place) the window, composes the frame off-screen over the gradient and presents
  // it. A frame of the old size is not drawn when the window was just resized (the resize brings the
  // next paint at once). False when nothing was drawn.
  bool Paint(Surface& window, SizeI client);

  // What the window shows now: the active tab and the highlighted row (-1 without widgets or rows),
  // the number of rows, whether the addition bar is switched on.
  int32_t SelectedTab() const;
  int32_t SelectedRow() const;
  size_t RowCount() const;
  bool AdditionBarVisible() const;

  // What the window shows, read for the accessibility tree and the framework's candidate-list element:
  // the text of row i (empty past the rows), its name for screen readers (the text, and for a corrected
  // spelling kCorrectedSpellingName after it), the tabs' captions, the element under a client point
  // (false for none) and the client rectangle of a row or of a tab in view (false for none).
  std::u16string RowText(size_t i) const;
  std::u16string RowName(size_t i) const;
  size_t TabCount() const;
  std::u16string TabCaption(size_t i) const;
  bool TabStripVisible() const;
  bool HitTest(PointF p, AppearanceElement* element, int32_t* index) const;
  bool ElementRect(AppearanceElement element, int32_t index, RectF* rect) const;

  void SetExtent(const RectI& r) { extent_ = r; }
  const RectI& extent() const { return extent_; }
  CWidgetMgrTopLayout* manager() { return manager_.get(); }
  const CWidgetMgrTopLayout* manager() const { return manager_.get(); }

 private:
  ConstSettingsView Settings() const { return ConstSettingsView(settings_, settingsSize_); }
  void SelectTabOn(int32_t index);
  // Gradient, border and widgets of one frame.
  void Compose(Surface& frame, SizeI client, ConstSettingsView settings);

  const uint8_t* settings_;
  size_t settingsSize_;
  IWidgetMouseEventCallback* callback_;
  FontFactory& fonts_;
  CandListHost& host_;
  std::unique_ptr<CWidgetMgrTopLayout> manager_;
  RectI extent_;
  uint32_t dpi_ = kBaseDpi;
  std::optional<SystemColors> systemColors_;
};

}  // namespace quillet

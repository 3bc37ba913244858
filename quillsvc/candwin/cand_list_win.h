// The candidate window: a top-most tool popup, created disabled and never activated, that shows a
// tab's candidates next to the text. It hosts the portable CandListCore (widgets, filling, clicks,
// placement, frames) and gives it what only a window has: GDI+ on its device context, its position,
// the caret of the document window and the work area of the monitor that holds the composition. From
// the system it takes the DPI of that monitor (as the host's DPI awareness lets the thread see it;
// the text service declares none of its own) and, while high contrast is on, the system's colours;
// both are read again when Windows says they changed.
// Clicks arrive although the window is disabled: the press as WM_SETCURSOR (then the mouse is
// captured), the release as WM_LBUTTONUP.
//
// The owner starts GDI+ before creating the window, and creates it at (0, 0, 1, 1) owned by the
// document's window where the framework names one, else with no owner (or as a child for a preview).
// Top-most alone does not keep a window above the immersive windows of Windows 8 and later; a window
// owned by one stays above it. The window shows itself only without activation. Screen readers read
// it through the accessibility interfaces Windows offers (WM_GETOBJECT), whose calls from other
// threads come to it by a message that carries a cookie, never an address; nothing else reaches it
// from outside: it is bound to this object alone, and refuses WM_CLOSE and system commands (the text
// service ends it, not another program).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "quillsvc/candwin/accessible_candidates.h"
#include "quillsvc/candwin/cand_list_core.h"
#include "quillsvc/candwin/candidate_window.h"
#include "quillsvc/candwin/core_candidate_window.h"
#include "quillsvc/candwin/gdiplus_font.h"
#include "quillsvc/candwin/gdiplus_surface.h"
#include "winui/gdi.h"
#include "winui/window_impl.h"

namespace quillet {

using CandListWinTraits = winui::CWinTraits<WS_POPUP | WS_DISABLED, WS_EX_TOPMOST | WS_EX_TOOLWINDOW>;

// The system's colours as GetSysColor gives them now.
SystemColors ReadSystemColors();
// Those colours while high contrast is on; nothing while it is off or cannot be read.
std::optional<SystemColors> HighContrastColors();

// What the owner of a candidate window hears of its list while the list is shown (the text service
// publishes it as the framework's candidate-list UI element).
class CandidateListObserver {
 public:
  // The list is about to be shown: false when the application draws it itself (the window then
  // stays hidden while the list is shown).
  virtual bool OnListShown() = 0;
  // Rows, page or selection changed.
  virtual void OnListChanged() = 0;
  // The list went: hidden, or its window destroyed.
  virtual void OnListHidden() = 0;

 protected:
  ~CandidateListObserver() = default;
};

class CCandListWin : public winui::CWindowImpl<CCandListWin, CandListWinTraits>,
                     public CoreCandidateWindow,
                     private CandListHost,
                     private AccessibleList {
 public:
  // `settings` is the record, not owned; it must outlive the window.
  CCandListWin(const uint8_t* settings, size_t settingsSize, IWidgetMouseEventCallback* callback);
  ~CCandListWin();

  // A hidden top-level window at (0, 0, 1, 1), owned by `owner` (may be null), with its widgets built
  // for `activeTab` within the text service's size bounds; null when it cannot be made.
  static std::unique_ptr<CCandListWin> Create(const uint8_t* settings, size_t settingsSize,
                                              IWidgetMouseEventCallback* callback, int activeTab, HWND owner = nullptr);
  using CWindowImpl::Create;

  static winui::WindowClassInfo GetWndClassInfo();
  bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // See CandListCore for these.
  bool BuildWidgets(int32_t activeTab, int32_t maxWidth, int32_t maxHeight) {
    return core_.BuildWidgets(activeTab, maxWidth, maxHeight);
  }
  void ReloadFonts() { core_.ReloadFonts(); }
  void SetElementVisible(int32_t element, bool shown) { core_.SetElementVisible(element, shown); }

  // CandidateWindow (the rest is the core's). Shown means the list is shown: the window itself stays hidden while the
  // observer's application draws the list (SetDrawnHere changes that while shown).
  bool IsVisible() override { return shown_; }
  void Show() override;
  void Hide() override;
  // The whole window is painted again (no erase).
  void Repaint() override { Invalidate(); }
  // The core's, for the accessibility objects too.
  int SelectedRow() override { return CoreCandidateWindow::SelectedRow(); }
  // Stores the composition's extent (screen pixels), lays the window out at the DPI of the monitor
  // that holds it, and moves the window next to it.
  void PlaceBy(const RectI& extent) override;

  // Whether this window, hidden since its composition ended, can serve the next one: it still exists
  // (an owner's end takes its owned windows along), is owned by `owner` and shows `activeTab`.
  bool ServesAgain(HWND owner, int activeTab) const;

  // A window whose caret decides the placement instead of the extent; null for none.
  void SetDocumentWindow(HWND hwnd) { documentWindow_ = hwnd; }
  // Null for none; not owned, outlives the window.
  void SetObserver(CandidateListObserver* observer) { observer_ = observer; }
  // Whether this window draws the list while it is shown (the application asked otherwise, or again).
  void SetDrawnHere(bool drawn);
  bool DrawnHere() const { return drawnHere_; }

  CandListCore& core() { return core_; }

 private:
  std::unique_ptr<Surface> MeasuringSurface() override;
  void Invalidate() override;
  bool DocumentCaret(int32_t* x, int32_t* y) override;
  RectI WorkArea(const RectI& r) override;
  bool SetWindowRect(const RectI& r, bool move) override;

  // AccessibleList: rows, then the tabs in view.
  HWND ListWindow() override { return hwnd(); }
  bool ListShown() override { return shown_ && drawnHere_; }
  size_t ItemCount() override;
  bool IsRow(size_t item) override { return item < core_.RowCount(); }
  std::u16string ItemName(size_t item) override;
  bool ItemSelected(size_t item) override;
  bool ItemScreenRect(size_t item, RectI* rect) override;
  int ItemAtScreenPoint(int x, int y) override;
  // The tab of item `item` (past the rows); -1 for none.
  int TabOfItem(size_t item);

  void OnPaint(HWND hwnd);
  void OnPress(HWND hwnd);
  void ShowWindowNow(bool show);
  // The DPI this thread lays a window on `monitor` out at.
  uint32_t MonitorDpi(HMONITOR monitor) const;

  // Windows 8.1's per-monitor DPI; not loaded on older systems.
  winui::UniqueModule shcore_{L"shcore.dll"};
  GdiplusFontFactory fonts_;
  // The last frame's background, kept from one paint to the next.
  GdiplusFrameCache frames_;
  CandListCore core_;
  HWND documentWindow_ = nullptr;
  CandidateListObserver* observer_ = nullptr;
  Accessibility accessibility_{*this};
  bool shown_ = false;
  bool drawnHere_ = true;
};

}  // namespace quillet

// The candidate window: a top-most tool popup, created disabled and never activated, that shows a
// tab's candidates next to the text. It hosts the portable CandListCore (widgets, filling, clicks,
// placement, frames) and gives it what only a window has: GDI+ on its device context, its position,
// the caret of the document window and the work area of the monitor that holds the composition.
// Clicks arrive although the window is disabled: the press as WM_SETCURSOR (then the mouse is
// captured), the release as WM_LBUTTONUP.
//
// The owner starts GDI+ before creating the window, creates it with no parent at (0, 0, 1, 1) (or as a
// child for a preview), shows it only with SW_SHOWNA and destroys it before deleting the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "quillsvc/candwin/cand_list_core.h"
#include "quillsvc/candwin/gdiplus_font.h"
#include "quillsvc/candwin/gdiplus_surface.h"
#include "winui/window_impl.h"

namespace quillet {

using CandListWinTraits = winui::CWinTraits<WS_POPUP | WS_DISABLED, WS_EX_TOPMOST | WS_EX_TOOLWINDOW>;

class CCandListWin : public winui::CWindowImpl<CCandListWin, CandListWinTraits>, private CandListHost {
 public:
  // `lock` is the settings block (null: no locking), `settings` the record in it; neither is owned.
  CCandListWin(SharedBlock* lock, const uint8_t* settings, size_t settingsSize, IWidgetMouseEventCallback* callback);

  static winui::WindowClassInfo GetWndClassInfo();
  bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // See CandListCore for these.
  bool BuildWidgets(int32_t activeTab, int32_t maxWidth, int32_t maxHeight) {
    return core_.BuildWidgets(activeTab, maxWidth, maxHeight);
  }
  void ReloadFonts() { core_.ReloadFonts(); }
  void SetElementVisible(int32_t element, bool shown) { core_.SetElementVisible(element, shown); }
  void SelectTab(int32_t index) { core_.SelectTab(index); }
  int32_t NextTab() { return core_.NextTab(); }
  int32_t PrevTab() { return core_.PrevTab(); }
  int32_t MoveSelection(int32_t delta) { return core_.MoveSelection(delta); }
  void SetAdditionText(std::u16string_view text) { core_.SetAdditionText(text); }
  size_t ShowCandidates(TabSourceSet* sources, bool selectFirst, bool refreshTitle) {
    return core_.ShowCandidates(sources, selectFirst, refreshTitle);
  }
  int32_t SelectedTab() const { return core_.SelectedTab(); }
  int32_t SelectedRow() const { return core_.SelectedRow(); }
  size_t RowCount() const { return core_.RowCount(); }
  bool AdditionBarVisible() const { return core_.AdditionBarVisible(); }
  // The whole window is painted again (no erase).
  void Repaint() { Invalidate(); }
  // Stores the composition's extent (screen pixels) and moves the window next to it; false without a
  // window.
  bool SetCompositionExtent(const RECT& extent);
  // A window whose caret decides the placement instead of the extent; null for none.
  void SetDocumentWindow(HWND hwnd) { documentWindow_ = hwnd; }

  CandListCore& core() { return core_; }

 private:
  std::unique_ptr<Surface> MeasuringSurface() override;
  void Invalidate() override;
  bool DocumentCaret(int32_t* x, int32_t* y) override;
  RectI WorkArea(const RectI& r) override;
  bool SetWindowRect(const RectI& r, bool move) override;

  void OnPaint(HWND hwnd);
  void OnPress(HWND hwnd);
  // Registered messages through which tools that drive the window from outside (tsfhost) read a
  // row's text and find the client point of a row ("QuilletCandidateRowText", "...RowPoint") or of a
  // tab ("QuilletCandidateTabPoint").
  bool ToolMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  static constexpr size_t kToolTextCapacity = 256;

  GdiplusFontFactory fonts_;
  // The last frame's background, kept from one paint to the next.
  GdiplusFrameCache frames_;
  CandListCore core_;
  HWND documentWindow_ = nullptr;
};

}  // namespace quillet

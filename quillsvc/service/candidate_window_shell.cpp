#include "quillsvc/service/candidate_window_shell.h"

#include <new>

#include "quillsvc/candwin/cand_list_win.h"

namespace quillet {
namespace {

// The controller's view of CCandListWin: one call each.
class CandListWinShell final : public CandidateWindowShell {
 public:
  CandListWinShell(SharedBlock* lock, const uint8_t* settings, size_t settingsSize, IWidgetMouseEventCallback* callback)
      : window_(lock, settings, settingsSize, callback) {}
  ~CandListWinShell() override { window_.DestroyWindow(); }

  bool Create(int activeTab) {
    if (window_.Create(nullptr, RECT{0, 0, 1, 1}) == nullptr) return false;
    window_.BuildWidgets(activeTab, kCandidateWindowMaxWidth, kCandidateWindowMaxHeight);
    return true;
  }

  bool IsVisible() override { return ::IsWindowVisible(window_.hwnd()) != FALSE; }
  // Every letter asks; a window already in that state is left alone (showing costs a round trip to
  // the window system even then).
  void Show() override {
    if (!IsVisible()) ::ShowWindow(window_.hwnd(), SW_SHOWNA);
  }
  void Hide() override {
    if (IsVisible()) ::ShowWindow(window_.hwnd(), SW_HIDE);
  }
  size_t ShowCandidates(TabSourceSet& tabs, bool selectFirst, bool refreshTitle) override {
    return window_.ShowCandidates(&tabs, selectFirst, refreshTitle);
  }
  void SelectTab(int index) override { window_.SelectTab(index); }
  int NextTab() override { return window_.NextTab(); }
  int PrevTab() override { return window_.PrevTab(); }
  int SelectedTab() override { return window_.SelectedTab(); }
  int MoveSelection(int delta) override { return window_.MoveSelection(delta); }
  int SelectedRow() override { return window_.SelectedRow(); }
  size_t RowCount() override { return window_.RowCount(); }
  bool AdditionBarVisible() override { return window_.AdditionBarVisible(); }
  void SetAdditionText(std::u16string_view text) override { window_.SetAdditionText(text); }
  void Repaint() override { window_.Repaint(); }
  void SetCompositionExtent(const RECT& extent) override { window_.SetCompositionExtent(extent); }
  void SetDocumentWindow(HWND window) override { window_.SetDocumentWindow(window); }

 private:
  CCandListWin window_;
};

}  // namespace

std::unique_ptr<CandidateWindowShell> CandidateWindowShell::Create(SharedBlock* lock, const uint8_t* settings,
                                                                   size_t settingsSize,
                                                                   IWidgetMouseEventCallback* callback, int activeTab) {
  auto shell = std::make_unique<CandListWinShell>(lock, settings, settingsSize, callback);
  if (!shell->Create(activeTab)) return nullptr;
  return shell;
}

void CandidateWindowShell::UnregisterWindowClass() { CCandListWin::UnregisterWindowClass(); }

}  // namespace quillet

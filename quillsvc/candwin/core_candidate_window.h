// The CandidateWindow calls that the portable core answers by itself, written once: the Windows
// window and the key handling's native tests both stand on it, so that both run the core's own fill,
// highlight and tab rules.
#pragma once

#include <cstddef>
#include <string_view>

#include "quillsvc/candwin/cand_list_core.h"
#include "quillsvc/candwin/candidate_window.h"

namespace quillet {

class CoreCandidateWindow : public CandidateWindow {
 public:
  size_t ShowCandidates(TabSourceSet& sources, bool selectFirst, bool refreshTitle) override {
    return core_.ShowCandidates(&sources, selectFirst, refreshTitle);
  }
  void SelectTab(int index) override { core_.SelectTab(index); }
  int NextTab() override { return core_.NextTab(); }
  int PrevTab() override { return core_.PrevTab(); }
  int SelectedTab() override { return core_.SelectedTab(); }
  int MoveSelection(int delta) override { return core_.MoveSelection(delta); }
  int SelectedRow() override { return core_.SelectedRow(); }
  size_t RowCount() override { return core_.RowCount(); }
  bool AdditionBarVisible() override { return core_.AdditionBarVisible(); }
  void SetAdditionText(std::u16string_view text) override { core_.SetAdditionText(text); }

 protected:
  // `core` may be a member of the derived window, not yet made: it is only used after construction.
  explicit CoreCandidateWindow(CandListCore& core) : core_(core) {}
  ~CoreCandidateWindow() = default;

 private:
  CandListCore& core_;
};

}  // namespace quillet

// Pieces the settings pages share: showing a notice, committing a section with the message when the
// block could not be written, and list-view and combo-box chores.
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <string>
#include <vector>

#include "quillsvc/settings/callback_property_page.h"
#include "quillsvc/settings/notice.h"

namespace quillet::settings {

void ShowNotice(HWND owner, const Notice& notice);

// While alive, the page is setting its own fields: their change handlers must not take it for typing.
// Scoped, so that a handler stopped by an exception cannot leave the page deaf to the user.
class Filling {
 public:
  explicit Filling(int& depth) : depth_(depth) { ++depth_; }
  ~Filling() { --depth_; }
  Filling(const Filling&) = delete;
  Filling& operator=(const Filling&) = delete;

 private:
  int& depth_;
};

// Commits `section` through the sheet when `decision` asks for it. False (after telling the user)
// when the block could not be written; the caller keeps its page changed then.
bool CommitDecision(HWND page, ICallbackPropertyPage* sheet, SettingsSection section, const ApplyDecision& decision);

// A page's Apply over its model: a refusal is shown and keeps the sheet on the page, a section that
// could not be written leaves the model changed. True when the sheet may go on.
template <class Model>
bool ApplyModel(HWND page, ICallbackPropertyPage* sheet, SettingsSection section, Model& model) {
  const ApplyDecision decision = model.Apply();
  if (decision.refused) {
    ShowNotice(page, decision.notice);
    return false;
  }
  if (!CommitDecision(page, sheet, section, decision)) {
    model.CommitFailed();
    return false;
  }
  return true;
}

// What an LVN_ITEMCHANGED notification does to the selection: the item lost it (kLeft), or became the
// selected and focused item (kChosen).
enum class ListSelection { kNone, kLeft, kChosen };
ListSelection SelectionChange(const NMLISTVIEW& change);
// For LVN_BEGINLABELEDITW: the label's editor takes at most `maxChars` characters.
void LimitLabelEdit(HWND list, size_t maxChars);

// A list view's selected item, or -1.
int SelectedItem(HWND list);
// Selects and focuses item `index` and scrolls it into view.
void SelectItem(HWND list, int index);
void SetItemText(HWND list, int item, int column, const std::u16string& text);
int InsertItem(HWND list, int index, const std::u16string& text);
void InsertColumn(HWND list, int index, const wchar_t* text, int width);

// Replaces a drop-down list's entries.
void FillCombo(HWND combo, const std::vector<std::u16string>& entries);
int ComboSelection(HWND combo);
void SelectCombo(HWND combo, int index);  // -1: no selection

}  // namespace quillet::settings

#include "quillsvc/settings/page_common.h"

#include "common/result.h"
#include "platform/win32/wide.h"
#include "quillsvc/settings/settings_session.h"
#include "winui/module.h"

namespace quillet::settings {

using platform::win32::ToWide;

void ShowNotice(HWND owner, const Notice& notice) {
  winui::ShowMessage(owner, notice.text, MB_OK | (notice.icon == NoticeIcon::kWarning ? MB_ICONWARNING : MB_ICONERROR));
}

bool CommitDecision(HWND page, ICallbackPropertyPage* sheet, SettingsSection section, const ApplyDecision& decision) {
  if (!decision.commit || sheet == nullptr) return true;
  const int result = sheet->CommitSection(static_cast<int>(section), 1, nullptr);
  if (result == 0) return true;
  ShowNotice(page, Notice{FormatWithNumber(kWriteFailedFormat, result), NoticeIcon::kError});
  return false;
}

ListSelection SelectionChange(const NMLISTVIEW& change) {
  const UINT both = LVIS_SELECTED | LVIS_FOCUSED;
  if ((change.uOldState & LVIS_SELECTED) && !(change.uNewState & LVIS_SELECTED)) return ListSelection::kLeft;
  if ((change.uNewState & both) == both && (change.uOldState & both) != both) return ListSelection::kChosen;
  return ListSelection::kNone;
}

void LimitLabelEdit(HWND list, size_t maxChars) {
  HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
  if (edit != nullptr) SendMessageW(edit, EM_LIMITTEXT, maxChars, 0);
}

int SelectedItem(HWND list) {
  return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void SelectItem(HWND list, int index) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
  SendMessageW(list, LVM_ENSUREVISIBLE, index, FALSE);
}

void InsertColumn(HWND list, int index, const wchar_t* text, int width) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = const_cast<wchar_t*>(text);
  column.cx = width;
  column.iSubItem = index;
  SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

void SetItemText(HWND list, int item, int column, const std::u16string& text) {
  std::wstring wide = ToWide(text);
  LVITEMW lv{};
  lv.iSubItem = column;
  lv.pszText = wide.data();
  SendMessageW(list, LVM_SETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lv));
}

int InsertItem(HWND list, int index, const std::u16string& text) {
  std::wstring wide = ToWide(text);
  LVITEMW lv{};
  lv.mask = LVIF_TEXT;
  lv.iItem = index;
  lv.pszText = wide.data();
  return static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lv)));
}

void FillCombo(HWND combo, const std::vector<std::u16string>& entries) {
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const std::u16string& e : entries) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(e).c_str()));
  }
}

int ComboSelection(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

void SelectCombo(HWND combo, int index) { SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

}  // namespace quillet::settings

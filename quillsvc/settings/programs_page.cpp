#include "quillsvc/settings/programs_page.h"

#include "quillsvc/settings/page_common.h"

namespace quillet {

void CProgramsPage::OnInitPage() {
  HWND list = Item(IDC_PROGRAMS_LIST);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  settings::InsertColumn(list, 0, L"Program", 220);
  settings::InsertColumn(list, 1, L"Rule", 170);
  settings::FillCombo(Item(IDC_PROGRAMS_RULE), settings::ProgramsPageModel::RuleChoices());
  settings::SelectCombo(Item(IDC_PROGRAMS_RULE), 0);
  LimitText(IDC_PROGRAMS_NAME, 260);  // a path may be pasted: its file name is taken
  // Without the programs block (an older loader) there are no rules to keep.
  EnableItems({IDC_PROGRAMS_NAME, IDC_PROGRAMS_RULE, IDC_PROGRAMS_ADD}, model_.hasRules());
  Fill(0);
}

void CProgramsPage::Fill(int index) {
  HWND list = Item(IDC_PROGRAMS_LIST);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  const std::vector<ProgramRuleEntry>& entries = model_.entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    settings::InsertItem(list, static_cast<int>(i), entries[i].program);
    settings::SetItemText(list, static_cast<int>(i), 1, settings::ProgramsPageModel::RuleText(entries[i].rule));
  }
  const int count = static_cast<int>(entries.size());
  if (count > 0) settings::SelectItem(list, index < count ? index : count - 1);
  ShowSelected();
}

void CProgramsPage::ShowSelected() {
  const int selected = settings::SelectedItem(Item(IDC_PROGRAMS_LIST));
  EnableItems({IDC_PROGRAMS_REMOVE, IDC_PROGRAMS_CHANGE}, selected >= 0);
  if (selected < 0 || static_cast<size_t>(selected) >= model_.entries().size()) return;
  const ProgramRuleEntry& entry = model_.entries()[static_cast<size_t>(selected)];
  SetItemText(IDC_PROGRAMS_NAME, entry.program);
  settings::SelectCombo(Item(IDC_PROGRAMS_RULE), settings::ProgramsPageModel::ChoiceOf(entry.rule));
}

void CProgramsPage::Took(const std::optional<settings::Notice>& refused, int select) {
  if (refused) {
    settings::ShowNotice(hwnd(), *refused);
    return;
  }
  if (model_.changed()) SetModified();
  Fill(select);
}

void CProgramsPage::OnCommand(int id) {
  const int selected = settings::SelectedItem(Item(IDC_PROGRAMS_LIST));
  const int choice = settings::ComboSelection(Item(IDC_PROGRAMS_RULE));
  switch (id) {
    case IDC_PROGRAMS_ADD:
      Took(model_.Add(ItemText(IDC_PROGRAMS_NAME), choice), static_cast<int>(model_.entries().size()));
      return;
    case IDC_PROGRAMS_CHANGE:
      if (selected >= 0)
        Took(model_.Change(static_cast<size_t>(selected), ItemText(IDC_PROGRAMS_NAME), choice), selected);
      return;
    case IDC_PROGRAMS_REMOVE:
      if (selected >= 0 && model_.Remove(static_cast<size_t>(selected))) Took(std::nullopt, selected);
      return;
    default:
      return;
  }
}

bool CProgramsPage::OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR*) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    OnCommand(LOWORD(wParam));
  } else if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == IDC_PROGRAMS_LIST && header->code == LVN_ITEMCHANGED &&
        settings::SelectionChange(*reinterpret_cast<const NMLISTVIEW*>(header)) != settings::ListSelection::kNone) {
      ShowSelected();
    }
  }
  return false;
}

bool CProgramsPage::OnApply() {
  return settings::ApplyModel(hwnd(), sheet_, settings::SettingsSection::kProgramsPage, model_);
}

}  // namespace quillet

#include "quillsvc/settings/tab_page.h"

#include "platform/win32/wide.h"
#include "quillsvc/settings/page_common.h"

namespace quillet {

using settings::Filling;
using settings::LetterField;

namespace {

constexpr int kEditingControls[] = {IDC_TAB_TITLE,     IDC_TAB_MIN_WORD_LENGTH, IDC_TAB_MIN_WORD_LENGTH_SPIN,
                                    IDC_TAB_SHOW_FROM, IDC_TAB_SHOW_FROM_SPIN,  IDC_TAB_DICTIONARY,
                                    IDC_TAB_LINK,      IDC_TAB_ORDER,           IDC_TAB_SPELLING,
                                    IDC_TAB_NEXT_WORDS};
// Without the options block (an older loader) the order, spelling and next-word fields stay disabled.
bool IsOptionsControl(int id) { return id == IDC_TAB_ORDER || id == IDC_TAB_SPELLING || id == IDC_TAB_NEXT_WORDS; }

LetterField FieldOf(int id) {
  return id == IDC_TAB_MIN_WORD_LENGTH || id == IDC_TAB_MIN_WORD_LENGTH_SPIN ? LetterField::kMinWordLength
                                                                             : LetterField::kShowFromLetters;
}

}  // namespace

CSheetPage::CSheetPage(std::u16string_view title, SettingsView record, std::vector<uint8_t>* options,
                       ICallbackPropertyPage* sheet)
    : CPropertyPageImpl(title), model_(record, options), sheet_(sheet) {}

int CSheetPage::Selected() const { return settings::SelectedItem(Item(IDC_TAB_LIST)); }

void CSheetPage::Changed(bool changed) {
  if (changed) SetModified();
}

void CSheetPage::OnInitPage() {
  HWND list = Item(IDC_TAB_LIST);
  for (size_t i = 0; i < model_.tabCount(); ++i) settings::InsertItem(list, static_cast<int>(i), model_.TabName(i));
  LimitText(IDC_TAB_TITLE, static_cast<int>(kTabTitleCapacity - 1));
  LimitText(IDC_TAB_MIN_WORD_LENGTH, 3);
  LimitText(IDC_TAB_SHOW_FROM, 3);
  for (int spin : {IDC_TAB_MIN_WORD_LENGTH_SPIN, IDC_TAB_SHOW_FROM_SPIN}) {
    SendDlgItemMessageW(hwnd(), spin, UDM_SETRANGE32, 0, settings::kMaxLetterCount);
  }
  settings::FillCombo(Item(IDC_TAB_ORDER), settings::TabPageModel::OrderChoices());
  settings::FillCombo(Item(IDC_TAB_SPELLING), settings::TabPageModel::SpellingChoices());
  EnableFields(false);
}

void CSheetPage::OnSetActive() {
  const Filling filling(filling_);
  settings::FillCombo(Item(IDC_TAB_DICTIONARY), model_.DictionaryChoices());
  RefillLinks();
  if (model_.tabCount() == 0) return;
  SetFocus(Item(IDC_TAB_LIST));
  settings::SelectItem(Item(IDC_TAB_LIST), 0);
  ShowFields(0);
}

void CSheetPage::EnableFields(bool enable) {
  for (int id : kEditingControls) EnableWindow(Item(id), enable && (model_.hasOptions() || !IsOptionsControl(id)));
}

void CSheetPage::ShowFields(int position) {
  const std::optional<settings::TabPageModel::Fields> f = model_.FieldsOf(static_cast<size_t>(position));
  if (!f) return;
  const Filling filling(filling_);
  EnableFields(true);
  SetItemText(IDC_TAB_TITLE, f->title);
  SetItemInt(IDC_TAB_MIN_WORD_LENGTH, f->minWordLength);
  SetItemInt(IDC_TAB_SHOW_FROM, f->showFromLetters);
  settings::SelectCombo(Item(IDC_TAB_DICTIONARY), f->dictionaryChoice);
  settings::SelectCombo(Item(IDC_TAB_LINK), f->linkChoice);
  settings::SelectCombo(Item(IDC_TAB_ORDER), f->orderChoice);
  settings::SelectCombo(Item(IDC_TAB_SPELLING), f->spellingChoice);
  CheckDlgButton(hwnd(), IDC_TAB_NEXT_WORDS, f->nextWords ? BST_CHECKED : BST_UNCHECKED);
  titleDirty_ = false;
}

void CSheetPage::RefillLinks() {
  const Filling filling(filling_);
  const int selected = Selected();
  settings::FillCombo(Item(IDC_TAB_LINK), model_.LinkChoices());
  if (selected >= 0) {
    if (auto f = model_.FieldsOf(static_cast<size_t>(selected)))
      settings::SelectCombo(Item(IDC_TAB_LINK), f->linkChoice);
  }
}

void CSheetPage::StoreTitle() {
  if (!titleDirty_) return;
  titleDirty_ = false;
  const int selected = Selected();
  if (selected >= 0) Changed(model_.SetTitle(static_cast<size_t>(selected), ItemText(IDC_TAB_TITLE)));
}

void CSheetPage::OnLettersTyped(int id) {
  const int selected = Selected();
  if (selected < 0) return;
  const settings::TabPageModel::LetterOutcome o =
      model_.SetLetters(static_cast<size_t>(selected), FieldOf(id), ItemInt(id));
  if (o.notice) {
    {
      const Filling filling(filling_);
      SetItemInt(id, o.shown);
    }
    settings::ShowNotice(hwnd(), *o.notice);
  }
  Changed(o.changed);
}

void CSheetPage::Add() {
  if (std::optional<settings::Notice> full = model_.CheckAdd()) {
    settings::ShowNotice(hwnd(), *full);
    return;
  }
  HWND list = Item(IDC_TAB_LIST);
  const int position = static_cast<int>(model_.tabCount());
  if (settings::InsertItem(list, position, std::u16string(kNewTabName)) < 0) return;
  if (!model_.Add()) {
    SendMessageW(list, LVM_DELETEITEM, position, 0);
    return;
  }
  SetFocus(list);
  SendMessageW(list, LVM_EDITLABELW, position, 0);
  RefillLinks();
  SetModified();
}

void CSheetPage::Remove() {
  const int selected = Selected();
  if (selected < 0) return;
  titleDirty_ = false;  // the text belongs to the tab that goes
  HWND list = Item(IDC_TAB_LIST);
  SendMessageW(list, LVM_DELETEITEM, selected, 0);
  Changed(model_.Remove(static_cast<size_t>(selected)));
  RefillLinks();
  if (model_.tabCount() > 0) {
    settings::SelectItem(list, 0);
    ShowFields(0);
  } else {
    EnableFields(false);
  }
}

void CSheetPage::Move(bool up) {
  const int selected = Selected();
  if (selected < 0) return;
  StoreTitle();
  const std::optional<size_t> target =
      up ? model_.MoveUp(static_cast<size_t>(selected)) : model_.MoveDown(static_cast<size_t>(selected));
  if (!target) return;
  HWND list = Item(IDC_TAB_LIST);
  settings::SetItemText(list, selected, 0, model_.TabName(static_cast<size_t>(selected)));
  settings::SetItemText(list, static_cast<int>(*target), 0, model_.TabName(*target));
  RefillLinks();
  settings::SelectItem(list, static_cast<int>(*target));
  ShowFields(static_cast<int>(*target));
  SetModified();
}

void CSheetPage::OnCommand(int id, int code) {
  switch (id) {
    case IDC_TAB_ADD:
      if (code == BN_CLICKED) Add();
      return;
    case IDC_TAB_REMOVE:
      if (code == BN_CLICKED) Remove();
      return;
    case IDC_TAB_RENAME:
      if (code == BN_CLICKED && Selected() >= 0) {
        SetFocus(Item(IDC_TAB_LIST));
        SendDlgItemMessageW(hwnd(), IDC_TAB_LIST, LVM_EDITLABELW, Selected(), 0);
      }
      return;
    case IDC_TAB_UP:
    case IDC_TAB_DOWN:
      if (code == BN_CLICKED) Move(id == IDC_TAB_UP);
      return;
    case IDC_TAB_TITLE:
      if (code == EN_CHANGE && filling_ == 0 && Selected() >= 0) {
        titleDirty_ = true;
        SetModified();
      } else if (code == EN_KILLFOCUS) {
        StoreTitle();
      }
      return;
    case IDC_TAB_MIN_WORD_LENGTH:
    case IDC_TAB_SHOW_FROM:
      if (code == EN_CHANGE && filling_ == 0) OnLettersTyped(id);
      return;
    case IDC_TAB_DICTIONARY:
      if (code == CBN_SELCHANGE && Selected() >= 0) {
        Changed(model_.ChooseDictionary(static_cast<size_t>(Selected()), settings::ComboSelection(Item(id))));
      }
      return;
    case IDC_TAB_LINK:
      if (code == CBN_SELCHANGE && Selected() >= 0) {
        Changed(model_.ChooseLink(static_cast<size_t>(Selected()), settings::ComboSelection(Item(id))));
      }
      return;
    case IDC_TAB_ORDER:
      if (code == CBN_SELCHANGE && Selected() >= 0) {
        Changed(model_.ChooseOrder(static_cast<size_t>(Selected()), settings::ComboSelection(Item(id))));
      }
      return;
    case IDC_TAB_SPELLING:
      if (code == CBN_SELCHANGE && Selected() >= 0) {
        Changed(model_.ChooseSpelling(static_cast<size_t>(Selected()), settings::ComboSelection(Item(id))));
      }
      return;
    case IDC_TAB_NEXT_WORDS:
      if (code == BN_CLICKED && filling_ == 0 && Selected() >= 0) {
        Changed(model_.SetNextWords(static_cast<size_t>(Selected()), IsDlgButtonChecked(hwnd(), id) == BST_CHECKED));
      }
      return;
    default:
      return;
  }
}

bool CSheetPage::OnNotify(const NMHDR* header, INT_PTR* result) {
  if (header->idFrom == IDC_TAB_LIST) {
    switch (header->code) {
      case LVN_ITEMCHANGED: {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
        const settings::ListSelection selection = settings::SelectionChange(*change);
        if (selection == settings::ListSelection::kLeft) {
          // The title typed for the tab that is left belongs to that tab.
          if (titleDirty_) {
            titleDirty_ = false;
            Changed(model_.SetTitle(static_cast<size_t>(change->iItem), ItemText(IDC_TAB_TITLE)));
          }
          EnableFields(false);
        } else if (selection == settings::ListSelection::kChosen) {
          ShowFields(change->iItem);
        }
        return false;
      }
      case LVN_BEGINLABELEDITW:
        settings::LimitLabelEdit(header->hwndFrom, kTabNameCapacity - 1);
        *result = winui::SetMessageResult(hwnd(), FALSE);
        return true;
      case LVN_ENDLABELEDITW: {
        const auto* info = reinterpret_cast<const NMLVDISPINFOW*>(header);
        if (info->item.pszText == nullptr) return false;  // cancelled
        const std::u16string name = platform::win32::FromWide(info->item.pszText);
        Changed(model_.Rename(static_cast<size_t>(info->item.iItem), name));
        settings::SetItemText(header->hwndFrom, info->item.iItem, 0, model_.TabName(info->item.iItem));
        RefillLinks();
        // The item shows the name as stored (cut to the field), so the list's own edit is not taken.
        *result = winui::SetMessageResult(hwnd(), FALSE);
        return true;
      }
      default:
        return false;
    }
  }
  if (header->code == UDN_DELTAPOS &&
      (header->idFrom == IDC_TAB_MIN_WORD_LENGTH_SPIN || header->idFrom == IDC_TAB_SHOW_FROM_SPIN)) {
    const auto* step = reinterpret_cast<const NMUPDOWN*>(header);
    const int selected = Selected();
    bool changed = false;
    std::optional<int> value;
    if (selected >= 0) {
      value = model_.StepLetters(static_cast<size_t>(selected), FieldOf(static_cast<int>(header->idFrom)), step->iPos,
                                 step->iDelta, &changed);
    }
    if (value) {
      const Filling filling(filling_);
      SetItemInt(header->idFrom == IDC_TAB_MIN_WORD_LENGTH_SPIN ? IDC_TAB_MIN_WORD_LENGTH : IDC_TAB_SHOW_FROM, *value);
    }
    Changed(changed);
    // The control itself never moves: the field shows what the page stored.
    *result = winui::SetMessageResult(hwnd(), TRUE);
    return true;
  }
  return false;
}

bool CSheetPage::OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_COMMAND) {
    OnCommand(LOWORD(wParam), HIWORD(wParam));
    return false;
  }
  if (message == WM_NOTIFY) return OnNotify(reinterpret_cast<const NMHDR*>(lParam), result);
  return false;
}

bool CSheetPage::OnApply() {
  StoreTitle();
  return settings::ApplyModel(hwnd(), sheet_, settings::SettingsSection::kTabPage, model_);
}

}  // namespace quillet

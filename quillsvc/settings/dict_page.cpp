#include "quillsvc/settings/dict_page.h"

#include "platform/win32/wide.h"
#include "quillsvc/settings/module_paths.h"
#include "quillsvc/settings/page_common.h"
#include "winui/file_dialog.h"

namespace quillet {

using Kind = settings::DictPageModel::ChoiceOutcome::Kind;

namespace {

constexpr size_t kChooserChars = 260;

}  // namespace

CDictPage::CDictPage(std::u16string_view title, SettingsView record, ICallbackPropertyPage* sheet,
                     std::u16string moduleFile)
    : CPropertyPageImpl(title), model_(record, std::move(moduleFile)), sheet_(sheet) {}

int CDictPage::Selected() const { return settings::SelectedItem(Item(IDC_DICT_LIST)); }

void CDictPage::Changed(bool changed) {
  if (changed) SetModified();
}

void CDictPage::OnInitPage() {
  HWND list = Item(IDC_DICT_LIST);
  settings::InsertColumn(list, 0, L"Name", 100);
  settings::InsertColumn(list, 1, L"Path", 300);
  for (size_t i = 0; i < model_.count(); ++i) {
    settings::InsertItem(list, static_cast<int>(i), model_.Name(i));
    settings::SetItemText(list, static_cast<int>(i), 1, model_.StoredPath(i));
  }
  LimitText(IDC_DICT_PATH, static_cast<int>(settings::kMaxStoredPath));
  LimitText(IDC_DICT_DESCRIPTION, static_cast<int>(kDictionaryDescriptionCapacity - 1));
  EnableFields(false);
  if (model_.count() > 0) settings::SelectItem(list, 0);
}

void CDictPage::EnableFields(bool enable) {
  EnableItems({IDC_DICT_BROWSE, IDC_DICT_PATH, IDC_DICT_DESCRIPTION}, enable);
}

void CDictPage::ShowFields(int position) {
  if (position < 0 || static_cast<size_t>(position) >= model_.count()) return;
  {
    const settings::Filling filling(filling_);
    EnableFields(true);
    SetItemText(IDC_DICT_PATH, model_.FullPath(static_cast<size_t>(position)));
    SetItemText(IDC_DICT_DESCRIPTION, model_.Description(static_cast<size_t>(position)));
  }
  descriptionDirty_ = false;
}

void CDictPage::StoreDescription() {
  if (!descriptionDirty_) return;
  descriptionDirty_ = false;
  const int selected = Selected();
  if (selected >= 0) Changed(model_.SetDescription(static_cast<size_t>(selected), ItemText(IDC_DICT_DESCRIPTION)));
}

bool CDictPage::ChooseFile(std::u16string* path) {
  // The sheet runs inside the program that asked for it: the chooser leaves that program's current
  // folder alone (as its current folder, the chosen one would stay in use until the program ends).
  winui::CFileDialog chooser(true, u"Dictionary Files(*.dict)", u"*.dict", u"",
                             OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR, kChooserChars);
  if (chooser.DoModal(hwnd()) != IDOK) return false;
  *path = chooser.path();
  return true;
}

void CDictPage::ShowListed(size_t position) {
  HWND list = Item(IDC_DICT_LIST);
  SetFocus(list);
  settings::SelectItem(list, static_cast<int>(position));
  ShowFields(static_cast<int>(position));
}

void CDictPage::Add() {
  if (std::optional<settings::Notice> full = model_.CheckAdd()) {
    settings::ShowNotice(hwnd(), *full);
    return;
  }
  std::u16string chosen;
  if (!ChooseFile(&chosen)) return;
  const settings::DictPageModel::ChoiceOutcome o = model_.Add(chosen);
  if (o.kind != Kind::kStored) {
    settings::ShowNotice(hwnd(), o.notice);
    if (o.kind == Kind::kAlreadyListed) ShowListed(o.position);
    return;
  }
  HWND list = Item(IDC_DICT_LIST);
  const int item = settings::InsertItem(list, static_cast<int>(o.position), model_.Name(o.position));
  if (item < 0) {
    model_.Remove(o.position);
    return;
  }
  settings::SetItemText(list, item, 1, model_.StoredPath(o.position));
  SetFocus(list);
  settings::SelectItem(list, item);
  SendMessageW(list, LVM_EDITLABELW, item, 0);
  SetModified();
}

void CDictPage::Browse() {
  const int selected = Selected();
  if (selected < 0) return;
  std::u16string chosen;
  if (!ChooseFile(&chosen)) return;
  const settings::DictPageModel::ChoiceOutcome o = model_.Browse(static_cast<size_t>(selected), chosen);
  if (o.kind != Kind::kStored) {
    settings::ShowNotice(hwnd(), o.notice);
    if (o.kind == Kind::kAlreadyListed) ShowListed(o.position);
    return;
  }
  settings::SetItemText(Item(IDC_DICT_LIST), selected, 1, model_.StoredPath(o.position));
  {
    const settings::Filling filling(filling_);
    SetItemText(IDC_DICT_PATH, model_.FullPath(o.position));
  }
  SetModified();
}

void CDictPage::Remove() {
  const int selected = Selected();
  if (selected < 0) return;
  descriptionDirty_ = false;  // the text belongs to the dictionary that goes
  HWND list = Item(IDC_DICT_LIST);
  SendMessageW(list, LVM_DELETEITEM, selected, 0);
  Changed(model_.Remove(static_cast<size_t>(selected)));
  if (model_.count() > 0) {
    settings::SelectItem(list, 0);
    ShowFields(0);
  } else {
    {
      const settings::Filling filling(filling_);
      SetItemText(IDC_DICT_PATH, u"");
      SetItemText(IDC_DICT_DESCRIPTION, u"");
    }
    EnableFields(false);
  }
}

void CDictPage::OnCommand(int id, int code) {
  if (code == BN_CLICKED) {
    switch (id) {
      case IDC_DICT_ADD:
        Add();
        return;
      case IDC_DICT_REMOVE:
        Remove();
        return;
      case IDC_DICT_RENAME:
        if (Selected() >= 0) {
          SetFocus(Item(IDC_DICT_LIST));
          SendDlgItemMessageW(hwnd(), IDC_DICT_LIST, LVM_EDITLABELW, Selected(), 0);
        }
        return;
      case IDC_DICT_BROWSE:
        Browse();
        return;
      default:
        return;
    }
  }
  if (id == IDC_DICT_DESCRIPTION) {
    if (code == EN_CHANGE && filling_ == 0 && Selected() >= 0) {
      descriptionDirty_ = true;
      SetModified();
    } else if (code == EN_KILLFOCUS) {
      StoreDescription();
    }
  }
}

bool CDictPage::OnNotify(const NMHDR* header, INT_PTR* result) {
  if (header->idFrom != IDC_DICT_LIST) return false;
  switch (header->code) {
    case LVN_ITEMCHANGED: {
      const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
      const settings::ListSelection selection = settings::SelectionChange(*change);
      if (selection == settings::ListSelection::kLeft) {
        if (descriptionDirty_) {
          descriptionDirty_ = false;
          Changed(model_.SetDescription(static_cast<size_t>(change->iItem), ItemText(IDC_DICT_DESCRIPTION)));
        }
        EnableFields(false);
      } else if (selection == settings::ListSelection::kChosen) {
        ShowFields(change->iItem);
      }
      return false;
    }
    case LVN_BEGINLABELEDITW:
      settings::LimitLabelEdit(header->hwndFrom, kDictionaryNameCapacity - 1);
      *result = winui::SetMessageResult(hwnd(), FALSE);
      return true;
    case LVN_ENDLABELEDITW: {
      const auto* info = reinterpret_cast<const NMLVDISPINFOW*>(header);
      if (info->item.pszText == nullptr) return false;  // cancelled
      Changed(model_.Rename(static_cast<size_t>(info->item.iItem), platform::win32::FromWide(info->item.pszText)));
      settings::SetItemText(header->hwndFrom, info->item.iItem, 0, model_.Name(info->item.iItem));
      *result = winui::SetMessageResult(hwnd(), FALSE);
      return true;
    }
    default:
      return false;
  }
}

bool CDictPage::OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_COMMAND) {
    OnCommand(LOWORD(wParam), HIWORD(wParam));
    return false;
  }
  if (message == WM_NOTIFY) return OnNotify(reinterpret_cast<const NMHDR*>(lParam), result);
  return false;
}

bool CDictPage::OnApply() {
  StoreDescription();
  return settings::ApplyModel(hwnd(), sheet_, settings::SettingsSection::kDictionaryPage, model_);
}

}  // namespace quillet

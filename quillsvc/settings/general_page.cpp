#include "quillsvc/settings/general_page.h"

#include "quillsvc/settings/page_common.h"

namespace quillet {

void CGeneralPage::OnInitPage() {
  settings::FillCombo(Item(IDC_GENERAL_TOGGLE_KEY), settings::GeneralPageModel::ToggleKeyChoices());
  settings::SelectCombo(Item(IDC_GENERAL_TOGGLE_KEY), model_.toggleKeyChoice());
  // Without the options block (an older loader) there is no key to keep.
  EnableWindow(Item(IDC_GENERAL_TOGGLE_KEY), model_.hasOptions());
  CheckDlgButton(hwnd(), IDC_GENERAL_SPEAK, model_.speak() ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hwnd(), IDC_GENERAL_SPEAK_WITH_READER, model_.speakWithScreenReader() ? BST_CHECKED : BST_UNCHECKED);
  ShowSpeechChoices();
}

void CGeneralPage::ShowSpeechChoices() {
  EnableWindow(Item(IDC_GENERAL_SPEAK), model_.hasOptions());
  EnableWindow(Item(IDC_GENERAL_SPEAK_WITH_READER), model_.screenReaderChoiceEnabled());
}

bool CGeneralPage::OnPageMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR*) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDC_GENERAL_TOGGLE_KEY && HIWORD(wParam) == CBN_SELCHANGE &&
      model_.ChooseToggleKey(settings::ComboSelection(Item(IDC_GENERAL_TOGGLE_KEY)))) {
    SetModified();
  }
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    const bool checked = IsDlgButtonChecked(hwnd(), LOWORD(wParam)) == BST_CHECKED;
    const bool changed = LOWORD(wParam) == IDC_GENERAL_SPEAK               ? model_.SetSpeak(checked)
                         : LOWORD(wParam) == IDC_GENERAL_SPEAK_WITH_READER ? model_.SetSpeakWithScreenReader(checked)
                                                                           : false;
    if (changed) {
      ShowSpeechChoices();
      SetModified();
    }
  }
  return false;
}

bool CGeneralPage::OnApply() {
  return settings::ApplyModel(hwnd(), sheet_, settings::SettingsSection::kGeneralPage, model_);
}

}  // namespace quillet

#include "quillsvc/settings/learning_page.h"

#include <commctrl.h>

#include "quillsvc/settings/page_common.h"

namespace quillet {

CLearningPage::CLearningPage(std::u16string_view title, settings::SettingsSession& session,
                             ICallbackPropertyPage* sheet)
    : CPropertyPageImpl(title),
      model_(session.learnedWords(), session.options(), &session.learningEdits()),
      sheet_(sheet) {}

void CLearningPage::OnInitPage() {
  Fill();
  CheckDlgButton(hwnd(), IDC_LEARN_PAUSE, model_.paused() ? BST_CHECKED : BST_UNCHECKED);
  // Without the options block (an older loader) there is no pause to keep.
  EnableWindow(Item(IDC_LEARN_PAUSE), model_.hasOptions());
}

void CLearningPage::Fill() {
  HWND list = Item(IDC_LEARN_LIST);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  const std::vector<std::u16string>& words = model_.words();
  for (size_t i = 0; i < words.size(); ++i) settings::InsertItem(list, static_cast<int>(i), words[i]);
  SetItemText(IDC_LEARN_CAPTION,
              std::u16string(words.empty() ? settings::kNothingLearnedText : settings::kLearningCaption));
  EnableWindow(Item(IDC_LEARN_FORGET), !words.empty());
  EnableWindow(Item(IDC_LEARN_CLEAR), !words.empty());
  if (!words.empty()) settings::SelectItem(list, 0);
}

bool CLearningPage::OnPageMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR*) {
  if (message != WM_COMMAND) return false;
  if (HIWORD(wParam) != BN_CLICKED) return false;
  switch (LOWORD(wParam)) {
    case IDC_LEARN_FORGET: {
      const int selected = settings::SelectedItem(Item(IDC_LEARN_LIST));
      if (selected >= 0 && model_.Forget(static_cast<size_t>(selected))) {
        Fill();
        SetModified();
      }
      return false;
    }
    case IDC_LEARN_CLEAR:
      if (model_.ForgetAll()) {
        Fill();
        SetModified();
      }
      return false;
    case IDC_LEARN_PAUSE:
      if (model_.SetPaused(IsDlgButtonChecked(hwnd(), IDC_LEARN_PAUSE) == BST_CHECKED)) SetModified();
      return false;
    default:
      return false;
  }
}

bool CLearningPage::OnApply() {
  return settings::ApplyModel(hwnd(), sheet_, settings::SettingsSection::kLearningPage, model_);
}

}  // namespace quillet

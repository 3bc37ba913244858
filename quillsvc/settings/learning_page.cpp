#include "quillsvc/settings/learning_page.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "common/learned_store.h"
#include "common/utf16.h"
#include "quillsvc/settings/page_common.h"
#include "winui/file_dialog.h"

namespace quillet {
namespace {

constexpr UINT_PTR kProgressTimer = 1250;
constexpr UINT kProgressIntervalMs = 100;
constexpr int kProgressRange = 1000;
constexpr size_t kChooserChars = 32768;

std::u16string Number(uint64_t n) { return FromUtf8(std::to_string(n)); }

std::u16string FileName(const std::u16string& path) {
  const size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

}  // namespace

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
  SendDlgItemMessageW(hwnd(), IDC_LEARN_PROGRESS, PBM_SETRANGE32, 0, kProgressRange);
  ShowWindow(Item(IDC_LEARN_PROGRESS), SW_HIDE);
  SendDlgItemMessageW(hwnd(), IDC_LEARN_ADD_WORD, EM_SETLIMITTEXT, 2 * kMaxLearnedLength, 0);
}

bool CLearningPage::AddWord() {
  switch (model_.AddWord(ItemText(IDC_LEARN_ADD_WORD))) {
    case settings::LearningPageModel::Added::kAdded:
      SetItemText(IDC_LEARN_ADD_WORD, u"");
      Fill();
      SetItemText(IDC_LEARN_STATUS, u"Added; it is offered once you press OK or Apply.");
      SetModified();
      return true;
    case settings::LearningPageModel::Added::kNotAWord:
      SetItemText(IDC_LEARN_STATUS, settings::kNotAWordText);
      return false;
    case settings::LearningPageModel::Added::kListed:
      SetItemText(IDC_LEARN_STATUS, settings::kListedText);
      return true;
  }
  return false;
}

void CLearningPage::LearnFile() {
  if (fileTicket_ != 0) return;
  winui::CFileDialog chooser(true, u"Text Files(*.txt)", u"*.txt", u"",
                             OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST, kChooserChars);
  if (chooser.DoModal(hwnd()) != IDOK) return;
  const std::u16string path = chooser.path();
  if (files_.Open() != Result::kSuccess) {
    SetItemText(IDC_LEARN_STATUS, u"The Quillet loader does not learn from files (is an older one running?).");
    return;
  }
  uint32_t ticket = 0;
  switch (files_.Ask(path, &ticket)) {
    case LearnFileClient::Asked::kAsked:
      break;
    case LearnFileClient::Asked::kPathTooLong:
      SetItemText(IDC_LEARN_STATUS, u"The file's path is too long; move or rename it and try again.");
      return;
    default:
      SetItemText(IDC_LEARN_STATUS, u"The Quillet loader is busy; try again.");
      return;
  }
  fileTicket_ = ticket;
  fileName_ = FileName(path);
  SendDlgItemMessageW(hwnd(), IDC_LEARN_PROGRESS, PBM_SETPOS, 0, 0);
  ShowWindow(Item(IDC_LEARN_PROGRESS), SW_SHOW);
  EnableWindow(Item(IDC_LEARN_FILE), FALSE);
  EnableWindow(Item(IDC_LEARN_FILE_CANCEL), TRUE);
  SetItemText(IDC_LEARN_STATUS, u"Waiting for the loader to read " + fileName_ + u"...");
  SetTimer(hwnd(), kProgressTimer, kProgressIntervalMs, nullptr);
}

void CLearningPage::ShowFileProgress() {
  LearnFileProgress p;
  if (fileTicket_ == 0 || !files_.Progress(fileTicket_, &p)) return;
  const int position =
      p.total == 0 ? 0 : static_cast<int>(std::min<uint64_t>(p.done, p.total) * kProgressRange / p.total);
  SendDlgItemMessageW(hwnd(), IDC_LEARN_PROGRESS, PBM_SETPOS, position, 0);
  if (p.state != LearnFileState::kDone) {
    SetItemText(IDC_LEARN_STATUS, u"Learning from " + fileName_ + u": " + Number(p.words) + u" words so far.");
    return;
  }
  const auto count = [](uint64_t n, std::u16string_view one, std::u16string_view many) {
    return Number(n) + u" " + std::u16string(n == 1 ? one : many);
  };
  const std::u16string counts =
      count(p.words, u"word", u"words") + u" and " + count(p.sentences, u"sentence", u"sentences");
  if (p.result == LearnFileResult::kLearned) {
    EndFile(u"Learned " + counts + u" from " + fileName_ + u".");
  } else if (p.result == LearnFileResult::kCancelled) {
    EndFile(u"Cancelled; the " + counts + u" read before stay learned.");
  } else {
    EndFile(fileName_ + u": " + FromUtf8(LearnFileResultText(p.result)) + u".");
  }
}

void CLearningPage::EndFile(std::u16string_view status) {
  KillTimer(hwnd(), kProgressTimer);
  fileTicket_ = 0;
  ShowWindow(Item(IDC_LEARN_PROGRESS), SW_HIDE);
  EnableWindow(Item(IDC_LEARN_FILE), TRUE);
  EnableWindow(Item(IDC_LEARN_FILE_CANCEL), FALSE);
  SetItemText(IDC_LEARN_STATUS, std::u16string(status));
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
  if (message == WM_TIMER && wParam == kProgressTimer) {
    ShowFileProgress();
    return true;
  }
  if (message == WM_DESTROY && fileTicket_ != 0) {
    // The loader goes on with the file; nobody is left to show how it went.
    KillTimer(hwnd(), kProgressTimer);
    return false;
  }
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
    case IDC_LEARN_ADD:
      AddWord();
      return false;
    case IDC_LEARN_FILE:
      LearnFile();
      return false;
    case IDC_LEARN_FILE_CANCEL:
      if (fileTicket_ != 0 && files_.Cancel(fileTicket_)) {
        EnableWindow(Item(IDC_LEARN_FILE_CANCEL), FALSE);
        SetItemText(IDC_LEARN_STATUS, u"Cancelling...");
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
  // A word left in the field goes with OK or Apply: Enter there presses OK, and the word must not be lost.
  if (!ItemText(IDC_LEARN_ADD_WORD).empty() && !AddWord()) return false;
  return settings::ApplyModel(hwnd(), sheet_, settings::SettingsSection::kLearningPage, model_);
}

}  // namespace quillet

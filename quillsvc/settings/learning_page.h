// The "Learning" page of the settings sheet: the words learned from the user's typing, with Forget,
// Forget all, Add a word and Pause learning, a thin window over LearningPageModel; and Learn from a
// file, which asks the loader at once (not with Apply) and shows its progress until it is done or
// cancelled.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "lookup/learn_file_client.h"
#include "quillsvc/settings/callback_property_page.h"
#include "quillsvc/settings/learning_page_model.h"
#include "quillsvc/settings/settings_resource.h"
#include "winui/data_exchange.h"
#include "winui/property_page_impl.h"

namespace quillet {

class CLearningPage : public winui::CPropertyPageImpl<CLearningPage>, public winui::CWinDataExchange<CLearningPage> {
 public:
  static constexpr int kTemplateId = IDD_LEARNING_PAGE;

  CLearningPage(std::u16string_view title, settings::SettingsSession& session, ICallbackPropertyPage* sheet);

  void OnInitPage();
  bool OnApply();
  bool OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

 private:
  void Fill();
  // False when the field holds no word (the status line says why).
  bool AddWord();
  void LearnFile();
  void ShowFileProgress();
  void EndFile(std::u16string_view status);

  settings::LearningPageModel model_;
  ICallbackPropertyPage* sheet_;
  LearnFileClient files_{kSheetLockPolicy};
  uint32_t fileTicket_ = 0;  // the file being learned; 0: none
  std::u16string fileName_;
};

}  // namespace quillet

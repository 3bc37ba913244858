// The "Learning" page of the settings sheet: the words learned from the user's typing, with Forget,
// Forget all and Pause learning. A thin window over LearningPageModel.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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

  settings::LearningPageModel model_;
  ICallbackPropertyPage* sheet_;
};

}  // namespace quillet

// The "General" page of the settings sheet: the input method's own options (the key that opens and
// closes it, speaking the highlighted word). A thin window over GeneralPageModel.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

#include "quillsvc/settings/callback_property_page.h"
#include "quillsvc/settings/general_page_model.h"
#include "quillsvc/settings/settings_resource.h"
#include "winui/data_exchange.h"
#include "winui/property_page_impl.h"

namespace quillet {

class CGeneralPage : public winui::CPropertyPageImpl<CGeneralPage>, public winui::CWinDataExchange<CGeneralPage> {
 public:
  static constexpr int kTemplateId = IDD_GENERAL_PAGE;

  CGeneralPage(std::u16string_view title, std::vector<uint8_t>* options, ICallbackPropertyPage* sheet)
      : CPropertyPageImpl(title), model_(options), sheet_(sheet) {}

  void OnInitPage();
  bool OnApply();
  bool OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

 private:
  // The speech boxes as the model allows them.
  void ShowSpeechChoices();

  settings::GeneralPageModel model_;
  ICallbackPropertyPage* sheet_;
};

}  // namespace quillet

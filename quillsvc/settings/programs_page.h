// The "Programs" page of the settings sheet: the programs where Quillet keeps out of the way, each
// with its rule. A thin window over ProgramsPageModel.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

#include "quillsvc/settings/callback_property_page.h"
#include "quillsvc/settings/programs_page_model.h"
#include "quillsvc/settings/settings_resource.h"
#include "winui/data_exchange.h"
#include "winui/property_page_impl.h"

namespace quillet {

class CProgramsPage : public winui::CPropertyPageImpl<CProgramsPage>, public winui::CWinDataExchange<CProgramsPage> {
 public:
  static constexpr int kTemplateId = IDD_PROGRAMS_PAGE;

  CProgramsPage(std::u16string_view title, std::vector<uint8_t>* rules, ICallbackPropertyPage* sheet)
      : CPropertyPageImpl(title), model_(rules), sheet_(sheet) {}

  void OnInitPage();
  bool OnApply();
  bool OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

 private:
  // Lists the entries again and selects `index` (the last one when beyond; none when empty).
  void Fill(int index);
  void ShowSelected();
  void OnCommand(int id);
  // Shows a refusal, or takes the change.
  void Took(const std::optional<settings::Notice>& refused, int select);

  settings::ProgramsPageModel model_;
  ICallbackPropertyPage* sheet_;
};

}  // namespace quillet

// The "Tab" page of the settings sheet: the list of candidate tabs and, for the selected one, its
// title, letter counts, dictionary, link, order of candidates, spelling and next-word offer. A thin window over
// TabPageModel.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/settings_record.h"
#include "quillsvc/settings/callback_property_page.h"
#include "quillsvc/settings/settings_resource.h"
#include "quillsvc/settings/tab_page_model.h"
#include "winui/data_exchange.h"
#include "winui/property_page_impl.h"

namespace quillet {

class CSheetPage : public winui::CPropertyPageImpl<CSheetPage>, public winui::CWinDataExchange<CSheetPage> {
 public:
  static constexpr int kTemplateId = IDD_TAB_PAGE;

  // `options`: the sheet's copy of the options (null without one).
  CSheetPage(std::u16string_view title, SettingsView record, std::vector<uint8_t>* options,
             ICallbackPropertyPage* sheet);

  void OnInitPage();
  void OnSetActive();
  void OnKillActive() { StoreTitle(); }
  bool OnApply();
  bool OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

 private:
  bool OnNotify(const NMHDR* header, INT_PTR* result);
  void OnCommand(int id, int code);
  int Selected() const;
  void ShowFields(int position);
  void EnableFields(bool enable);
  void RefillLinks();
  void StoreTitle();
  void OnLettersTyped(int id);
  void Add();
  void Remove();
  void Move(bool up);
  void Changed(bool changed);

  settings::TabPageModel model_;
  ICallbackPropertyPage* sheet_;
  bool titleDirty_ = false;
  int filling_ = 0;  // fields are being set by the page, not typed
};

}  // namespace quillet

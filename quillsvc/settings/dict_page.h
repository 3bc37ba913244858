// The "Dictionary" page of the settings sheet: the dictionaries with their files and descriptions.
// A thin window over DictPageModel.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "common/settings_record.h"
#include "quillsvc/settings/callback_property_page.h"
#include "quillsvc/settings/dict_page_model.h"
#include "quillsvc/settings/settings_resource.h"
#include "winui/data_exchange.h"
#include "winui/property_page_impl.h"

namespace quillet {

class CDictPage : public winui::CPropertyPageImpl<CDictPage>, public winui::CWinDataExchange<CDictPage> {
 public:
  static constexpr int kTemplateId = IDD_DICTIONARY_PAGE;

  // `moduleFile`: the text service's file; stored paths are relative to its folder.
  CDictPage(std::u16string_view title, SettingsView record, ICallbackPropertyPage* sheet, std::u16string moduleFile);

  void OnInitPage();
  void OnKillActive() { StoreDescription(); }
  bool OnApply();
  bool OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

 private:
  bool OnNotify(const NMHDR* header, INT_PTR* result);
  void OnCommand(int id, int code);
  int Selected() const;
  void ShowFields(int position);
  void EnableFields(bool enable);
  void StoreDescription();
  bool ChooseFile(std::u16string* path);
  void Add();
  void Browse();
  void Remove();
  void ShowListed(size_t position);
  void Changed(bool changed);

  settings::DictPageModel model_;
  ICallbackPropertyPage* sheet_;
  bool descriptionDirty_ = false;
  int filling_ = 0;
};

}  // namespace quillet

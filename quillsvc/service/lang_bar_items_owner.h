// The language-bar items of one text service (open/close, active tab, tab list): put up, taken down
// and refreshed together, and what they ask of the text service (LangBarHost). Each item holds a
// reference on the text service; taking them down breaks that cycle.
#pragma once

#include <windows.h>

#include <string>

#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/tsf_interfaces.h"
#include "quillsvc/langbar/lang_bar_items.h"

namespace quillet {

class CQuillsvc;

class LangBarItemsOwner final : private LangBarHost {
 public:
  explicit LangBarItemsOwner(CQuillsvc& service) : service_(service) {}
  LangBarItemsOwner(const LangBarItemsOwner&) = delete;
  LangBarItemsOwner& operator=(const LangBarItemsOwner&) = delete;

  // Puts up the open/close item, and the tab items while `enabled` (takes them down otherwise). An item
  // the language bar refuses takes every item down.
  void Update(bool enabled);
  void Remove();
  // The open/close and the active-tab items show the state as it is now.
  void Refresh();

 private:
  // LangBarHost
  Result ErrorCode() override;
  std::u16string GetErrorText() override;
  bool IsOpen() override;
  HRESULT SetOpenState(bool open) override;
  void EndCompositionAsync() override;
  void RefreshLangBarItems() override { Refresh(); }
  const TabSourceSet* Tabs() override;
  int ActiveTab() override;
  void ChooseTab(int index) override;
  bool MayShowSettings() override;
  void ShowSettings() override;

  CQuillsvc& service_;
  ComPtr<CLangBarItemEnable> enableItem_;
  ComPtr<CLangBarItemCurrSheet> currSheetItem_;
  ComPtr<CLangBarItemSheetList> sheetListItem_;
};

}  // namespace quillet

// The language-bar items the text service puts up, and what they ask of it (LangBarHost).
#include <type_traits>

#include "common/boundary.h"
#include "quillsvc/service/text_service_impl.h"
#include "quillsvc/settings/setting_dialog.h"

namespace quillet {

void CQuillsvc::UpdateLangBarItems(bool enabled) {
  ComPtr<ITfLangBarItemMgr> items = QueryAs<ITfLangBarItemMgr>(threadMgr_.Get());
  if (!items) return;
  bool failed = false;
  // Keeps a new item in `slot` and puts it on the language bar.
  auto add = [&](auto& slot) {
    using Item = typename std::remove_reference_t<decltype(slot)>::element_type;
    slot = ComPtr<Item>::Adopt(new Item(Identity(), *this));
    failed = FAILED(items->AddItem(slot->Item()));
  };
  if (!enableItem_) add(enableItem_);
  if (enabled) {
    if (!failed && !currSheetItem_) add(currSheetItem_);
    if (!failed && !sheetListItem_) add(sheetListItem_);
  } else {
    if (currSheetItem_) items->RemoveItem(currSheetItem_->Item());
    currSheetItem_.Reset();
    if (sheetListItem_) items->RemoveItem(sheetListItem_->Item());
    sheetListItem_.Reset();
  }
  // Items left on the language bar would keep this text service alive through their references.
  if (failed) RemoveLangBarItems();
}

void CQuillsvc::RemoveLangBarItems() {
  ComPtr<ITfLangBarItemMgr> items = QueryAs<ITfLangBarItemMgr>(threadMgr_.Get());
  auto remove = [&](auto& item) {
    if (item && items) items->RemoveItem(item->Item());
    item.Reset();
  };
  remove(enableItem_);
  remove(sheetListItem_);
  remove(currSheetItem_);
}

void CQuillsvc::RefreshLangBarItems() {
  if (enableItem_) enableItem_->Refresh();
  if (currSheetItem_) currSheetItem_->Refresh();
}

Result CQuillsvc::ErrorCode() { return controller_.errorCode(); }

std::u16string CQuillsvc::GetErrorText() { return ErrorText(ErrorCode()); }

const TabSourceSet* CQuillsvc::Tabs() { return &controller_.tabs(); }

int CQuillsvc::ActiveTab() { return controller_.activeTab(); }

void CQuillsvc::ChooseTab(int index) {
  if (window_ != nullptr && window_->IsVisible()) {
    controller_.OnTabClicked(index);
  } else {
    controller_.set_activeTab(index);
  }
}

bool CQuillsvc::MayShowSettings() { return !RestrictedHost(); }

void CQuillsvc::ShowSettings() {
  if (!MayShowSettings()) return;
  AtBoundary([] { CSettingDialog().Run(nullptr); });
}

}  // namespace quillet

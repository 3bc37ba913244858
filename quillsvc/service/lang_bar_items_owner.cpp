#include "quillsvc/service/lang_bar_items_owner.h"

#include <type_traits>

#include "common/boundary.h"
#include "quillsvc/service/text_service_impl.h"
#include "quillsvc/settings/setting_dialog.h"

namespace quillet {

void LangBarItemsOwner::Update(bool enabled) {
  ComPtr<ITfLangBarItemMgr> items = QueryAs<ITfLangBarItemMgr>(service_.threadMgr());
  if (!items) return;
  bool failed = false;
  // Keeps a new item in `slot` and puts it on the language bar.
  auto add = [&](auto& slot) {
    using Item = typename std::remove_reference_t<decltype(slot)>::element_type;
    slot = ComPtr<Item>::Adopt(new Item(service_.Identity(), *this));
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
  // Items left on the language bar would keep the text service alive through their references.
  if (failed) Remove();
}

void LangBarItemsOwner::Remove() {
  ComPtr<ITfLangBarItemMgr> items = QueryAs<ITfLangBarItemMgr>(service_.threadMgr());
  auto remove = [&](auto& item) {
    if (item && items) items->RemoveItem(item->Item());
    item.Reset();
  };
  remove(enableItem_);
  remove(sheetListItem_);
  remove(currSheetItem_);
}

void LangBarItemsOwner::Refresh() {
  if (enableItem_) enableItem_->Refresh();
  if (currSheetItem_) currSheetItem_->Refresh();
}

Result LangBarItemsOwner::ErrorCode() { return service_.controller().errorCode(); }

std::u16string LangBarItemsOwner::GetErrorText() { return ErrorText(ErrorCode()); }

bool LangBarItemsOwner::IsOpen() { return service_.IsOpenNow(); }

HRESULT LangBarItemsOwner::SetOpenState(bool open) { return service_.SetOpenState(open); }

void LangBarItemsOwner::EndCompositionAsync() { service_.EndCompositionAsync(); }

const TabSourceSet* LangBarItemsOwner::Tabs() { return &service_.controller().tabs(); }

int LangBarItemsOwner::ActiveTab() { return service_.controller().activeTab(); }

void LangBarItemsOwner::ChooseTab(int index) {
  CCandListWin* window = service_.windowNow();
  if (window != nullptr && window->IsVisible()) {
    service_.controller().OnTabClicked(index);
  } else {
    service_.controller().SetActiveTab(index);
  }
}

bool LangBarItemsOwner::MayShowSettings() { return !RestrictedHost(); }

void LangBarItemsOwner::ShowSettings() {
  if (!MayShowSettings()) return;
  AtBoundary([] { CSettingDialog().Run(nullptr); });
}

}  // namespace quillet

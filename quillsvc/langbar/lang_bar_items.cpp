#include "quillsvc/langbar/lang_bar_items.h"

#include <olectl.h>

#include <cwchar>
#include <string_view>

#include "lookup/tab_source_set.h"
#include "quillsvc/com/bstr.h"
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/guids.h"
#include "winui/module.h"

namespace quillet {
namespace {

constexpr DWORD kCookieEnable = 0x0FAB0FAB;
constexpr DWORD kCookieSheetList = 0x0FAC0FAC;
constexpr DWORD kCookieCurrSheet = 0x0FAD0FAD;
constexpr LONG kBalloonWidth = 50;
constexpr size_t kMenuTabs = TabSourceSet::kNameSlots;

HICON LoadModuleIcon(int id) {
  return static_cast<HICON>(LoadImageW(winui::ModuleInstance(), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
}

}  // namespace

template <class Face>
CLangBarItem<Face>::CLangBarItem(IUnknown* owner, LangBarHost& host, const GUID& item, DWORD style,
                                 const wchar_t* description, DWORD cookie, DWORD refreshFlags)
    : owner_(owner), host_(host), cookie_(cookie), refreshFlags_(refreshFlags) {
  info_.clsidService = kClsidTextService;
  info_.guidItem = item;
  info_.dwStyle = style;
  info_.ulSort = 0;
  wcsncpy(info_.szDescription, description, TF_LBI_DESC_MAXLEN - 1);
}

template <class Face>
HRESULT CLangBarItem<Face>::GetInfo(TF_LANGBARITEMINFO* info) {
  if (info == nullptr) return E_INVALIDARG;
  *info = info_;
  return S_OK;
}

template <class Face>
HRESULT CLangBarItem<Face>::GetStatus(DWORD* status) {
  if (status == nullptr) return E_INVALIDARG;
  *status = 0;
  return S_OK;
}

template <class Face>
HRESULT CLangBarItem<Face>::Show(BOOL) {
  return S_OK;
}

template <class Face>
HRESULT CLangBarItem<Face>::GetTooltipString(BSTR* tooltip) {
  return NewBstr(u"Quillet", tooltip);
}

template <class Face>
HRESULT CLangBarItem<Face>::AdviseSink(REFIID iid, IUnknown* sink, DWORD* cookie) {
  if (!IsEqualIID(iid, IID_ITfLangBarItemSink)) return CONNECT_E_CANNOTCONNECT;
  if (sink_) return CONNECT_E_ADVISELIMIT;
  if (sink == nullptr || cookie == nullptr) return E_INVALIDARG;
  if (FAILED(sink->QueryInterface(IID_ITfLangBarItemSink, sink_.PutVoid())) || !sink_) {
    sink_.Reset();
    return E_NOINTERFACE;
  }
  *cookie = cookie_;
  return S_OK;
}

template <class Face>
HRESULT CLangBarItem<Face>::UnadviseSink(DWORD cookie) {
  if (cookie != cookie_ || !sink_) return CONNECT_E_NOCONNECTION;
  sink_.Reset();
  return S_OK;
}

template <class Face>
void CLangBarItem<Face>::Refresh() {
  // The sink may unadvise itself while it is told; hold it for the call.
  if (ComPtr<ITfLangBarItemSink> sink = sink_) sink->OnUpdate(refreshFlags_);
}

template class CLangBarItem<ITfLangBarItemButton>;
template class CLangBarItem<ITfLangBarItemBalloon>;

HRESULT CLangBarButton::OnClick(TfLBIClick, POINT, const RECT*) { return S_OK; }

HRESULT CLangBarButton::InitMenu(ITfMenu*) { return S_OK; }

HRESULT CLangBarButton::OnMenuSelect(UINT) { return S_OK; }

HRESULT CLangBarButton::GetIcon(HICON* icon) {
  if (icon == nullptr) return E_INVALIDARG;
  *icon = nullptr;
  return S_OK;
}

HRESULT CLangBarButton::GetText(BSTR* text) {
  if (text == nullptr) return E_INVALIDARG;
  *text = nullptr;
  return S_OK;
}

// The open/close button.

CLangBarItemEnable::CLangBarItemEnable(IUnknown* owner, LangBarHost& host)
    : CLangBarButton(owner, host, kGuidLangBarItemEnable, TF_LBI_STYLE_BTN_BUTTON, L"Open/Close", kCookieEnable,
                     TF_LBI_ICON | TF_LBI_TEXT | TF_LBI_TOOLTIP) {}

HRESULT CLangBarItemEnable::GetTooltipString(BSTR* tooltip) {
  return ComBoundary([&] {
    if (host().ErrorCode() != Result::kSuccess) {
      const std::u16string error = host().GetErrorText();
      if (!error.empty()) return NewBstr(error, tooltip);
    }
    return NewBstr(host().IsOpen() ? u"Open" : u"Closed", tooltip);
  });
}

HRESULT CLangBarItemEnable::GetText(BSTR* text) { return NewBstr(host().IsOpen() ? u"Open" : u"Closed", text); }

HRESULT CLangBarItemEnable::GetIcon(HICON* icon) {
  if (icon == nullptr) return E_INVALIDARG;
  const int id = host().ErrorCode() != Result::kSuccess ? kIconFailed : host().IsOpen() ? kIconOpen : kIconClosed;
  *icon = LoadModuleIcon(id);
  return *icon != nullptr ? S_OK : E_FAIL;
}

HRESULT CLangBarItemEnable::OnClick(TfLBIClick, POINT, const RECT*) {
  return ComBoundary([&] {
    const bool wasOpen = host().IsOpen();
    host().SetOpenState(!wasOpen);
    if (wasOpen) host().EndCompositionAsync();
    Refresh();
    return S_OK;
  });
}

// The tab list.

CLangBarItemSheetList::CLangBarItemSheetList(IUnknown* owner, LangBarHost& host)
    : CLangBarButton(owner, host, kGuidLangBarItemSheetList, TF_LBI_STYLE_BTN_MENU, L"Tab List", kCookieSheetList,
                     TF_LBI_ICON | TF_LBI_TEXT) {}

HRESULT CLangBarItemSheetList::GetTooltipString(BSTR* tooltip) { return NewBstr(u"Tab List", tooltip); }

HRESULT CLangBarItemSheetList::GetIcon(HICON* icon) {
  if (icon == nullptr) return E_INVALIDARG;
  *icon = LoadModuleIcon(kIconTabList);
  return S_OK;
}

HRESULT CLangBarItemSheetList::InitMenu(ITfMenu* menu) {
  if (menu == nullptr) return E_INVALIDARG;
  const TabSourceSet* tabs = host().Tabs();
  if (tabs == nullptr) return S_OK;
  const int active = host().ActiveTab();
  for (size_t i = 0; i < tabs->tabCount() && i < kMenuTabs; ++i) {
    const std::u16string& name = tabs->tabNames()[i];
    menu->AddMenuItem(static_cast<UINT>(i), static_cast<int>(i) == active ? TF_LBMENUF_CHECKED : 0, nullptr, nullptr,
                      reinterpret_cast<const WCHAR*>(name.c_str()), static_cast<ULONG>(name.size()), nullptr);
  }
  return S_OK;
}

HRESULT CLangBarItemSheetList::OnMenuSelect(UINT id) {
  return ComBoundary([&] {
    host().RefreshLangBarItems();
    host().ChooseTab(static_cast<int>(id));
    return S_OK;
  });
}

// The active tab's balloon.

CLangBarItemCurrSheet::CLangBarItemCurrSheet(IUnknown* owner, LangBarHost& host)
    : CLangBarItem(owner, host, kGuidLangBarItemCurrSheet, 0, L"Active Tab", kCookieCurrSheet, TF_LBI_BALLOON) {}

HRESULT CLangBarItemCurrSheet::OnClick(TfLBIClick, POINT, const RECT*) { return S_OK; }

HRESULT CLangBarItemCurrSheet::GetPreferredSize(const SIZE*, SIZE* size) {
  if (size == nullptr) return E_INVALIDARG;
  size->cx = kBalloonWidth;
  return S_OK;
}

HRESULT CLangBarItemCurrSheet::GetBalloonInfo(TF_LBBALLOONINFO* info) {
  if (info == nullptr) return E_INVALIDARG;
  return ComBoundary([&] {
    info->style = TF_LB_BALLOON_MISS;
    info->bstrText = nullptr;
    const TabSourceSet* tabs = host().Tabs();
    int index = host().ActiveTab();
    if (tabs == nullptr || tabs->tabCount() == 0) return S_OK;
    if (index < 0 || index >= tabs->tabCount()) index = 0;
    if (static_cast<size_t>(index) >= kMenuTabs) return S_OK;
    return NewBstr(tabs->tabNames()[static_cast<size_t>(index)], &info->bstrText);
  });
}

}  // namespace quillet

#include "quillsvc/langbar/lang_bar_items.h"

#include <olectl.h>

#include <cwchar>
#include <string_view>

#include "lookup/tab_source_set.h"
#include "quillsvc/com/bstr.h"
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/guids.h"
#include "winui/gdi.h"
#include "winui/module.h"

namespace quillet {
namespace {

constexpr DWORD kCookieEnable = 0x0FAB0FAB;
constexpr DWORD kCookieSheetList = 0x0FAC0FAC;
constexpr DWORD kCookieCurrSheet = 0x0FAD0FAD;
constexpr LONG kBalloonWidth = 50;
constexpr size_t kMenuTabs = TabSourceSet::kNameSlots;

HICON LoadModuleIcon(int id) {
  const int size = SmallIconSize();
  return static_cast<HICON>(LoadImageW(winui::ModuleInstance(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
}

// The tabs, the active one checked, with ids from `firstId` on.
std::vector<LangBarMenuEntry> TabEntries(LangBarHost& host, UINT firstId) {
  std::vector<LangBarMenuEntry> entries;
  const TabSourceSet* tabs = host.Tabs();
  if (tabs == nullptr) return entries;
  const int active = host.ActiveTab();
  for (size_t i = 0; i < tabs->tabCount() && i < kMenuTabs; ++i) {
    entries.push_back({firstId + static_cast<UINT>(i), tabs->tabNames()[i], static_cast<int>(i) == active});
  }
  return entries;
}

// A tab chosen from a menu: the items show it before the text service switches.
void ChooseFromMenu(LangBarHost& host, int tab) {
  host.RefreshLangBarItems();
  host.ChooseTab(tab);
}

}  // namespace

int SmallIconSize() {
  // A host that declares no awareness is told 96 whatever the screen; the taskbar that shows the
  // icon is not, so the system's DPI is read as an aware thread sees it (Windows 10 1607 on).
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  const auto setContext = winui::FindProc<SetThreadDpiAwarenessContextFn>(user32, "SetThreadDpiAwarenessContext");
  const auto systemDpi = winui::FindProc<GetDpiForSystemFn>(user32, "GetDpiForSystem");
  UINT dpi = 0;
  if (setContext != nullptr && systemDpi != nullptr) {
    // Per-monitor aware (v2, else v1), for this call only.
    DPI_AWARENESS_CONTEXT previous = setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    if (previous == nullptr) previous = setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    dpi = systemDpi();
    if (previous != nullptr) setContext(previous);
  }
  if (dpi == 0) {
    HDC screen = GetDC(nullptr);
    dpi = screen != nullptr ? static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY)) : 96;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
  }
  return MulDiv(16, static_cast<int>(dpi != 0 ? dpi : 96), 96);
}

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
    : CLangBarButton(owner, host, kLangBarItemInputMode, TF_LBI_STYLE_BTN_BUTTON | TF_LBI_STYLE_SHOWNINTRAY,
                     L"Open/Close", kCookieEnable, TF_LBI_ICON | TF_LBI_TEXT | TF_LBI_TOOLTIP) {}

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

HRESULT CLangBarItemEnable::OnClick(TfLBIClick click, POINT pt, const RECT*) {
  return ComBoundary([&] {
    if (click == TF_LBI_CLK_RIGHT) {
      const std::vector<LangBarMenuEntry> entries = MenuEntries();
      HMENU menu = CreatePopupMenu();
      if (menu == nullptr) return S_OK;
      for (const LangBarMenuEntry& entry : entries) {
        AppendMenuW(menu, entry.separator ? MF_SEPARATOR : MF_STRING | (entry.checked ? MF_CHECKED : 0), entry.id,
                    reinterpret_cast<const wchar_t*>(entry.text.c_str()));
      }
      // The menu needs a window of this thread; which one does not matter.
      HWND owner = GetFocus() != nullptr ? GetFocus() : GetActiveWindow();
      const UINT flags = TPM_NONOTIFY | TPM_RETURNCMD | TPM_RIGHTBUTTON |
                         (GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN);
      const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(menu, flags, pt.x, pt.y, owner, nullptr));
      DestroyMenu(menu);
      if (chosen != 0) OnMenuCommand(chosen);
      return S_OK;
    }
    const bool wasOpen = host().IsOpen();
    host().SetOpenState(!wasOpen);
    if (wasOpen) host().EndCompositionAsync();
    Refresh();
    return S_OK;
  });
}

std::vector<LangBarMenuEntry> CLangBarItemEnable::MenuEntries() {
  std::vector<LangBarMenuEntry> entries;
  if (host().MayShowSettings()) entries.push_back({kMenuSettings, u"Settings..."});
  std::vector<LangBarMenuEntry> tabs = TabEntries(host(), kMenuFirstTab);
  if (!entries.empty() && !tabs.empty()) entries.push_back({0, u"", false, true});
  entries.insert(entries.end(), tabs.begin(), tabs.end());
  return entries;
}

void CLangBarItemEnable::OnMenuCommand(UINT id) {
  if (id == kMenuSettings && host().MayShowSettings()) {
    host().ShowSettings();
  } else if (id >= kMenuFirstTab && id < kMenuFirstTab + kMenuTabs) {
    ChooseFromMenu(host(), static_cast<int>(id - kMenuFirstTab));
  }
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
  return ComBoundary([&] {
    for (const LangBarMenuEntry& entry : TabEntries(host(), 0)) {
      menu->AddMenuItem(entry.id, entry.checked ? TF_LBMENUF_CHECKED : 0, nullptr, nullptr,
                        reinterpret_cast<const WCHAR*>(entry.text.c_str()), static_cast<ULONG>(entry.text.size()),
                        nullptr);
    }
    return S_OK;
  });
}

HRESULT CLangBarItemSheetList::OnMenuSelect(UINT id) {
  return ComBoundary([&] {
    ChooseFromMenu(host(), static_cast<int>(id));
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

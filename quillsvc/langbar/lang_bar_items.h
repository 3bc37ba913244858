// The text service's three language-bar items: the open/close button (which also carries the error
// message of a failed text service, and is the taskbar's input indicator on Windows 8 and later), the
// tab-list menu and the active tab's balloon. The text service
// creates, adds, refreshes and removes them; each holds a reference on it for its whole life, and the
// text service breaks that cycle when it removes them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"
#include "quillsvc/com/com_object.h"
#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/module.h"
#include "quillsvc/com/tsf_interfaces.h"

namespace quillet {

class TabSourceSet;

// What the items ask of the text service that made them (implemented by CQuillsvc).
class LangBarHost {
 public:
  // Not kSuccess while activation or reopening failed.
  virtual Result ErrorCode() = 0;
  // The tooltip text for the error code; empty for kSuccess.
  virtual std::u16string GetErrorText() = 0;
  virtual bool IsOpen() = 0;
  // Refused (E_FAIL) for true while the error code is nonzero.
  virtual HRESULT SetOpenState(bool open) = 0;
  // Ends the composition (its text stays) through an asynchronous edit session and destroys the
  // candidate window.
  virtual void EndCompositionAsync() = 0;
  // Refreshes the open/close and the active-tab items.
  virtual void RefreshLangBarItems() = 0;
  // The tab set (names and count as of its last rebuild), null when there is none.
  virtual const TabSourceSet* Tabs() = 0;
  virtual int ActiveTab() = 0;
  // A tab chosen from the menu: switched to at once while the candidate window is shown, else the
  // next candidate window opens on it.
  virtual void ChooseTab(int index) = 0;
  // Whether the settings may be shown here (not where they cannot be written, as in an app container),
  // and showing them until they are closed.
  virtual bool MayShowSettings() = 0;
  virtual void ShowSettings() = 0;

 protected:
  ~LangBarHost() = default;
};

// What every item shares: its information, its one ITfLangBarItemSink and the reference it holds on
// the text service. `Face` is the interface the language bar is given (a button or a balloon).
template <class Face>
class CLangBarItem : public ComObject<ModuleCount, Face, ITfSource> {
 public:
  // ITfLangBarItem
  HRESULT STDMETHODCALLTYPE GetInfo(TF_LANGBARITEMINFO* info) override;
  HRESULT STDMETHODCALLTYPE GetStatus(DWORD* status) override;
  HRESULT STDMETHODCALLTYPE Show(BOOL show) override;
  HRESULT STDMETHODCALLTYPE GetTooltipString(BSTR* tooltip) override;

  // ITfSource: one ITfLangBarItemSink, whose cookie is the item's own.
  HRESULT STDMETHODCALLTYPE AdviseSink(REFIID iid, IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE UnadviseSink(DWORD cookie) override;

  // Tells the advised sink that what the refresh flags name has changed.
  void Refresh();
  // The face that the language bar is given (AddItem, RemoveItem).
  ITfLangBarItem* Item() { return static_cast<Face*>(this); }

 protected:
  // `owner` is the text service's IUnknown, on which the item holds a reference.
  CLangBarItem(IUnknown* owner, LangBarHost& host, const GUID& item, DWORD style, const wchar_t* description,
               DWORD cookie, DWORD refreshFlags);
  LangBarHost& host() { return host_; }

 private:
  ComPtr<IUnknown> owner_;
  LangBarHost& host_;
  ComPtr<ITfLangBarItemSink> sink_;
  TF_LANGBARITEMINFO info_ = {};
  DWORD cookie_;
  DWORD refreshFlags_;
};

// A button item: no menu, icon or text unless the item has them.
class CLangBarButton : public CLangBarItem<ITfLangBarItemButton> {
 public:
  HRESULT STDMETHODCALLTYPE OnClick(TfLBIClick click, POINT pt, const RECT* area) override;
  HRESULT STDMETHODCALLTYPE InitMenu(ITfMenu* menu) override;
  HRESULT STDMETHODCALLTYPE OnMenuSelect(UINT id) override;
  HRESULT STDMETHODCALLTYPE GetIcon(HICON* icon) override;
  HRESULT STDMETHODCALLTYPE GetText(BSTR* text) override;

 protected:
  using CLangBarItem::CLangBarItem;
};

// An entry of a menu the items show: a command id and its text, or a separator.
struct LangBarMenuEntry {
  UINT id = 0;
  std::u16string text;
  bool checked = false;
  bool separator = false;
};

// The open/close button, with the published input-mode item id so that Windows 8 and later show it
// in the taskbar: its icon and text show the state (the text service refreshes it whoever changes the
// open/close compartment), its tooltip the error of a failed text service. A left click opens or
// closes the input method; a right click offers the settings and the tabs.
class CLangBarItemEnable final : public CLangBarButton {
 public:
  CLangBarItemEnable(IUnknown* owner, LangBarHost& host);
  HRESULT STDMETHODCALLTYPE GetTooltipString(BSTR* tooltip) override;
  HRESULT STDMETHODCALLTYPE GetText(BSTR* text) override;
  HRESULT STDMETHODCALLTYPE GetIcon(HICON* icon) override;
  HRESULT STDMETHODCALLTYPE OnClick(TfLBIClick click, POINT pt, const RECT* area) override;

  // The right click's menu, and what choosing one of its ids does.
  std::vector<LangBarMenuEntry> MenuEntries();
  void OnMenuCommand(UINT id);

  static constexpr UINT kMenuSettings = 1;
  static constexpr UINT kMenuFirstTab = 16;
};

// The menu of the tabs, the active one checked; choosing one switches to it.
class CLangBarItemSheetList final : public CLangBarButton {
 public:
  CLangBarItemSheetList(IUnknown* owner, LangBarHost& host);
  HRESULT STDMETHODCALLTYPE GetTooltipString(BSTR* tooltip) override;
  HRESULT STDMETHODCALLTYPE GetIcon(HICON* icon) override;
  HRESULT STDMETHODCALLTYPE InitMenu(ITfMenu* menu) override;
  HRESULT STDMETHODCALLTYPE OnMenuSelect(UINT id) override;
};

// The active tab's name, shown as a balloon.
class CLangBarItemCurrSheet final : public CLangBarItem<ITfLangBarItemBalloon> {
 public:
  CLangBarItemCurrSheet(IUnknown* owner, LangBarHost& host);
  HRESULT STDMETHODCALLTYPE OnClick(TfLBIClick click, POINT pt, const RECT* area) override;
  HRESULT STDMETHODCALLTYPE GetPreferredSize(const SIZE* defaultSize, SIZE* size) override;
  HRESULT STDMETHODCALLTYPE GetBalloonInfo(TF_LBBALLOONINFO* info) override;
};

// Icon resources of the module, 16 to 48 pixels (the first is the profile's icon too).
inline constexpr int kIconOpen = 102;
inline constexpr int kIconClosed = 103;
inline constexpr int kIconTabList = 104;
inline constexpr int kIconFailed = 109;

// The size of a small icon at the system's DPI: 16 pixels at 96, whatever the host's awareness.
int SmallIconSize();

}  // namespace quillet

// The language-bar items over a stand-in text service: what each shows in each state, the sink rules
// of their source, the menu and the references they hold.
#include "quillsvc/langbar/lang_bar_items.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/settings_record.h"
#include "lookup/private_block.h"
#include "lookup/tab_source_set.h"
#include "platform/test_namespace.h"
#include "quillsvc/com/module.h"

namespace quillet {
namespace {

// Private blocks still use named events: kept away from a loader the user runs.
const bool kIsolated = testing::IsolateNamespace("lb");

// The text service as the items see it, with a COM identity whose references are counted.
class FakeService final : public IUnknown, public LangBarHost {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }

  Result ErrorCode() override { return static_cast<Result>(error); }
  std::u16string GetErrorText() override { return error == 0 ? u"" : u"Error " + std::u16string(1, u'0' + error); }
  bool IsOpen() override { return open; }
  HRESULT SetOpenState(bool value) override {
    if (value && error != 0) return E_FAIL;
    open = value;
    return S_OK;
  }
  void EndCompositionAsync() override { calls.push_back("end composition"); }
  void RefreshLangBarItems() override { calls.push_back("refresh"); }
  const TabSourceSet* Tabs() override { return tabs; }
  int ActiveTab() override { return active; }
  void ChooseTab(int index) override { calls.push_back("choose " + std::to_string(index)); }
  bool MayShowSettings() override { return maySettings; }
  void ShowSettings() override { calls.push_back("settings"); }

  ULONG refs = 1;
  int32_t error = 0;
  bool open = true;
  const TabSourceSet* tabs = nullptr;
  int active = 0;
  bool maySettings = true;
  std::vector<std::string> calls;
};

class Sink final : public ITfLangBarItemSink {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_ITfLangBarItemSink)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<ITfLangBarItemSink*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnUpdate(DWORD flags) override {
    updates.push_back(flags);
    return S_OK;
  }
  ULONG refs = 1;
  std::vector<DWORD> updates;
};

std::wstring Take(BSTR text) {
  std::wstring value = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"(none)";
  SysFreeString(text);
  return value;
}

std::wstring Tooltip(ITfLangBarItem* item) {
  BSTR text = nullptr;
  item->GetTooltipString(&text);
  return Take(text);
}

class Menu final : public ITfMenu {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE AddMenuItem(UINT id, DWORD flags, HBITMAP, HBITMAP, const WCHAR* text, ULONG length,
                                        ITfMenu**) override {
    entries.push_back(std::to_wstring(id) + L" " + std::wstring(text, length) +
                      ((flags & TF_LBMENUF_CHECKED) ? L" checked" : L""));
    return S_OK;
  }
  std::vector<std::wstring> entries;
};

class LangBarItemsTest : public ::testing::Test {
 protected:
  FakeService service_;
};

// The icon's width and bits per pixel.
std::pair<LONG, WORD> IconShape(HICON icon) {
  ICONINFO info = {};
  if (!GetIconInfo(icon, &info)) return {0, 0};
  BITMAP bitmap = {};
  GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return {bitmap.bmWidth, bitmap.bmBitsPixel};
}

TEST_F(LangBarItemsTest, TheOpenCloseItemShowsTheStateOrTheErrorAndToggles) {
  auto item = ComPtr<CLangBarItemEnable>::Adopt(new CLangBarItemEnable(&service_, service_));
  EXPECT_EQ(service_.refs, 2u) << "the item holds the text service";
  // The taskbar of Windows 8 and later shows the item with the published input-mode id.
  TF_LANGBARITEMINFO info = {};
  ASSERT_EQ(item->GetInfo(&info), S_OK);
  EXPECT_TRUE(IsEqualGUID(info.guidItem, kLangBarItemInputMode));
  EXPECT_EQ(Tooltip(item->Item()), L"Open");
  HICON icon = nullptr;
  EXPECT_EQ(item->GetIcon(&icon), S_OK);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(IconShape(icon), std::make_pair(static_cast<LONG>(SmallIconSize()), static_cast<WORD>(32)))
      << "a small icon at the system's DPI, with alpha";
  DestroyIcon(icon);

  // A click closes (ending the composition), the next opens again.
  ComPtr<ITfLangBarItemButton> button;
  ASSERT_EQ(item->QueryInterface(IID_ITfLangBarItemButton, button.PutVoid()), S_OK);
  const RECT area = {0, 0, 16, 16};
  EXPECT_EQ(button->OnClick(TF_LBI_CLK_LEFT, POINT{}, &area), S_OK);
  EXPECT_FALSE(service_.open);
  EXPECT_EQ(service_.calls, std::vector<std::string>{"end composition"});
  BSTR text = nullptr;
  EXPECT_EQ(button->GetText(&text), S_OK);
  EXPECT_EQ(Take(text), L"Closed");
  button->OnClick(TF_LBI_CLK_LEFT, POINT{}, &area);
  EXPECT_TRUE(service_.open);

  // A failed text service: the tooltip carries its error, and a click cannot open it.
  service_.error = 7;
  service_.open = false;
  EXPECT_EQ(Tooltip(item->Item()), L"Error 7");
  EXPECT_EQ(item->GetIcon(&icon), S_OK);
  DestroyIcon(icon);
  button->OnClick(TF_LBI_CLK_LEFT, POINT{}, &area);
  EXPECT_FALSE(service_.open);
  button.Reset();
  item.Reset();
  EXPECT_EQ(service_.refs, 1u);
}

TEST_F(LangBarItemsTest, OneSinkHearsRefreshesUntilItsCookieIsGivenBack) {
  auto item = ComPtr<CLangBarItemEnable>::Adopt(new CLangBarItemEnable(&service_, service_));
  ComPtr<ITfSource> source;
  ASSERT_EQ(item->QueryInterface(IID_ITfSource, source.PutVoid()), S_OK);
  Sink sink;
  DWORD cookie = 0;
  EXPECT_EQ(source->AdviseSink(IID_ITfThreadMgrEventSink, &sink, &cookie), CONNECT_E_CANNOTCONNECT);
  ASSERT_EQ(source->AdviseSink(IID_ITfLangBarItemSink, &sink, &cookie), S_OK);
  DWORD second = 0;
  EXPECT_EQ(source->AdviseSink(IID_ITfLangBarItemSink, &sink, &second), CONNECT_E_ADVISELIMIT);
  item->Refresh();
  EXPECT_EQ(sink.updates, std::vector<DWORD>{TF_LBI_ICON | TF_LBI_TEXT | TF_LBI_TOOLTIP});
  EXPECT_EQ(source->UnadviseSink(cookie + 1), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(source->UnadviseSink(cookie), S_OK);
  EXPECT_EQ(source->UnadviseSink(cookie), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(sink.refs, 1u) << "the sink is given back";
  item->Refresh();
  EXPECT_EQ(sink.updates.size(), 1u);
}

// Two tabs of private settings: the menu lists them with the active one checked, the balloon
// shows the active tab's name (the first for an index past the tabs), choosing one goes to the text
// service after the refresh.
TEST_F(LangBarItemsTest, TheTabListAndTheBalloonShowTheTabs) {
  SettingsRecord record = MakeDefaultSettings();
  ASSERT_TRUE(AddTab(record.view()));
  record.view().tab(1).SetName(u"Second");
  PublishedData published;
  TabSourceSet tabs(published);
  ASSERT_EQ(PublishPrivateSettings(record.data(), record.size(), &published), Result::kSuccess);
  tabs.Rebuild();
  service_.tabs = &tabs;
  service_.active = 1;

  auto list = ComPtr<CLangBarItemSheetList>::Adopt(new CLangBarItemSheetList(&service_, service_));
  Menu menu;
  EXPECT_EQ(list->InitMenu(&menu), S_OK);
  EXPECT_EQ(menu.entries, (std::vector<std::wstring>{L"0 English", L"1 Second checked"}));
  EXPECT_EQ(list->OnMenuSelect(0), S_OK);
  EXPECT_EQ(service_.calls, (std::vector<std::string>{"refresh", "choose 0"}));

  // The input indicator's right click: the settings, then the same tabs.
  auto indicator = ComPtr<CLangBarItemEnable>::Adopt(new CLangBarItemEnable(&service_, service_));
  auto texts = [&] {
    std::vector<std::string> out;
    for (const LangBarMenuEntry& e : indicator->MenuEntries()) {
      out.push_back(e.separator ? "-"
                                : std::to_string(e.id) + " " + std::string(e.text.begin(), e.text.end()) +
                                      (e.checked ? " checked" : ""));
    }
    return out;
  };
  EXPECT_EQ(texts(), (std::vector<std::string>{"1 Settings...", "-", "16 English", "17 Second checked"}));
  service_.calls.clear();
  indicator->OnMenuCommand(CLangBarItemEnable::kMenuSettings);
  indicator->OnMenuCommand(CLangBarItemEnable::kMenuFirstTab);
  indicator->OnMenuCommand(CLangBarItemEnable::kMenuFirstTab + 9);  // past the nine tabs: nothing
  EXPECT_EQ(service_.calls, (std::vector<std::string>{"settings", "refresh", "choose 0"}));
  // Where the settings cannot be written there is no entry for them, and no way to them.
  service_.maySettings = false;
  EXPECT_EQ(texts(), (std::vector<std::string>{"16 English", "17 Second checked"}));
  service_.calls.clear();
  indicator->OnMenuCommand(CLangBarItemEnable::kMenuSettings);
  EXPECT_TRUE(service_.calls.empty());

  auto balloon = ComPtr<CLangBarItemCurrSheet>::Adopt(new CLangBarItemCurrSheet(&service_, service_));
  ComPtr<ITfLangBarItemBalloon> face;
  ASSERT_EQ(balloon->QueryInterface(IID_ITfLangBarItemBalloon, face.PutVoid()), S_OK);
  void* button = &button;
  EXPECT_EQ(balloon->QueryInterface(IID_ITfLangBarItemButton, &button), E_NOINTERFACE);
  EXPECT_EQ(button, nullptr);
  TF_LBBALLOONINFO info = {};
  ASSERT_EQ(face->GetBalloonInfo(&info), S_OK);
  EXPECT_EQ(Take(info.bstrText), L"Second");
  service_.active = 5;
  ASSERT_EQ(face->GetBalloonInfo(&info), S_OK);
  EXPECT_EQ(Take(info.bstrText), L"English");

  service_.tabs = nullptr;
  Menu empty;
  EXPECT_EQ(list->InitMenu(&empty), S_OK);
  EXPECT_TRUE(empty.entries.empty());
  ASSERT_EQ(face->GetBalloonInfo(&info), S_OK);
  EXPECT_EQ(info.bstrText, nullptr);
}

}  // namespace
}  // namespace quillet

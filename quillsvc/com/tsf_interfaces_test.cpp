// The framework declarations of tsf_interfaces.h: each interface can be implemented and found by its
// IID, the IIDs are the published ones, and each method sits in the vtable slot where the published
// headers put it (a call through slot N must reach the N-th documented method).
#include "quillsvc/com/tsf_interfaces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillsvc/com/com_ptr.h"

namespace {

using quillet::ComPtr;
using quillet::QueryAs;

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

// Implements every declared interface; each method records its own name.
class Everything : public ITfTextLayoutSink,
                   public ITfMenu,
                   public ITfLangBarItemButton,
                   public ITfLangBarItemBalloon,
                   public ITfFnConfigure,
                   public ITfFnShowHelp,
                   public ITfCandidateListUIElementBehavior {
 public:
  std::vector<std::string> calls;
  ULONG refs = 1;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITfTextLayoutSink)) {
      *out = static_cast<ITfTextLayoutSink*>(this);
    } else if (IsEqualIID(iid, IID_ITfMenu)) {
      *out = static_cast<ITfMenu*>(this);
    } else if (IsEqualIID(iid, IID_ITfLangBarItemButton)) {
      *out = static_cast<ITfLangBarItemButton*>(this);
    } else if (IsEqualIID(iid, IID_ITfLangBarItemBalloon)) {
      *out = static_cast<ITfLangBarItemBalloon*>(this);
    } else if (IsEqualIID(iid, IID_ITfFnConfigure)) {
      *out = static_cast<ITfFnConfigure*>(this);
    } else if (IsEqualIID(iid, IID_ITfFnShowHelp)) {
      *out = static_cast<ITfFnShowHelp*>(this);
    } else if (IsEqualIID(iid, IID_ITfCandidateListUIElement) ||
               IsEqualIID(iid, IID_ITfCandidateListUIElementBehavior)) {
      *out = static_cast<ITfCandidateListUIElementBehavior*>(this);
    } else {
      return E_NOINTERFACE;
    }
    ++refs;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }

  HRESULT Note(const char* name) {
    calls.push_back(name);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE OnLayoutChange(ITfContext*, TfLayoutCode, ITfContextView*) override {
    return Note("OnLayoutChange");
  }
  HRESULT STDMETHODCALLTYPE AddMenuItem(UINT, DWORD, HBITMAP, HBITMAP, const WCHAR*, ULONG, ITfMenu**) override {
    return Note("AddMenuItem");
  }
  // ITfLangBarItem, shared by the button and the balloon; its Show is also ITfUIElement's.
  HRESULT STDMETHODCALLTYPE GetInfo(TF_LANGBARITEMINFO*) override { return Note("GetInfo"); }
  HRESULT STDMETHODCALLTYPE GetStatus(DWORD*) override { return Note("GetStatus"); }
  HRESULT STDMETHODCALLTYPE Show(BOOL) override { return Note("Show(BOOL)"); }
  HRESULT STDMETHODCALLTYPE GetTooltipString(BSTR*) override { return Note("GetTooltipString"); }
  // Both item faces declare OnClick; one override serves both here.
  HRESULT STDMETHODCALLTYPE OnClick(TfLBIClick, POINT, const RECT*) override { return Note("OnClick"); }
  HRESULT STDMETHODCALLTYPE InitMenu(ITfMenu*) override { return Note("InitMenu"); }
  HRESULT STDMETHODCALLTYPE OnMenuSelect(UINT) override { return Note("OnMenuSelect"); }
  HRESULT STDMETHODCALLTYPE GetIcon(HICON*) override { return Note("GetIcon"); }
  HRESULT STDMETHODCALLTYPE GetText(BSTR*) override { return Note("GetText"); }
  HRESULT STDMETHODCALLTYPE GetPreferredSize(const SIZE*, SIZE*) override { return Note("GetPreferredSize"); }
  HRESULT STDMETHODCALLTYPE GetBalloonInfo(TF_LBBALLOONINFO*) override { return Note("GetBalloonInfo"); }
  // ITfFunction, shared by both function objects.
  HRESULT STDMETHODCALLTYPE GetDisplayName(BSTR*) override { return Note("GetDisplayName"); }
  HRESULT STDMETHODCALLTYPE Show(HWND, LANGID, REFGUID) override { return Note("Show(configure)"); }
  HRESULT STDMETHODCALLTYPE Show(HWND) override { return Note("Show(help)"); }
  // ITfUIElement and the candidate list.
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR*) override { return Note("GetDescription"); }
  HRESULT STDMETHODCALLTYPE GetGUID(GUID*) override { return Note("GetGUID"); }
  HRESULT STDMETHODCALLTYPE IsShown(BOOL*) override { return Note("IsShown"); }
  HRESULT STDMETHODCALLTYPE GetUpdatedFlags(DWORD*) override { return Note("GetUpdatedFlags"); }
  HRESULT STDMETHODCALLTYPE GetDocumentMgr(ITfDocumentMgr**) override { return Note("GetDocumentMgr"); }
  HRESULT STDMETHODCALLTYPE GetCount(UINT*) override { return Note("GetCount"); }
  HRESULT STDMETHODCALLTYPE GetSelection(UINT*) override { return Note("GetSelection"); }
  HRESULT STDMETHODCALLTYPE GetString(UINT, BSTR*) override { return Note("GetString"); }
  HRESULT STDMETHODCALLTYPE GetPageIndex(UINT*, UINT, UINT*) override { return Note("GetPageIndex"); }
  HRESULT STDMETHODCALLTYPE SetPageIndex(UINT*, UINT) override { return Note("SetPageIndex"); }
  HRESULT STDMETHODCALLTYPE GetCurrentPage(UINT*) override { return Note("GetCurrentPage"); }
  HRESULT STDMETHODCALLTYPE SetSelection(UINT) override { return Note("SetSelection"); }
  HRESULT STDMETHODCALLTYPE Finalize() override { return Note("Finalize"); }
  HRESULT STDMETHODCALLTYPE Abort() override { return Note("Abort"); }
};

// Calls every slot after IUnknown's three through the raw vtable of `iface`, in slot order.
// All these methods return HRESULT and take at most a few pointer-sized arguments that the
// recording methods above never read, so one call shape serves every slot.
std::vector<std::string> CallEverySlot(IUnknown* iface, int slots, Everything& impl) {
  using Slot = HRESULT(STDMETHODCALLTYPE*)(void*, void*, void*, void*, void*, void*, void*, void*);
  impl.calls.clear();
  void** vtable = *reinterpret_cast<void***>(iface);
  for (int i = 3; i < 3 + slots; ++i) {
    reinterpret_cast<Slot>(vtable[i])(iface, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  return impl.calls;
}

TEST(TsfInterfacesTest, IidsAreThePublishedOnes) {
  EXPECT_EQ(GuidText(IID_ITfTextLayoutSink), L"{2AF2D06A-DD5B-4927-A0B4-54F19C91FADE}");
  EXPECT_EQ(GuidText(IID_ITfMenu), L"{6F8A98E4-AAA0-4F15-8C5B-07E0DF0A3DD8}");
  EXPECT_EQ(GuidText(IID_ITfLangBarItemButton), L"{28C7F1D0-DE25-11D2-AFDD-00105A2799B5}");
  EXPECT_EQ(GuidText(IID_ITfLangBarItemBalloon), L"{01C2D285-D3C7-4B7B-B5B5-D97411D0C283}");
  EXPECT_EQ(GuidText(IID_ITfFunction), L"{DB593490-098F-11D3-8DF0-00105A2799B5}");
  EXPECT_EQ(GuidText(IID_ITfFnConfigure), L"{88F567C6-1757-49F8-A1B2-89234C1EEFF9}");
  EXPECT_EQ(GuidText(IID_ITfFnShowHelp), L"{5AB1D30C-094D-4C29-8EA5-0BF59BE87BF3}");
  EXPECT_EQ(GuidText(IID_ITfCandidateListUIElement), L"{EA1EA138-19DF-11D7-A6D2-00065B84435C}");
  EXPECT_EQ(GuidText(IID_ITfCandidateListUIElementBehavior), L"{85FAD185-58CE-497A-9460-355366B64B9A}");
  EXPECT_EQ(GuidText(kInputScopeProperty), L"{1713DD5A-68E7-4A5B-9AF6-592A595C778D}");
  EXPECT_EQ(GuidText(kCategoryImmersiveSupport), L"{13A016DF-560B-46CD-947A-4C3AF1E0E35D}");
  EXPECT_EQ(GuidText(kCategorySystraySupport), L"{25504FB4-7BAB-4BC1-9C69-CF81890F0EF5}");
  EXPECT_EQ(GuidText(kCategoryUiElementEnabled), L"{49D2F9CF-1F5E-11D7-A6D3-00065B84435C}");
  EXPECT_EQ(GuidText(kCategoryInputModeCompartment), L"{CCF05DD7-4A87-11D7-A6E2-00065B84435C}");
  EXPECT_EQ(GuidText(kLangBarItemInputMode), L"{2C77A81E-41CC-4178-A3A7-5F8A987568E6}");
  EXPECT_EQ(GuidText(IID_ISelectionProvider), L"{FB8B03AF-3BDF-48D4-BD36-1A65793BE168}");
  EXPECT_EQ(GuidText(IID_ISelectionItemProvider), L"{2ACAD808-B2D4-452D-A407-91FF1AD167B2}");
  // __uuidof (used by ComPtr::As and QueryAs) agrees with the IID constants.
  EXPECT_TRUE(IsEqualIID(__uuidof(ITfTextLayoutSink), IID_ITfTextLayoutSink));
  EXPECT_TRUE(IsEqualIID(__uuidof(ITfLangBarItemButton), IID_ITfLangBarItemButton));
  EXPECT_TRUE(IsEqualIID(__uuidof(ITfCandidateListUIElement), IID_ITfCandidateListUIElement));
  EXPECT_TRUE(IsEqualIID(__uuidof(ITfFnConfigure), IID_ITfFnConfigure));
  EXPECT_TRUE(IsEqualIID(__uuidof(ISelectionItemProvider), IID_ISelectionItemProvider));
}

// The mingw-w64 import library supplies these; the text service depends on their values.
TEST(TsfInterfacesTest, LibraryGuidsAreThePublishedOnes) {
  EXPECT_EQ(GuidText(GUID_COMPARTMENT_KEYBOARD_OPENCLOSE), L"{58273AAD-01BB-4164-95C6-755BA0B5162D}");
  EXPECT_EQ(GuidText(GUID_COMPARTMENT_KEYBOARD_DISABLED), L"{71A5B253-1951-466B-9FBC-9C8808FA84F2}");
  EXPECT_EQ(GuidText(GUID_COMPARTMENT_EMPTYCONTEXT), L"{D7487DBF-804E-41C5-894D-AD96FD4EEA13}");
  EXPECT_EQ(GuidText(GUID_TFCAT_TIP_KEYBOARD), L"{34745C63-B2F0-4784-8B67-5E12C8701A31}");
  EXPECT_EQ(GuidText(IID_ITfThreadFocusSink), L"{C0F1DB0C-3A20-405C-A303-96B6010A885F}");
  EXPECT_EQ(GuidText(IID_ITfFunctionProvider), L"{101D6610-0990-11D3-8DF0-00105A2799B5}");
}

TEST(TsfInterfacesTest, EachInterfaceIsFoundByItsIid) {
  Everything impl;
  EXPECT_TRUE(QueryAs<ITfTextLayoutSink>(static_cast<ITfMenu*>(&impl)));
  EXPECT_TRUE(QueryAs<ITfMenu>(static_cast<ITfMenu*>(&impl)));
  EXPECT_TRUE(QueryAs<ITfLangBarItemButton>(static_cast<ITfMenu*>(&impl)));
  EXPECT_TRUE(QueryAs<ITfLangBarItemBalloon>(static_cast<ITfMenu*>(&impl)));
  EXPECT_TRUE(QueryAs<ITfFnConfigure>(static_cast<ITfMenu*>(&impl)));
  EXPECT_TRUE(QueryAs<ITfFnShowHelp>(static_cast<ITfMenu*>(&impl)));
  EXPECT_TRUE(QueryAs<ITfCandidateListUIElement>(static_cast<ITfMenu*>(&impl)));
  EXPECT_FALSE(QueryAs<ITfFunction>(static_cast<ITfMenu*>(&impl)));
  EXPECT_EQ(impl.refs, 1u) << "every reference taken by QueryAs went back";
}

TEST(TsfInterfacesTest, MethodsSitInTheDocumentedSlots) {
  // The slots are called with one shape of arguments, which only the x64 calling convention
  // tolerates (x86 __stdcall callees pop their own arguments). The declarations are the same for
  // both builds.
  if (sizeof(void*) != 8) GTEST_SKIP() << "checked by the x64 build";
  Everything impl;
  using V = std::vector<std::string>;
  const V item = {"GetInfo", "GetStatus", "Show(BOOL)", "GetTooltipString"};

  auto button = QueryAs<ITfLangBarItemButton>(static_cast<ITfMenu*>(&impl));
  V expected = item;
  for (const char* name : {"OnClick", "InitMenu", "OnMenuSelect", "GetIcon", "GetText"}) {
    expected.push_back(name);
  }
  EXPECT_EQ(CallEverySlot(button.Get(), 9, impl), expected);

  auto balloon = QueryAs<ITfLangBarItemBalloon>(static_cast<ITfMenu*>(&impl));
  expected = item;
  for (const char* name : {"OnClick", "GetPreferredSize", "GetBalloonInfo"}) {
    expected.push_back(name);
  }
  EXPECT_EQ(CallEverySlot(balloon.Get(), 7, impl), expected);

  auto list = QueryAs<ITfCandidateListUIElementBehavior>(static_cast<ITfMenu*>(&impl));
  EXPECT_EQ(CallEverySlot(list.Get(), 15, impl),
            (V{"GetDescription", "GetGUID", "Show(BOOL)", "IsShown", "GetUpdatedFlags", "GetDocumentMgr", "GetCount",
               "GetSelection", "GetString", "GetPageIndex", "SetPageIndex", "GetCurrentPage", "SetSelection",
               "Finalize", "Abort"}));

  auto configure = QueryAs<ITfFnConfigure>(static_cast<ITfMenu*>(&impl));
  EXPECT_EQ(CallEverySlot(configure.Get(), 2, impl), (V{"GetDisplayName", "Show(configure)"}));
  auto help = QueryAs<ITfFnShowHelp>(static_cast<ITfMenu*>(&impl));
  EXPECT_EQ(CallEverySlot(help.Get(), 2, impl), (V{"GetDisplayName", "Show(help)"}));
  auto layout = QueryAs<ITfTextLayoutSink>(static_cast<ITfMenu*>(&impl));
  EXPECT_EQ(CallEverySlot(layout.Get(), 1, impl), (V{"OnLayoutChange"}));
}

}  // namespace

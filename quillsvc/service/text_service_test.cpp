// The text service object through the real quillsvc.dll, without a framework: its interfaces, its
// function provider, and that it gives back every reference it took.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/guids.h"
#include "quillsvc/com/tsf_interfaces.h"
#include "quillsvc/server/server_testing.h"
#include "winui/testing/dialog_driver.h"

namespace quillet {
namespace {

using testing::ServerDll;

class TextServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dll_.Load());
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(dll_.getClassObject(kClsidTextService, IID_IClassFactory, factory.PutVoid()), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ITfTextInputProcessor, tip_.PutVoid()), S_OK);
  }
  void TearDown() override {
    tip_.Reset();
    EXPECT_EQ(dll_.canUnloadNow(), S_OK) << "every reference given back";
  }

  ServerDll dll_;
  ComPtr<ITfTextInputProcessor> tip_;
};

TEST_F(TextServiceTest, EverySinkIsAnsweredWithOneIdentity) {
  ComPtr<IUnknown> identity;
  ASSERT_EQ(tip_->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
  for (const IID* iid :
       {&IID_ITfTextInputProcessor, &IID_ITfThreadMgrEventSink, &IID_ITfTextEditSink, &IID_ITfKeyEventSink,
        &IID_ITfCompositionSink, &IID_ITfTextLayoutSink, &IID_ITfThreadFocusSink, &IID_ITfFunctionProvider}) {
    ComPtr<IUnknown> face;
    ASSERT_EQ(tip_->QueryInterface(*iid, face.PutVoid()), S_OK);
    ComPtr<IUnknown> back;
    ASSERT_EQ(face->QueryInterface(IID_IUnknown, back.PutVoid()), S_OK);
    EXPECT_EQ(back, identity);
  }
  void* other = &other;
  EXPECT_EQ(tip_->QueryInterface(IID_ITfEditSession, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(tip_->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);
}

TEST_F(TextServiceTest, TheFunctionProviderDescribesItselfAndOffersOnlyHelp) {
  ComPtr<ITfFunctionProvider> provider;
  ASSERT_EQ(tip_->QueryInterface(IID_ITfFunctionProvider, provider.PutVoid()), S_OK);
  BSTR description = nullptr;
  ASSERT_EQ(provider->GetDescription(&description), S_OK);
  EXPECT_EQ(std::wstring(description, SysStringLen(description)), L"Tarnwick Quillet");
  SysFreeString(description);
  GUID type = GUID_NULL;
  EXPECT_EQ(provider->GetType(&type), S_OK);
  ComPtr<IUnknown> function;
  EXPECT_EQ(provider->GetFunction(GUID_NULL, IID_ITfFnConfigure, function.Put()), E_NOINTERFACE);
  EXPECT_FALSE(function);
  ASSERT_EQ(provider->GetFunction(GUID_NULL, IID_ITfFnShowHelp, function.Put()), S_OK);
  ComPtr<ITfFnShowHelp> help;
  ASSERT_EQ(function->QueryInterface(IID_ITfFnShowHelp, help.PutVoid()), S_OK);
  BSTR name = nullptr;
  ASSERT_EQ(help->GetDisplayName(&name), S_OK);
  EXPECT_EQ(std::wstring(name, SysStringLen(name)), L"Quillet Help");
  SysFreeString(name);
}

TEST_F(TextServiceTest, TheHelpFunctionOpensTheManualFromTheModulesFolder) {
  ComPtr<ITfFunctionProvider> provider;
  ASSERT_EQ(tip_->QueryInterface(IID_ITfFunctionProvider, provider.PutVoid()), S_OK);
  ComPtr<IUnknown> function;
  ASSERT_EQ(provider->GetFunction(GUID_NULL, IID_ITfFnShowHelp, function.Put()), S_OK);
  ComPtr<ITfFnShowHelp> help;
  ASSERT_EQ(function->QueryInterface(IID_ITfFnShowHelp, help.PutVoid()), S_OK);
  EXPECT_EQ(help->Show(nullptr), S_OK);
  // The system's help viewer shows the manual (compiled beside the DLL) under its title.
  HWND viewer =
      winui::testing::WaitForWindow([] { return winui::testing::FindTopWindow(0, nullptr, L"Quillet Help"); }, 30000);
  EXPECT_NE(viewer, nullptr);
  if (viewer != nullptr) {
    winui::testing::SettlePainting(viewer);
    EXPECT_FALSE(winui::testing::SavePicture(viewer, u"manual").empty());
    PostMessageW(viewer, WM_CLOSE, 0, 0);
  }
}

// Keys reach a text service that was never activated (a framework may ask before Activate or after a
// failed one): nothing is eaten and nothing breaks.
TEST_F(TextServiceTest, KeysBeforeActivationAreLeftToTheApplication) {
  ComPtr<ITfKeyEventSink> keys;
  ASSERT_EQ(tip_->QueryInterface(IID_ITfKeyEventSink, keys.PutVoid()), S_OK);
  BOOL eaten = TRUE;
  EXPECT_EQ(keys->OnTestKeyDown(nullptr, 'A', 0, &eaten), S_OK);
  EXPECT_FALSE(eaten);
  eaten = TRUE;
  EXPECT_EQ(keys->OnKeyDown(nullptr, 'A', 0, &eaten), S_OK);
  EXPECT_FALSE(eaten);
  EXPECT_EQ(keys->OnKeyDown(nullptr, 'A', 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(tip_->Deactivate(), S_OK);
}

}  // namespace
}  // namespace quillet

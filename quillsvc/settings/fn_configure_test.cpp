// The configure function as the system's text services settings reach it: through quillsvc.dll's class
// factory, in a session where the loader is not running yet.
#include "quillsvc/settings/fn_configure.h"

// after windows.h
#include <commctrl.h>
#include <gtest/gtest.h>

#include <thread>

#include "lexwarden/warden_testing.h"
#include "platform/user_data.h"
#include "platform/win32/wide.h"
#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/guids.h"
#include "quillsvc/server/server_testing.h"
#include "winui/testing/dialog_driver.h"

namespace quillet {
namespace {

using winui::testing::FindTopWindow;
using winui::testing::WaitForWindow;

HWND LoaderWindow() {
  return FindWindowExW(HWND_MESSAGE, nullptr, L"DAEMON", platform::win32::ObjectName(u"Daemon@QX@TARN").c_str());
}

// Ends the loader the configure function started, as the session's end would.
void StopLoader() {
  if (HWND loader = LoaderWindow()) PostMessageW(loader, WM_USER + 1, 0, 0);
  WaitForWindow([] { return LoaderWindow() == nullptr ? GetDesktopWindow() : nullptr; }, 10000);
}

std::u16string Text(BSTR s) { return s != nullptr ? platform::win32::FromWide(s) : u"<null>"; }

TEST(FnConfigure, TheClassFactoryGivesAConfigureFunctionThatStartsTheLoaderAndShowsTheSheet) {
  warden::testing::UseFreshNamespace();
  warden::testing::TempFolder config;
  platform::SetEnvironmentValue(u"QUILLET_CONFIG_DIR", config.path());
  testing::ServerDll dll;
  ASSERT_TRUE(dll.Load());
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(dll.getClassObject(kClsidTextService, IID_IClassFactory, factory.PutVoid()), S_OK);
  ComPtr<ITfFnConfigure> configure;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ITfFnConfigure, configure.PutVoid()), S_OK);
  ASSERT_TRUE(configure);

  ComPtr<IUnknown> unknown;
  ComPtr<ITfFunction> function;
  ASSERT_EQ(configure->QueryInterface(IID_IUnknown, unknown.PutVoid()), S_OK);
  ASSERT_EQ(configure->QueryInterface(IID_ITfFunction, function.PutVoid()), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(configure.Get()));
  EXPECT_EQ(static_cast<void*>(function.Get()), static_cast<void*>(configure.Get()));
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(configure->QueryInterface(IID_ITfFnShowHelp, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(configure->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);
  BSTR name = nullptr;
  ASSERT_EQ(configure->GetDisplayName(&name), S_OK);
  EXPECT_EQ(Text(name), u"Quillet Settings");
  SysFreeString(name);

  ASSERT_EQ(LoaderWindow(), nullptr);
  HRESULT shown = E_FAIL;
  std::thread caller([&] { shown = configure->Show(nullptr, 0, GUID_NULL); });
  HWND sheet =
      WaitForWindow([] { return FindTopWindow(GetCurrentProcessId(), L"#32770", L"Tarnwick Quillet Options"); }, 30000);
  EXPECT_NE(sheet, nullptr);
  // The sheet opened on the settings of the loader it started.
  EXPECT_NE(LoaderWindow(), nullptr);
  if (sheet != nullptr) PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  caller.join();
  EXPECT_EQ(shown, S_OK);
  configure.Reset();
  unknown.Reset();
  function.Reset();
  factory.Reset();
  StopLoader();
}

}  // namespace
}  // namespace quillet

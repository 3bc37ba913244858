// Registration of quillsvc.dll, in this process and through the system's regsvr32, read back from the
// registry. One case, since every step works on the same keys.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "platform/process.h"
#include "platform/win32/wide.h"
#include "quillsvc/com/guids.h"
#include "quillsvc/server/server_testing.h"

namespace quillet {
namespace {

using testing::ServerDll;

// The keyboard category, then immersive, system-tray, UI-element and input-mode support (secure mode
// never: the text service must stay passive on the logon desktop).
constexpr const wchar_t* kCategories[] = {
    L"{34745C63-B2F0-4784-8B67-5E12C8701A31}", L"{13A016DF-560B-46CD-947A-4C3AF1E0E35D}",
    L"{25504FB4-7BAB-4BC1-9C69-CF81890F0EF5}", L"{49D2F9CF-1F5E-11D7-A6D3-00065B84435C}",
    L"{CCF05DD7-4A87-11D7-A6E2-00065B84435C}"};
constexpr wchar_t kSecureModeCategory[] = L"{49D2F9CE-1F5E-11D7-A6D3-00065B84435C}";

std::wstring ClassKey() { return L"CLSID\\" + GuidKeyText(kClsidTextService); }
std::wstring TipKey() { return L"Software\\Microsoft\\CTF\\TIP\\" + GuidKeyText(kClsidTextService); }
std::wstring ProfilesKey() { return TipKey() + L"\\LanguageProfile\\0x00000804"; }

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path, const wchar_t* name) {
  wchar_t value[1024];
  DWORD bytes = sizeof value;
  if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(value);
}

DWORD SubkeyCount(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD count = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  return count;
}

void ExpectRegistered() {
  const std::wstring dll = ServerDll::Path();
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ClassKey(), nullptr), L"Quillet");
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ClassKey() + L"\\InProcServer32", nullptr), dll);
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, ClassKey() + L"\\InProcServer32", L"ThreadingModel"), L"Apartment");
  const std::wstring profile = ProfilesKey() + L"\\" + GuidKeyText(kGuidProfile);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, profile, L"Description"), L"Quillet");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, profile, L"IconFile"), dll);
  EXPECT_EQ(SubkeyCount(HKEY_LOCAL_MACHINE, ProfilesKey()), 1u);
  for (const wchar_t* category : kCategories) {
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE,
                          TipKey() + L"\\Category\\Category\\" + category + L"\\" + GuidKeyText(kClsidTextService)))
        << category;
  }
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, TipKey() + L"\\Category\\Category\\" + kSecureModeCategory));
}

void ExpectUnregistered() {
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey()));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, TipKey()));
}

// Runs the system's regsvr32 (of this program's bitness) silently; its exit code, -1 when it did not end.
int Regsvr32(const std::wstring& arguments) {
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring program = std::wstring(system, length) + L"\\regsvr32.exe";
  const std::wstring commandLine = L"regsvr32.exe /s " + arguments + L" \"" + ServerDll::Path() + L"\"";
  platform::Process process;
  platform::OsError error = 0;
  if (!process.Start(platform::win32::FromWide(program), platform::win32::FromWide(commandLine), &error)) {
    return -1;
  }
  int exitCode = -1;
  return process.WaitForExit(300000, &exitCode) ? exitCode : -1;
}

TEST(RegistrationTest, RegisteringTwiceIsHarmlessAndUnregisteringRemovesEverything) {
  ServerDll dll;
  ASSERT_TRUE(dll.Load());
  ASSERT_EQ(dll.unregisterServer(), S_OK);  // from a clean registry
  ExpectUnregistered();

  ASSERT_EQ(dll.registerServer(), S_OK);
  ExpectRegistered();
  ASSERT_EQ(dll.registerServer(), S_OK);
  ExpectRegistered();
  ASSERT_EQ(dll.unregisterServer(), S_OK);
  ExpectUnregistered();
  EXPECT_EQ(dll.unregisterServer(), S_OK);
  EXPECT_EQ(dll.canUnloadNow(), S_OK);

  // The same through the system's tool, as an installer registers. Each start of a 32-bit program
  // costs about a minute where the x86 build runs emulated, so it gets one start and unregisters here.
  ASSERT_EQ(Regsvr32(L""), 0);
  ExpectRegistered();
#if defined(__i386__)
  ASSERT_EQ(dll.unregisterServer(), S_OK);
#else
  ASSERT_EQ(Regsvr32(L""), 0);
  ExpectRegistered();
  ASSERT_EQ(Regsvr32(L"/u"), 0);
#endif
  ExpectUnregistered();
}

}  // namespace
}  // namespace quillet

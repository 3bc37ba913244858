// What sandboxed hosts may do with the session's objects, read back from the objects themselves.
#include <windows.h>
// windows.h first
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/named_objects.h"
#include "platform/test_namespace.h"
#include "platform/win32/wide.h"

namespace quillet::platform {
namespace {

const bool kIsolated = testing::IsolateNamespace("os");

// The object's descriptor as text: owner left out, the access list and the integrity label.
std::wstring DescriptorOf(const std::u16string& name, bool mapping) {
  const std::wstring wide = win32::ObjectName(name);
  HANDLE h = mapping ? OpenFileMappingW(READ_CONTROL, FALSE, wide.c_str())
                     : OpenEventW(READ_CONTROL, FALSE, wide.c_str());
  if (h == nullptr) return L"open failed " + std::to_wstring(GetLastError());
  PSECURITY_DESCRIPTOR sd = nullptr;
  const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION;
  const DWORD r = GetSecurityInfo(h, SE_KERNEL_OBJECT, what, nullptr, nullptr, nullptr, nullptr, &sd);
  CloseHandle(h);
  if (r != ERROR_SUCCESS) return L"read failed " + std::to_wstring(r);
  wchar_t* text = nullptr;
  std::wstring result = L"convert failed";
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1, what, &text, nullptr)) {
    result = text;
    LocalFree(text);
  }
  LocalFree(sd);
  return result;
}

// Access masks are written as SDDL rights or hex; both forms name the same grant.
bool Grants(const std::wstring& sddl, const std::wstring& sid, const std::wstring& hex, const std::wstring& named) {
  return sddl.find(L";;" + hex + L";;;" + sid + L")") != std::wstring::npos ||
         (!named.empty() && sddl.find(L";;" + named + L";;;" + sid + L")") != std::wstring::npos);
}

TEST(ObjectSecurityTest, SandboxedHostsMayReadMappingsAndTakeLocksButNotWrite) {
  ASSERT_TRUE(kIsolated);
  Mapping mapping;
  Event event;
  OsError error = 0;
  bool existed = false;
  ASSERT_TRUE(mapping.Create(u"Local\\@@SECMAP@@", 4096, &existed, &error)) << error;
  ASSERT_TRUE(event.CreateOrOpen(u"Local\\@@SECEVT@@", false, true, &existed, &error)) << error;

  const std::wstring m = DescriptorOf(u"Local\\@@SECMAP@@", true);
  const std::wstring e = DescriptorOf(u"Local\\@@SECEVT@@", false);
  // App containers: map for reading (SECTION_MAP_READ) only; wait and set (SYNCHRONIZE |
  // EVENT_MODIFY_STATE) only.
  // (SDDL writes 0x4 as LC, the directory-service name of the same bit.)
  EXPECT_TRUE(Grants(m, L"AC", L"0x4", L"LC") || Grants(m, L"S-1-15-2-1", L"0x4", L"LC")) << m;
  EXPECT_TRUE(Grants(e, L"AC", L"0x100002", L"") || Grants(e, L"S-1-15-2-1", L"0x100002", L"")) << e;
  EXPECT_EQ(m.find(L";;GA;;;AC)"), std::wstring::npos) << m;
  // The mapping keeps writes to medium integrity and above; the events may be set from low. Wine
  // keeps no integrity labels on objects (it reads none back); Windows does.
  if (m.find(L"S:") != std::wstring::npos) {
    EXPECT_NE(m.find(L"(ML;;NW;;;ME)"), std::wstring::npos) << m;
  }
  if (e.find(L"S:") != std::wstring::npos) {
    EXPECT_NE(e.find(L"(ML;;NW;;;LW)"), std::wstring::npos) << e;
  }
  // Nobody inherits the default full grant of the user's token on the events.
  EXPECT_EQ(e.find(L"D:P"), 0u) << e;
  EXPECT_EQ(e.find(L";;GA;;;S-1-5-21"), std::wstring::npos) << e;
  EXPECT_EQ(e.find(L";;0x1f0003;;;S-1-5-21"), std::wstring::npos) << e;

  // Every party asks for exactly the rights it is granted: a second opener still gets the event.
  Event second;
  ASSERT_TRUE(second.CreateOrOpen(u"Local\\@@SECEVT@@", false, true, &existed, &error)) << error;
  EXPECT_TRUE(existed);
  OsError waitError = 0;
  EXPECT_EQ(Wait(second, 0, &waitError), WaitResult::kSignalled);
  EXPECT_TRUE(second.Set());
}

}  // namespace
}  // namespace quillet::platform

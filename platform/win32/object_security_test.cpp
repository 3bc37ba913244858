// What sandboxed hosts may do with the session's objects, read back from the objects themselves.
#include <windows.h>
// windows.h first
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

#include "platform/named_objects.h"
#include "platform/test_namespace.h"
#include "platform/win32/wide.h"

namespace quillet::platform {
namespace {

const bool kIsolated = testing::IsolateNamespace("os");

// The object's descriptor as text: by default the access list and the integrity label.
std::wstring DescriptorOf(const std::u16string& name, bool mapping,
                          SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION) {
  const std::wstring wide = win32::ObjectName(name);
  HANDLE h =
      mapping ? OpenFileMappingW(READ_CONTROL, FALSE, wide.c_str()) : OpenEventW(READ_CONTROL, FALSE, wide.c_str());
  if (h == nullptr) return L"open failed " + std::to_wstring(GetLastError());
  PSECURITY_DESCRIPTOR sd = nullptr;
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

// Sandboxed hosts (app containers, low integrity) may read what is public and nothing else: never
// what the user wrote, never a lock.
TEST(ObjectSecurityTest, SandboxedHostsMayReadPublicMappingsOnlyAndNeverTouchALock) {
  ASSERT_TRUE(kIsolated);
  Mapping publicMapping, privateMapping;
  Event event;
  OsError error = 0;
  bool existed = false;
  ASSERT_TRUE(publicMapping.Create(u"Local\\@@SECPUB@@", 4096, &existed, &error, ObjectAccess::kPublic)) << error;
  ASSERT_TRUE(privateMapping.Create(u"Local\\@@SECPRIV@@", 4096, &existed, &error)) << error;
  ASSERT_TRUE(event.CreateOrOpen(u"Local\\@@SECEVT@@", false, true, &existed, &error)) << error;

  const std::wstring pub = DescriptorOf(u"Local\\@@SECPUB@@", true);
  const std::wstring priv = DescriptorOf(u"Local\\@@SECPRIV@@", true);
  const std::wstring e = DescriptorOf(u"Local\\@@SECEVT@@", false);
  // App containers: map for reading and read the descriptor (READ_CONTROL | SECTION_MAP_READ), no more.
  // (SDDL writes them as RC and LC, the directory-service names of the same bits.)
  EXPECT_TRUE(Grants(pub, L"AC", L"0x20004", L"LCRC") || Grants(pub, L"S-1-15-2-1", L"0x20004", L"LCRC")) << pub;
  EXPECT_EQ(pub.find(L";;GA;;;AC)"), std::wstring::npos) << pub;
  for (const std::wstring* d : {&priv, &e}) {
    EXPECT_EQ(d->find(L";;;AC)"), std::wstring::npos) << *d;
    EXPECT_EQ(d->find(L";;;S-1-15-2-1)"), std::wstring::npos) << *d;
  }
  // Writes stay at medium integrity and above; what is private, and the locks, also reading and
  // waiting. Wine keeps no integrity labels on objects (it reads none back); Windows does.
  if (pub.find(L"S:") != std::wstring::npos) {
    EXPECT_NE(pub.find(L"(ML;;NW;;;ME)"), std::wstring::npos) << pub;
  }
  for (const std::wstring* d : {&priv, &e}) {
    if (d->find(L"S:") != std::wstring::npos) {
      EXPECT_NE(d->find(L"(ML;;NWNRNX;;;ME)"), std::wstring::npos) << *d;
    }
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

// An object someone else made first under one of our names (a sandboxed process squatting it, or
// anybody who is not the user) is refused, not taken up with its content and its descriptor. Made
// here as such a process would leave it: owned by another, or labelled low. (Windows lets a process
// label its objects lower but not give them away; Wine keeps ownership but no labels.)
TEST(ObjectSecurityTest, ObjectsThatTheUsersProcessesDidNotMakeAreRefused) {
  struct Squat {
    const wchar_t* sddl;
    const wchar_t* keptAs;  // what the descriptor read back shows when the system kept it
  };
  int tried = 0;
  for (const Squat& squat :
       {Squat{L"O:WDD:(A;;GA;;;WD)", L"O:WD"}, Squat{L"D:(A;;GA;;;WD)S:(ML;;NW;;;LW)", L";;;LW)"}}) {
    const std::u16string name = u"Local\\@@SECSQUAT" + std::u16string(1, static_cast<char16_t>(u'0' + tried)) + u"@@";
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(squat.sddl, SDDL_REVISION_1, &sd, nullptr));
    SECURITY_ATTRIBUTES sa{sizeof(sa), sd, FALSE};
    HANDLE squatted =
        CreateFileMappingW(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0, 4096, win32::ObjectName(name).c_str());
    LocalFree(sd);
    if (squatted == nullptr) continue;
    const std::wstring kept =
        DescriptorOf(name, true, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION);
    if (kept.find(squat.keptAs) != std::wstring::npos) {
      ++tried;
      Mapping mapping;
      OsError error = 0;
      bool existed = false;
      EXPECT_FALSE(mapping.Create(name, 4096, &existed, &error)) << kept;
      EXPECT_EQ(error, static_cast<OsError>(ERROR_ACCESS_DENIED));
      EXPECT_FALSE(mapping.Open(name, &error, true)) << kept;
    }
    CloseHandle(squatted);
  }
  if (tried == 0) GTEST_SKIP() << "this system let no object be made as a squatter would leave it";
}

}  // namespace
}  // namespace quillet::platform

#include "platform/named_objects.h"

#include <windows.h>
// windows.h first
#include <aclapi.h>
#include <sddl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/mapped_view.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace quillet::platform {

namespace {

WaitResult FromWaitCode(DWORD r, DWORD expected, OsError* error) {
  if (r == expected) return WaitResult::kSignalled;
  if (r == WAIT_TIMEOUT) {
    *error = ERROR_TIMEOUT;
    return WaitResult::kTimedOut;
  }
  *error = (r == WAIT_FAILED) ? GetLastError() : ERROR_INVALID_HANDLE;
  if (*error == 0) *error = ERROR_INVALID_HANDLE;
  return WaitResult::kFailed;
}

// Who may do what with the session's objects. Everything is the user's, for processes of medium
// integrity or more. Sandboxed hosts (app containers, low integrity) may read what is public (the
// dictionaries, the ranking data, the settings as published): an app container gets exactly mapping
// for reading and reading the descriptor, which tells it who made the object; a low-integrity
// process may read through the label, never write. Private objects (what the user wrote, the learned
// store) and every lock event carry a label that keeps lower integrity out entirely: no reading, no
// waiting on a lock (waiting counts as execute), no setting it.
constexpr DWORD kEventRights = SYNCHRONIZE | EVENT_MODIFY_STATE | READ_CONTROL;
constexpr wchar_t kAllAppContainers[] = L"S-1-15-2-1";

struct UserIdentity {
  std::vector<uint8_t> sid;    // of the token's user
  std::wstring text;           // the same as text, for descriptors
  std::vector<uint8_t> owner;  // what the token makes the owner of new objects (the user, or a group)
};

std::vector<uint8_t> SidBytes(PSID sid) {
  if (sid == nullptr || !IsValidSid(sid)) return {};
  const auto* bytes = static_cast<const uint8_t*>(sid);
  return std::vector<uint8_t>(bytes, bytes + GetLengthSid(sid));
}

const UserIdentity& User() {
  static const UserIdentity user = [] {
    UserIdentity u;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return u;
    win32::UniqueHandle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0) return u;
    std::vector<uint8_t> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return u;
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    wchar_t* text = nullptr;
    if (!IsValidSid(sid) || !ConvertSidToStringSidW(sid, &text)) return u;
    u.text = text;
    LocalFree(text);
    u.sid = SidBytes(sid);
    size = 0;
    GetTokenInformation(token, TokenOwner, nullptr, 0, &size);
    std::vector<uint8_t> owner(size);
    if (size != 0 && GetTokenInformation(token, TokenOwner, owner.data(), size, &size)) {
      u.owner = SidBytes(reinterpret_cast<TOKEN_OWNER*>(owner.data())->Owner);
    }
    return u;
  }();
  return user;
}

// The descriptor for one kind of object, built once per process; a system that cannot build it gets
// default security (medium integrity, the user's processes; sandboxed hosts then find nothing).
class ObjectSecurity {
 public:
  explicit ObjectSecurity(const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (sddl.empty() ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr)) {
      return;
    }
    descriptor_ = sd;
    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = sd;
    attributes_.bInheritHandle = FALSE;
  }
  ~ObjectSecurity() { LocalFree(descriptor_); }
  ObjectSecurity(const ObjectSecurity&) = delete;
  ObjectSecurity& operator=(const ObjectSecurity&) = delete;

  SECURITY_ATTRIBUTES* attributes() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_ = {};
};

std::wstring Sddl(const wchar_t* userRights, const wchar_t* appContainerRights, const wchar_t* label) {
  const std::wstring& user = User().text;
  if (user.empty()) return {};
  std::wstring sddl = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;" + std::wstring(userRights) + L";;;" + user + L")";
  if (appContainerRights != nullptr) {
    sddl += L"(A;;" + std::wstring(appContainerRights) + L";;;" + kAllAppContainers + L")";
  }
  return sddl + L"S:(ML;;" + label + L";;;ME)";
}

SECURITY_ATTRIBUTES* EventSecurity() {
  static ObjectSecurity security(Sddl(L"0x120002", nullptr, L"NWNRNX"));
  return security.attributes();
}

SECURITY_ATTRIBUTES* MappingSecurity(ObjectAccess access) {
  // 0x20004: READ_CONTROL | SECTION_MAP_READ.
  static ObjectSecurity publicSecurity(Sddl(L"GA", L"0x20004", L"NW"));
  static ObjectSecurity privateSecurity(Sddl(L"GA", nullptr, L"NWNRNX"));
  return access == ObjectAccess::kPublic ? publicSecurity.attributes() : privateSecurity.attributes();
}

bool SidIs(PSID sid, WELL_KNOWN_SID_TYPE type) { return IsWellKnownSid(sid, type) != FALSE; }

// Whether an object found under one of our names was made by a process we trust with it: one of the
// user's (or the system's, or an administrator's) at medium integrity or more. An object that a
// sandboxed process made first carries its owner or its lower label, and is refused: what it holds
// could be anything, and its descriptor could let anybody read or write it.
bool TrustedMaker(HANDLE h) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetSecurityInfo(h, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &sd) !=
      ERROR_SUCCESS) {
    return false;
  }
  const UserIdentity& user = User();
  const std::vector<uint8_t> found = SidBytes(owner);
  const bool ownerTrusted =
      !found.empty() && (found == user.sid || found == user.owner || SidIs(owner, WinLocalSystemSid) ||
                         SidIs(owner, WinBuiltinAdministratorsSid));
  LocalFree(sd);
  if (!ownerTrusted) return false;
  // Without a label an object counts as medium; Wine keeps none.
  PACL sacl = nullptr;
  sd = nullptr;
  if (GetSecurityInfo(h, SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, &sacl, &sd) !=
      ERROR_SUCCESS) {
    return true;
  }
  bool medium = true;
  for (DWORD i = 0; sacl != nullptr && i < sacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(sacl, i, &ace) || static_cast<ACE_HEADER*>(ace)->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) continue;
    PSID label = &static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace)->SidStart;
    const UCHAR count = *GetSidSubAuthorityCount(label);
    if (count == 0 || *GetSidSubAuthority(label, count - 1) < SECURITY_MANDATORY_MEDIUM_RID) medium = false;
  }
  LocalFree(sd);
  return medium;
}

// Keeps `h` when its object can be trusted; otherwise closes it and reports access denied.
bool KeepTrusted(win32::UniqueHandle& h, OsError* error) {
  if (TrustedMaker(h.get())) return true;
  h.Reset();
  *error = ERROR_ACCESS_DENIED;
  return false;
}

}  // namespace

struct Event::Impl {
  win32::UniqueHandle handle;
};

Event::Event() : impl_(std::make_unique<Impl>()) {}
Event::~Event() = default;
Event::Event(Event&&) noexcept = default;
Event& Event::operator=(Event&&) noexcept = default;

bool Event::CreateOrOpen(std::u16string_view name, bool manualReset, bool initiallySignalled, bool* alreadyExisted,
                         OsError* error) {
  Close();
  const std::wstring wide = win32::ObjectName(name);
  const DWORD flags =
      (manualReset ? CREATE_EVENT_MANUAL_RESET : 0) | (initiallySignalled ? CREATE_EVENT_INITIAL_SET : 0);
  win32::UniqueHandle h(CreateEventExW(EventSecurity(), wide.c_str(), flags, kEventRights));
  if (!h) {
    *error = GetLastError();
    return false;
  }
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (existed && !KeepTrusted(h, error)) return false;
  if (alreadyExisted != nullptr) *alreadyExisted = existed;
  impl_->handle = std::move(h);
  return true;
}

bool Event::Open(std::u16string_view name, OsError* error) {
  Close();
  const std::wstring wide = win32::ObjectName(name);
  win32::UniqueHandle h(OpenEventW(kEventRights, FALSE, wide.c_str()));
  if (!h) {
    *error = GetLastError();
    return false;
  }
  if (!KeepTrusted(h, error)) return false;
  impl_->handle = std::move(h);
  return true;
}

bool Event::valid() const { return impl_ && impl_->handle.valid(); }
bool Event::Set() {
  if (!valid()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return SetEvent(impl_->handle.get()) != 0;
}

bool Event::Reset() {
  if (!valid()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return ResetEvent(impl_->handle.get()) != 0;
}

void Event::Close() {
  if (!impl_) impl_ = std::make_unique<Impl>();
  impl_->handle.Reset();
}

WaitResult Wait(Event& event, uint32_t timeoutMs, OsError* error) {
  if (!event.valid()) {
    *error = ERROR_INVALID_HANDLE;
    return WaitResult::kFailed;
  }
  return FromWaitCode(WaitForSingleObject(event.impl_->handle.get(), timeoutMs), WAIT_OBJECT_0, error);
}

WaitResult WaitAll(Event& a, Event& b, uint32_t timeoutMs, OsError* error) {
  if (!a.valid() || !b.valid()) {
    *error = ERROR_INVALID_HANDLE;
    return WaitResult::kFailed;
  }
  HANDLE handles[2] = {a.impl_->handle.get(), b.impl_->handle.get()};
  const DWORD r = WaitForMultipleObjects(2, handles, TRUE, timeoutMs);
  // With bWaitAll any value in [WAIT_OBJECT_0, WAIT_OBJECT_0 + 1] means both were taken.
  if (r == WAIT_OBJECT_0 + 1) return WaitResult::kSignalled;
  return FromWaitCode(r, WAIT_OBJECT_0, error);
}

struct Mapping::Impl {
  win32::UniqueHandle handle;
  MappedView view;  // declared after the handle: unmapped first
  bool readOnly = false;
};

Mapping::Mapping() : impl_(std::make_unique<Impl>()) {}
Mapping::~Mapping() = default;
Mapping::Mapping(Mapping&&) noexcept = default;
Mapping& Mapping::operator=(Mapping&&) noexcept = default;

bool Mapping::Create(std::u16string_view name, size_t size, bool* alreadyExisted, OsError* error, ObjectAccess access) {
  Close();
  const std::wstring wide = win32::ObjectName(name);
  const uint64_t size64 = size;
  win32::UniqueHandle h(CreateFileMappingW(INVALID_HANDLE_VALUE, MappingSecurity(access), PAGE_READWRITE,
                                           static_cast<DWORD>(size64 >> 32), static_cast<DWORD>(size64), wide.c_str()));
  if (!h) {
    *error = GetLastError();
    return false;
  }
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (existed && !KeepTrusted(h, error)) return false;
  if (alreadyExisted != nullptr) *alreadyExisted = existed;
  impl_->handle = std::move(h);
  return true;
}

bool Mapping::Open(std::u16string_view name, OsError* error, bool readOnly) {
  Close();
  const std::wstring wide = win32::ObjectName(name);
  // READ_CONTROL: to see who made it. (0xF001F is FILE_MAP_ALL_ACCESS, which includes it.)
  win32::UniqueHandle h(OpenFileMappingW(readOnly ? FILE_MAP_READ | READ_CONTROL : 0xF001F, FALSE, wide.c_str()));
  if (!h) {
    *error = GetLastError();
    return false;
  }
  if (!KeepTrusted(h, error)) return false;
  impl_->handle = std::move(h);
  impl_->readOnly = readOnly;
  return true;
}

bool Mapping::Map(OsError* error) {
  if (!impl_ || !impl_->handle) {
    *error = ERROR_INVALID_HANDLE;
    return false;
  }
  if (impl_->view.valid()) return true;
  void* view = MapViewOfFile(impl_->handle.get(), impl_->readOnly ? FILE_MAP_READ : FILE_MAP_ALL_ACCESS, 0, 0, 0);
  if (view == nullptr) {
    *error = GetLastError();
    return false;
  }
  MappedView mapped(view, 0);
  // The view's readable extent: the section size rounded up to whole pages.
  MEMORY_BASIC_INFORMATION info = {};
  if (VirtualQuery(view, &info, sizeof(info)) == 0) {
    *error = GetLastError();
    return false;
  }
  mapped.Release();
  impl_->view = MappedView(view, info.RegionSize);
  return true;
}

uint8_t* Mapping::data() const { return impl_ ? impl_->view.data() : nullptr; }
size_t Mapping::size() const { return impl_ ? impl_->view.size() : 0; }

void Mapping::Unmap() {
  if (impl_) impl_->view.Reset();
}

void Mapping::Close() {
  if (!impl_) impl_ = std::make_unique<Impl>();
  impl_->view.Reset();
  impl_->handle.Reset();
  impl_->readOnly = false;
}

void DiscardTestNamespace() {}

}  // namespace quillet::platform

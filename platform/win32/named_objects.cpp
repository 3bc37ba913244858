#include "platform/named_objects.h"

#include <windows.h>
// windows.h first
#include <sddl.h>

#include <string>

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

// Who may do what with the session's shared objects. Sandboxed hosts (app containers, low integrity)
// cannot open objects that carry only default security; they get exactly what reading needs: a
// mapping may be mapped for reading, a lock event waited on and set. Only the user's processes of
// medium integrity or more write a mapping (its label stops writes from below). Every party asks for
// the events' two rights only, so that is all anybody is granted on them.
constexpr DWORD kEventRights = SYNCHRONIZE | EVENT_MODIFY_STATE;
constexpr wchar_t kAllAppContainers[] = L"S-1-15-2-1";

std::wstring UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  win32::UniqueHandle owned(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
  if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
  std::wstring sid(text);
  LocalFree(text);
  return sid;
}

// The descriptor for one kind of object, built once per process; a system that cannot build it
// gets default security (the sandboxed hosts then find nothing, as on systems without them).
class ObjectSecurity {
 public:
  explicit ObjectSecurity(bool forEvents) {
    const std::wstring user = UserSid();
    if (user.empty()) return;
    const std::wstring sddl =
        forEvents ? L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x100002;;;" + user + L")(A;;0x100002;;;" +
                        kAllAppContainers + L")S:(ML;;NW;;;LW)"
                  : L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;" + user + L")(A;;0x4;;;" + kAllAppContainers +
                        L")S:(ML;;NW;;;ME)";
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr)) return;
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

SECURITY_ATTRIBUTES* EventSecurity() {
  static ObjectSecurity security(true);
  return security.attributes();
}

SECURITY_ATTRIBUTES* MappingSecurity() {
  static ObjectSecurity security(false);
  return security.attributes();
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
  const DWORD flags = (manualReset ? CREATE_EVENT_MANUAL_RESET : 0) | (initiallySignalled ? CREATE_EVENT_INITIAL_SET : 0);
  win32::UniqueHandle h(CreateEventExW(EventSecurity(), wide.c_str(), flags, kEventRights));
  if (!h) {
    *error = GetLastError();
    return false;
  }
  if (alreadyExisted != nullptr) *alreadyExisted = GetLastError() == ERROR_ALREADY_EXISTS;
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

bool Mapping::Create(std::u16string_view name, size_t size, bool* alreadyExisted, OsError* error) {
  Close();
  const std::wstring wide = win32::ObjectName(name);
  const uint64_t size64 = size;
  win32::UniqueHandle h(CreateFileMappingW(INVALID_HANDLE_VALUE, MappingSecurity(), PAGE_READWRITE,
                                           static_cast<DWORD>(size64 >> 32), static_cast<DWORD>(size64), wide.c_str()));
  if (!h) {
    *error = GetLastError();
    return false;
  }
  if (alreadyExisted != nullptr) *alreadyExisted = GetLastError() == ERROR_ALREADY_EXISTS;
  impl_->handle = std::move(h);
  return true;
}

bool Mapping::Open(std::u16string_view name, OsError* error, bool readOnly) {
  Close();
  const std::wstring wide = win32::ObjectName(name);
  win32::UniqueHandle h(
      OpenFileMappingW(readOnly ? FILE_MAP_READ : 0xF001F /* FILE_MAP_ALL_ACCESS */, FALSE, wide.c_str()));
  if (!h) {
    *error = GetLastError();
    return false;
  }
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

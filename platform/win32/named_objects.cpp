#include "platform/named_objects.h"

#include <windows.h>

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

}  // namespace

struct Event::Impl {
  HANDLE handle = nullptr;
  ~Impl() {
    if (handle != nullptr) CloseHandle(handle);
  }
};

Event::Event() : impl_(std::make_unique<Impl>()) {}
Event::~Event() = default;
Event::Event(Event&&) noexcept = default;
Event& Event::operator=(Event&&) noexcept = default;

bool Event::CreateOrOpen(std::u16string_view name, bool manualReset, bool initiallySignalled, bool* alreadyExisted,
                         OsError* error) {
  Close();
  const std::wstring wide = win32::ObjectName(name);
  HANDLE h = CreateEventW(nullptr, manualReset, initiallySignalled, wide.c_str());
  if (h == nullptr) {
    *error = GetLastError();
    return false;
  }
  if (alreadyExisted != nullptr) *alreadyExisted = GetLastError() == ERROR_ALREADY_EXISTS;
  impl_->handle = h;
  return true;
}

bool Event::Open(std::u16string_view name, OsError* error) {
  Close();
  const std::wstring wide = win32::ObjectName(name);
  HANDLE h = OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, wide.c_str());
  if (h == nullptr) {
    *error = GetLastError();
    return false;
  }
  impl_->handle = h;
  return true;
}

bool Event::valid() const { return impl_ && impl_->handle != nullptr; }
bool Event::Set() {
  if (!valid()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return SetEvent(impl_->handle) != 0;
}

bool Event::Reset() {
  if (!valid()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return ResetEvent(impl_->handle) != 0;
}

void Event::Close() {
  if (!impl_) impl_ = std::make_unique<Impl>();
  if (impl_->handle != nullptr) CloseHandle(impl_->handle);
  impl_->handle = nullptr;
}

WaitResult Wait(Event& event, uint32_t timeoutMs, OsError* error) {
  if (!event.valid()) {
    *error = ERROR_INVALID_HANDLE;
    return WaitResult::kFailed;
  }
  return FromWaitCode(WaitForSingleObject(event.impl_->handle, timeoutMs), WAIT_OBJECT_0, error);
}

WaitResult WaitAll(Event& a, Event& b, uint32_t timeoutMs, OsError* error) {
  if (!a.valid() || !b.valid()) {
    *error = ERROR_INVALID_HANDLE;
    return WaitResult::kFailed;
  }
  HANDLE handles[2] = {a.impl_->handle, b.impl_->handle};
  const DWORD r = WaitForMultipleObjects(2, handles, TRUE, timeoutMs);
  // With bWaitAll any value in [WAIT_OBJECT_0, WAIT_OBJECT_0 + 1] means both were taken.
  if (r == WAIT_OBJECT_0 + 1) return WaitResult::kSignalled;
  return FromWaitCode(r, WAIT_OBJECT_0, error);
}

struct Mapping::Impl {
  HANDLE handle = nullptr;
  uint8_t* view = nullptr;
  size_t size = 0;
  ~Impl() {
    if (view != nullptr) UnmapViewOfFile(view);
    if (handle != nullptr) CloseHandle(handle);
  }
};

Mapping::Mapping() : impl_(std::make_unique<Impl>()) {}
Mapping::~Mapping() = default;
Mapping::Mapping(Mapping&&) noexcept = default;
Mapping& Mapping::operator=(Mapping&&) noexcept = default;

bool Mapping::Create(std::u16string_view name, size_t size, bool* alreadyExisted, OsError* error) {
  Close();
  const std::wstring wide = win32::ObjectName(name);
  const uint64_t size64 = size;
  HANDLE h = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, static_cast<DWORD>(size64 >> 32),
                                static_cast<DWORD>(size64), wide.c_str());
  if (h == nullptr) {
    *error = GetLastError();
    return false;
  }
  if (alreadyExisted != nullptr) *alreadyExisted = GetLastError() == ERROR_ALREADY_EXISTS;
  impl_->handle = h;
  return true;
}

bool Mapping::Open(std::u16string_view name, OsError* error) {
  Close();
  const std::wstring wide = win32::ObjectName(name);
  HANDLE h = OpenFileMappingW(0xF001F /* FILE_MAP_ALL_ACCESS */, FALSE, wide.c_str());
  if (h == nullptr) {
    *error = GetLastError();
    return false;
  }
  impl_->handle = h;
  return true;
}

bool Mapping::Map(OsError* error) {
  if (!impl_ || impl_->handle == nullptr) {
    *error = ERROR_INVALID_HANDLE;
    return false;
  }
  if (impl_->view != nullptr) return true;
  void* view = MapViewOfFile(impl_->handle, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  if (view == nullptr) {
    *error = GetLastError();
    return false;
  }
  // The view's readable extent: the section size rounded up to whole pages.
  MEMORY_BASIC_INFORMATION info = {};
  if (VirtualQuery(view, &info, sizeof(info)) == 0) {
    *error = GetLastError();
    UnmapViewOfFile(view);
    return false;
  }
  impl_->view = static_cast<uint8_t*>(view);
  impl_->size = info.RegionSize;
  return true;
}

uint8_t* Mapping::data() const { return impl_ ? impl_->view : nullptr; }
size_t Mapping::size() const { return (impl_ && impl_->view != nullptr) ? impl_->size : 0; }

void Mapping::Unmap() {
  if (impl_ && impl_->view != nullptr) {
    UnmapViewOfFile(impl_->view);
    impl_->view = nullptr;
    impl_->size = 0;
  }
}

void Mapping::Close() {
  if (!impl_) impl_ = std::make_unique<Impl>();
  Unmap();
  if (impl_->handle != nullptr) CloseHandle(impl_->handle);
  impl_->handle = nullptr;
}

void DiscardTestNamespace() {}

}  // namespace quillet::platform

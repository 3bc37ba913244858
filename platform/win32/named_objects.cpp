#include "platform/named_objects.h"

#include <windows.h>

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
  win32::UniqueHandle h(CreateEventW(nullptr, manualReset, initiallySignalled, wide.c_str()));
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
  win32::UniqueHandle h(OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, wide.c_str()));
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
  win32::UniqueHandle h(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
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

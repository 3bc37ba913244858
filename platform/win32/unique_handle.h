// The one owner of a Win32 kernel handle: closed on destruction, movable, never copied. Both null and
// INVALID_HANDLE_VALUE count as no handle, since different calls fail with either.
#pragma once

#include <windows.h>

namespace quillet::platform::win32 {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) noexcept : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  explicit operator bool() const { return valid(); }

  // Gives the handle up without closing it.
  HANDLE Release() noexcept {
    const HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  // Closes the handle held (failures ignored) and takes `handle`.
  void Reset(HANDLE handle = nullptr) noexcept {
    if (valid()) CloseHandle(handle_);
    handle_ = handle;
  }
  // Closes now and tells whether the OS reported a failure (GetLastError set).
  bool Close() noexcept {
    const bool had = valid();
    const HANDLE handle = Release();
    return !had || CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace quillet::platform::win32

#include "platform/file.h"

#include <windows.h>

#include "common/file_names.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace quillet::platform {

namespace {

void SetError(OsError* error, DWORD value) {
  if (error != nullptr) *error = static_cast<OsError>(value);
}

// Large transfers go in pieces: ReadFile and WriteFile take 32-bit counts.
constexpr size_t kMaxPiece = 1u << 30;

}  // namespace

struct File::Impl {
  win32::UniqueHandle handle;
};

namespace {

// No sharing: while we hold a file nobody else can change or delete it under us.
std::unique_ptr<File::Impl> OpenHandle(const std::u16string& path, DWORD access, DWORD disposition, OsError* error) {
  const std::wstring name = win32::ToWide(path);
  win32::UniqueHandle h(CreateFileW(name.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) {
    SetError(error, GetLastError());
    return nullptr;
  }
  auto impl = std::make_unique<File::Impl>();
  impl->handle = std::move(h);
  return impl;
}

}  // namespace

File::File() = default;
File::~File() { Close(); }
File::File(File&&) noexcept = default;
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    impl_ = std::move(other.impl_);
  }
  return *this;
}

bool File::OpenRead(const std::u16string& path, OsError* error) {
  Close();
  impl_ = OpenHandle(path, GENERIC_READ, OPEN_EXISTING, error);
  return impl_ != nullptr;
}

bool File::OpenReadNoWait(const std::u16string& path, OsError* error) { return OpenRead(path, error); }

bool File::IsRegular() const { return valid() && GetFileType(impl_->handle.get()) == FILE_TYPE_DISK; }

bool File::Create(const std::u16string& path, OsError* error, bool) {
  Close();
  impl_ = OpenHandle(path, GENERIC_WRITE, CREATE_ALWAYS, error);
  return impl_ != nullptr;
}

bool File::Flush(OsError* error) {
  if (!valid() || !FlushFileBuffers(impl_->handle.get())) {
    SetError(error, valid() ? GetLastError() : ERROR_INVALID_HANDLE);
    return false;
  }
  return true;
}

bool File::valid() const { return impl_ != nullptr && impl_->handle.valid(); }

bool File::Read(void* buffer, size_t size, size_t* done, OsError* error) {
  *done = 0;
  if (!valid()) {
    SetError(error, ERROR_INVALID_HANDLE);
    return false;
  }
  auto* p = static_cast<uint8_t*>(buffer);
  while (*done < size) {
    const size_t piece = size - *done < kMaxPiece ? size - *done : kMaxPiece;
    DWORD n = 0;
    if (!ReadFile(impl_->handle.get(), p + *done, static_cast<DWORD>(piece), &n, nullptr)) {
      SetError(error, GetLastError());
      return false;
    }
    if (n == 0) break;
    *done += n;
  }
  return true;
}

bool File::Write(const void* buffer, size_t size, size_t* done, OsError* error) {
  *done = 0;
  if (!valid()) {
    SetError(error, ERROR_INVALID_HANDLE);
    return false;
  }
  const auto* p = static_cast<const uint8_t*>(buffer);
  while (*done < size) {
    const size_t piece = size - *done < kMaxPiece ? size - *done : kMaxPiece;
    DWORD n = 0;
    if (!WriteFile(impl_->handle.get(), p + *done, static_cast<DWORD>(piece), &n, nullptr)) {
      SetError(error, GetLastError());
      return false;
    }
    if (n == 0) {
      SetError(error, ERROR_DISK_FULL);
      return false;
    }
    *done += n;
  }
  return true;
}

bool File::Size(uint64_t* size, OsError* error) const {
  if (!valid()) {
    SetError(error, ERROR_INVALID_HANDLE);
    return false;
  }
  LARGE_INTEGER value;
  if (!GetFileSizeEx(impl_->handle.get(), &value)) {
    SetError(error, GetLastError());
    return false;
  }
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

bool File::Close(OsError* error) {
  if (!valid()) return true;
  win32::UniqueHandle h = std::move(impl_->handle);
  impl_.reset();
  if (!h.Close()) {
    SetError(error, GetLastError());
    return false;
  }
  return true;
}

FileMapping::Status FileMapping::Map(const File& file, OsError* error) {
  Unmap();
  if (!file.valid()) {
    SetError(error, ERROR_INVALID_HANDLE);
    return Status::kCreateFailed;
  }
  uint64_t size = 0;
  if (!file.Size(&size, error)) return Status::kCreateFailed;
  if (size > SIZE_MAX) {
    SetError(error, ERROR_NOT_ENOUGH_MEMORY);
    return Status::kCreateFailed;
  }
  // An empty file cannot be mapped: CreateFileMappingW fails with ERROR_FILE_INVALID. The mapping
  // object is needed only to make the view, which keeps it alive.
  const win32::UniqueHandle mapping(
      CreateFileMappingW(file.impl_->handle.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) {
    SetError(error, GetLastError());
    return Status::kCreateFailed;
  }
  void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
  if (view == nullptr) {
    SetError(error, GetLastError());
    return Status::kViewFailed;
  }
  view_ = MappedView(view, static_cast<size_t>(size));
  return Status::kMapped;
}

bool IsNetworkPath(const std::u16string& path) {
  if (NamesShare(path)) return true;
  // A drive letter: ask what the drive is. "\\?\X:" and "\\.\X:" name the drive after the prefix.
  std::u16string_view rest(path);
  if (rest.size() >= 4 && (rest[2] == u'?' || rest[2] == u'.')) rest.remove_prefix(4);
  if (rest.size() < 2 || rest[1] != u':') return false;
  const wchar_t root[] = {static_cast<wchar_t>(rest[0]), L':', L'\\', L'\0'};
  return GetDriveTypeW(root) == DRIVE_REMOTE;
}

bool FileExists(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(win32::ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool RemoveFile(const std::u16string& path, OsError* error) {
  if (!DeleteFileW(win32::ToWide(path).c_str())) {
    SetError(error, GetLastError());
    return false;
  }
  return true;
}

bool RenameFile(const std::u16string& from, const std::u16string& to, OsError* error) {
  if (!MoveFileExW(win32::ToWide(from).c_str(), win32::ToWide(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    SetError(error, GetLastError());
    return false;
  }
  return true;
}

}  // namespace quillet::platform

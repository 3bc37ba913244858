#include "platform/user_data.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace quillet::platform {

namespace {

using win32::FromWide;
using win32::ToWide;

using win32::UniqueHandle;

void SetError(OsError* error) {
  if (error != nullptr) *error = GetLastError();
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

std::u16string EnvironmentValue(std::u16string_view name) {
  const std::wstring n = ToWide(name);
  DWORD size = GetEnvironmentVariableW(n.c_str(), nullptr, 0);
  if (size == 0) return std::u16string();
  std::wstring value(size, L'\0');
  const DWORD got = GetEnvironmentVariableW(n.c_str(), value.data(), size);
  if (got == 0 || got >= size) return std::u16string();
  value.resize(got);
  return FromWide(value);
}

bool SetEnvironmentValue(std::u16string_view name, std::u16string_view value) {
  const std::wstring n = ToWide(name);
  if (value.empty()) return SetEnvironmentVariableW(n.c_str(), nullptr) != 0;
  return SetEnvironmentVariableW(n.c_str(), ToWide(value).c_str()) != 0;
}

std::u16string UserConfigFolder() {
  std::u16string dir = EnvironmentValue(u"QUILLET_CONFIG_DIR");
  if (!dir.empty()) return dir;
  dir = EnvironmentValue(u"APPDATA");
  if (dir.empty()) return std::u16string();
  if (dir.back() != u'\\' && dir.back() != u'/') dir += u'\\';
  return dir + u"Quillet";
}

bool CreateFolders(const std::u16string& path, OsError* error) {
  const std::wstring p = ToWide(path);
  if (p.empty()) {
    if (error != nullptr) *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i != p.size() && p[i] != L'\\' && p[i] != L'/') continue;
    const std::wstring part = p.substr(0, i);
    if (part.size() == 2 && part[1] == L':') continue;  // a drive
    if (Exists(part)) continue;
    if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      SetError(error);
      return false;
    }
  }
  const DWORD attributes = GetFileAttributesW(p.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    if (error != nullptr) *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  return true;
}

ReadStatus ReadWholeFile(const std::u16string& path, size_t maxSize, std::vector<uint8_t>* bytes, OsError* error) {
  bytes->clear();
  // Sharing delete lets a generator replace the file by renaming over it while we read the old one.
  const UniqueHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD e = GetLastError();
    if (error != nullptr) *error = e;
    return (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? ReadStatus::kNotFound : ReadStatus::kFailed;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) {
    SetError(error);
    return ReadStatus::kFailed;
  }
  if (static_cast<uint64_t>(size.QuadPart) > maxSize) return ReadStatus::kTooLarge;
  bytes->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes->size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1u << 24));
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes->data() + done, chunk, &got, nullptr) || got == 0) {
      if (error != nullptr) *error = got == 0 ? ERROR_HANDLE_EOF : GetLastError();
      bytes->clear();
      return ReadStatus::kFailed;
    }
    done += got;
  }
  return ReadStatus::kRead;
}

bool MoveAside(const std::u16string& path, std::u16string_view suffix, std::u16string* newPath, OsError* error) {
  const std::wstring from = ToWide(path);
  const std::wstring base = from + ToWide(suffix);
  for (int i = 0; i < 1000; ++i) {
    const std::wstring to = i == 0 ? base : base + L"." + std::to_wstring(i);
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
      if (newPath != nullptr) *newPath = FromWide(to);
      return true;
    }
    const DWORD e = GetLastError();
    if (e != ERROR_ALREADY_EXISTS && e != ERROR_FILE_EXISTS) {
      if (error != nullptr) *error = e;
      return false;
    }
  }
  if (error != nullptr) *error = ERROR_FILE_EXISTS;
  return false;
}

}  // namespace quillet::platform

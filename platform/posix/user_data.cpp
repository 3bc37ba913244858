#include "platform/user_data.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/utf16.h"
#include "platform/posix/unique_fd.h"

namespace quillet::platform {

namespace {

using posix::UniqueFd;

std::string Narrow(const std::u16string& path) { return ToUtf8(path); }

void SetError(OsError* error) {
  if (error != nullptr) *error = static_cast<OsError>(errno);
}

}  // namespace

std::u16string EnvironmentValue(std::u16string_view name) {
  const char* value = std::getenv(ToUtf8(name).c_str());
  return value == nullptr ? std::u16string() : FromUtf8(value);
}

bool SetEnvironmentValue(std::u16string_view name, std::u16string_view value) {
  const std::string n = ToUtf8(name);
  if (value.empty()) return unsetenv(n.c_str()) == 0;
  return setenv(n.c_str(), ToUtf8(value).c_str(), 1) == 0;
}

std::u16string UserConfigFolder() {
  std::u16string dir = EnvironmentValue(u"QUILLET_CONFIG_DIR");
  if (!dir.empty()) return dir;
  dir = EnvironmentValue(u"XDG_CONFIG_HOME");
  if (!dir.empty() && dir.front() == u'/') return dir + u"/quillet";
  dir = EnvironmentValue(u"HOME");
  if (!dir.empty()) return dir + u"/.config/quillet";
  return std::u16string();
}

bool CreateFolders(const std::u16string& path, OsError* error) {
  const std::string p = Narrow(path);
  if (p.empty()) {
    if (error != nullptr) *error = ENOENT;
    return false;
  }
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i != p.size() && p[i] != '/') continue;
    const std::string part = p.substr(0, i);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      SetError(error);
      return false;
    }
  }
  struct stat st {};
  if (stat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    if (error != nullptr) *error = ENOTDIR;
    return false;
  }
  return true;
}

ReadStatus ReadWholeFile(const std::u16string& path, size_t maxSize, std::vector<uint8_t>* bytes, OsError* error) {
  bytes->clear();
  const UniqueFd fd(open(Narrow(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    SetError(error);
    return errno == ENOENT ? ReadStatus::kNotFound : ReadStatus::kFailed;
  }
  struct stat st {};
  if (fstat(fd.get(), &st) != 0) {
    SetError(error);
    return ReadStatus::kFailed;
  }
  if (!S_ISREG(st.st_mode)) {
    if (error != nullptr) *error = EISDIR;
    return ReadStatus::kFailed;
  }
  if (static_cast<uint64_t>(st.st_size) > maxSize) return ReadStatus::kTooLarge;
  bytes->resize(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < bytes->size()) {
    const ssize_t n = read(fd.get(), bytes->data() + done, bytes->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A file that shrank under us is as unreadable as one that failed.
      if (n == 0) errno = EIO;
      SetError(error);
      bytes->clear();
      return ReadStatus::kFailed;
    }
    done += static_cast<size_t>(n);
  }
  return ReadStatus::kRead;
}

bool MoveAside(const std::u16string& path, std::u16string_view suffix, std::u16string* newPath, OsError* error) {
  const std::string from = Narrow(path);
  const std::string base = from + ToUtf8(suffix);
  for (int i = 0; i < 1000; ++i) {
    const std::string to = i == 0 ? base : base + "." + std::to_string(i);
    // link() fails when the name exists, so no earlier copy is ever replaced.
    if (link(from.c_str(), to.c_str()) == 0) {
      if (unlink(from.c_str()) != 0) {
        SetError(error);
        unlink(to.c_str());
        return false;
      }
      if (newPath != nullptr) *newPath = FromUtf8(to);
      return true;
    }
    if (errno == EPERM || errno == ENOTSUP || errno == EXDEV) {
      // A file system without hard links: check, then rename (only our own loader writes here).
      if (access(to.c_str(), F_OK) == 0) continue;
      if (rename(from.c_str(), to.c_str()) != 0) {
        SetError(error);
        return false;
      }
      if (newPath != nullptr) *newPath = FromUtf8(to);
      return true;
    }
    if (errno != EEXIST) {
      SetError(error);
      return false;
    }
  }
  if (error != nullptr) *error = EEXIST;
  return false;
}

}  // namespace quillet::platform

#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/file_names.h"
#include "common/utf16.h"
#include "platform/posix/unique_fd.h"

namespace quillet::platform {

namespace {

using posix::UniqueFd;

void SetError(OsError* error, int value) {
  if (error != nullptr) *error = static_cast<OsError>(value);
}

// Opens and takes the exclusive lock that stands in for share mode 0; none with errno on failure.
UniqueFd OpenLocked(const std::u16string& path, int flags, mode_t mode = 0644) {
  const std::string name = ToUtf8(path);
  UniqueFd fd;
  do {
    fd.Reset(::open(name.c_str(), flags | O_CLOEXEC, mode));
  } while (!fd && errno == EINTR);
  if (!fd) return fd;
  struct stat st;
  int e = 0;
  if (::fstat(fd.get(), &st) != 0) {
    e = errno;
  } else if (S_ISDIR(st.st_mode)) {
    e = EISDIR;
  } else if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    e = errno == EWOULDBLOCK ? EBUSY : errno;
  }
  if (e != 0) {
    fd.Reset();
    errno = e;
  }
  return fd;
}

}  // namespace

struct File::Impl {
  UniqueFd fd;
};

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
  UniqueFd fd = OpenLocked(path, O_RDONLY);
  if (!fd) {
    SetError(error, errno);
    return false;
  }
  impl_ = std::make_unique<Impl>();
  impl_->fd = std::move(fd);
  return true;
}

bool File::OpenReadNoWait(const std::u16string& path, OsError* error) {
  Close();
  // O_NONBLOCK only matters to opening a FIFO; reads of an ordinary file never wait on it.
  UniqueFd fd = OpenLocked(path, O_RDONLY | O_NONBLOCK);
  if (!fd) {
    SetError(error, errno);
    return false;
  }
  impl_ = std::make_unique<Impl>();
  impl_->fd = std::move(fd);
  return true;
}

bool File::IsRegular() const {
  struct stat st;
  return valid() && ::fstat(impl_->fd.get(), &st) == 0 && S_ISREG(st.st_mode);
}

bool File::Create(const std::u16string& path, OsError* error, bool ownerOnly) {
  Close();
  // Truncate only once the lock is ours: a file that another of our opens holds must survive.
  UniqueFd fd = OpenLocked(path, O_WRONLY | O_CREAT, ownerOnly ? 0600 : 0644);
  if (!fd) {
    SetError(error, errno);
    return false;
  }
  if (::ftruncate(fd.get(), 0) != 0) {
    SetError(error, errno);
    return false;
  }
  impl_ = std::make_unique<Impl>();
  impl_->fd = std::move(fd);
  return true;
}

bool File::valid() const { return impl_ != nullptr && impl_->fd.valid(); }

bool File::Read(void* buffer, size_t size, size_t* done, OsError* error) {
  *done = 0;
  if (!valid()) {
    SetError(error, EBADF);
    return false;
  }
  auto* p = static_cast<uint8_t*>(buffer);
  while (*done < size) {
    const ssize_t n = ::read(impl_->fd.get(), p + *done, size - *done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetError(error, errno);
      return false;
    }
    if (n == 0) break;
    *done += static_cast<size_t>(n);
  }
  return true;
}

bool File::Write(const void* buffer, size_t size, size_t* done, OsError* error) {
  *done = 0;
  if (!valid()) {
    SetError(error, EBADF);
    return false;
  }
  const auto* p = static_cast<const uint8_t*>(buffer);
  while (*done < size) {
    const ssize_t n = ::write(impl_->fd.get(), p + *done, size - *done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetError(error, errno);
      return false;
    }
    if (n == 0) {
      SetError(error, ENOSPC);
      return false;
    }
    *done += static_cast<size_t>(n);
  }
  return true;
}

bool File::Size(uint64_t* size, OsError* error) const {
  if (!valid()) {
    SetError(error, EBADF);
    return false;
  }
  struct stat st;
  if (::fstat(impl_->fd.get(), &st) != 0) {
    SetError(error, errno);
    return false;
  }
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool File::Flush(OsError* error) {
  if (!valid() || ::fsync(impl_->fd.get()) != 0) {
    SetError(error, valid() ? errno : EBADF);
    return false;
  }
  return true;
}

bool File::Close(OsError* error) {
  if (!valid()) return true;
  UniqueFd fd = std::move(impl_->fd);
  impl_.reset();
  // The lock goes with the descriptor.
  if (!fd.Close()) {
    SetError(error, errno);
    return false;
  }
  return true;
}

FileMapping::Status FileMapping::Map(const File& file, OsError* error) {
  Unmap();
  uint64_t size = 0;
  if (!file.Size(&size, error)) return Status::kCreateFailed;
  // Windows refuses to map an empty file; keep that so that both builds give the same result.
  if (size == 0) {
    SetError(error, EINVAL);
    return Status::kCreateFailed;
  }
  if (size > SIZE_MAX) {
    SetError(error, EFBIG);
    return Status::kCreateFailed;
  }
  // Populated at once: the whole file is read anyway, and one fault per page costs more.
  void* p = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED | MAP_POPULATE, file.impl_->fd.get(), 0);
  if (p == MAP_FAILED) {
    SetError(error, errno);
    return Status::kViewFailed;
  }
  view_ = MappedView(p, static_cast<size_t>(size));
  return Status::kMapped;
}

bool IsNetworkPath(const std::u16string& path) { return NamesShare(path); }

bool FileExists(const std::u16string& path) {
  struct stat st;
  return ::stat(ToUtf8(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool RemoveFile(const std::u16string& path, OsError* error) {
  if (::unlink(ToUtf8(path).c_str()) != 0) {
    SetError(error, errno);
    return false;
  }
  return true;
}

bool RenameFile(const std::u16string& from, const std::u16string& to, OsError* error) {
  const std::string target = ToUtf8(to);
  if (::rename(ToUtf8(from).c_str(), target.c_str()) != 0) {
    SetError(error, errno);
    return false;
  }
  // The rename itself is made durable by flushing the folder that holds the entry.
  const size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir) ::fsync(dir.get());
  return true;
}

}  // namespace quillet::platform

// The one owner of a POSIX descriptor: closed on destruction, movable, never copied.
#pragma once

#include <unistd.h>

#include <cerrno>

namespace quillet::platform::posix {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }

  // Gives the descriptor up without closing it.
  int Release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes the descriptor held (failures ignored) and takes `fd`.
  void Reset(int fd = -1) noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now and tells whether the OS reported a failure (errno set), such as a write lost on
  // close. EINTR still closes the descriptor on Linux, so it is no failure.
  bool Close() noexcept {
    const int fd = Release();
    return fd < 0 || ::close(fd) == 0 || errno == EINTR;
  }

 private:
  int fd_ = -1;
};

// A pipe as two owned ends; false with errno set when none could be made.
struct Pipe {
  UniqueFd read;
  UniqueFd write;
};
bool MakePipe(Pipe* pipe, int flags);

}  // namespace quillet::platform::posix

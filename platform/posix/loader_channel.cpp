// The loader channel on POSIX: a Unix stream socket in the abstract namespace, named per user, so it
// vanishes with the process that serves it. One connection carries one request
// {u32 message, u32 0, u64 wParam, u64 lParam} and one reply {u64 value}, all little-endian.
// Both sides check that the peer runs as the same user: abstract sockets have no file permissions.
#include "platform/loader_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>

#include "common/le.h"
#include "platform/posix/scope.h"
#include "platform/posix/unique_fd.h"
#include "platform/process.h"

namespace quillet::platform {

namespace {

using posix::UniqueFd;

constexpr size_t kRequestSize = 24;
constexpr size_t kReplySize = 8;
// A client that connects and then stalls must not keep the loader from serving others.
constexpr int kServerReadTimeoutMs = 1000;

socklen_t ChannelAddress(sockaddr_un* addr) {
  std::memset(addr, 0, sizeof(*addr));
  addr->sun_family = AF_UNIX;
  const std::string name = "quillet-loader-" + posix::UserScope();
  // Abstract namespace: leading NUL, no terminator, length given explicitly.
  const size_t n = std::min(name.size(), sizeof(addr->sun_path) - 1);
  std::memcpy(addr->sun_path + 1, name.data(), n);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

void StoreU64(uint8_t* p, uint64_t v) {
  StoreU32(p, static_cast<uint32_t>(v));
  StoreU32(p + 4, static_cast<uint32_t>(v >> 32));
}

uint64_t LoadU64(const uint8_t* p) { return LoadU32(p) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32); }

bool PeerIsSameUser(int fd) {
  ucred cred{};
  socklen_t len = sizeof(cred);
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return false;
  return cred.uid == geteuid();
}

// Reads exactly n bytes before the deadline. 0 on success, else an errno value (ETIMEDOUT, ECONNRESET).
int ReadFully(int fd, uint8_t* buffer, size_t n, std::chrono::steady_clock::time_point deadline) {
  size_t got = 0;
  while (got < n) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return ETIMEDOUT;
    pollfd p{fd, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 1 << 30)));
    if (r < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (r == 0) return ETIMEDOUT;
    const ssize_t k = recv(fd, buffer + got, n - got, 0);
    if (k < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return errno;
    }
    if (k == 0) return ECONNRESET;
    got += static_cast<size_t>(k);
  }
  return 0;
}

}  // namespace

SendStatus SendLoaderMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, uint32_t timeoutMs, intptr_t* reply,
                             OsError* error) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) {
    *error = static_cast<OsError>(errno);
    return SendStatus::kFailed;
  }
  // A blocking connect to a Unix socket waits for room in a full backlog no longer than this.
  timeval tv{static_cast<time_t>(timeoutMs / 1000), static_cast<suseconds_t>((timeoutMs % 1000) * 1000)};
  setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
  sockaddr_un addr;
  const socklen_t len = ChannelAddress(&addr);
  while (connect(fd.get(), reinterpret_cast<sockaddr*>(&addr), len) != 0) {
    const int e = errno;
    if (e == EINTR) continue;
    if (e == ECONNREFUSED || e == ENOENT) return SendStatus::kNotFound;
    if (e == EAGAIN || e == EINPROGRESS || e == ETIMEDOUT) {
      *error = static_cast<OsError>(ETIMEDOUT);
      return SendStatus::kTimedOut;
    }
    *error = static_cast<OsError>(e);
    return SendStatus::kFailed;
  }
  if (!PeerIsSameUser(fd.get())) {
    *error = static_cast<OsError>(EACCES);
    return SendStatus::kFailed;
  }
  uint8_t request[kRequestSize] = {};
  StoreU32(request, message);
  StoreU64(request + 8, static_cast<uint64_t>(wParam));
  StoreU64(request + 16, static_cast<uint64_t>(static_cast<int64_t>(lParam)));
  size_t sent = 0;
  while (sent < kRequestSize) {
    const ssize_t k = send(fd.get(), request + sent, kRequestSize - sent, MSG_NOSIGNAL);
    if (k < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      *error = static_cast<OsError>(e);
      return (e == EAGAIN) ? SendStatus::kTimedOut : SendStatus::kFailed;
    }
    sent += static_cast<size_t>(k);
  }
  uint8_t answer[kReplySize];
  const int e = ReadFully(fd.get(), answer, kReplySize, deadline);
  if (e == ETIMEDOUT) {
    *error = static_cast<OsError>(e);
    return SendStatus::kTimedOut;
  }
  if (e != 0) {
    *error = static_cast<OsError>(e);
    return SendStatus::kFailed;
  }
  *reply = static_cast<intptr_t>(static_cast<int64_t>(LoadU64(answer)));
  return SendStatus::kReplied;
}

struct LoaderChannel::Impl {
  Handler handler;
  UniqueFd listener;
  posix::Pipe wake;  // Quit() writes a byte to end Run()'s wait
  std::atomic<bool> quit{false};

  void Serve(int client) {
    if (!PeerIsSameUser(client)) return;
    uint8_t request[kRequestSize];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kServerReadTimeoutMs);
    if (ReadFully(client, request, kRequestSize, deadline) != 0) return;
    const uint32_t message = LoadU32(request);
    const auto wParam = static_cast<uintptr_t>(LoadU64(request + 8));
    const auto lParam = static_cast<intptr_t>(static_cast<int64_t>(LoadU64(request + 16)));
    const intptr_t result = handler ? handler(message, wParam, lParam) : 0;
    uint8_t answer[kReplySize];
    StoreU64(answer, static_cast<uint64_t>(static_cast<int64_t>(result)));
    // The sender may have given up; its closed socket must not kill us with SIGPIPE.
    (void)send(client, answer, kReplySize, MSG_NOSIGNAL | MSG_DONTWAIT);
  }
};

LoaderChannel::LoaderChannel() : impl_(std::make_unique<Impl>()) {}

LoaderChannel::~LoaderChannel() = default;

bool LoaderChannel::Create(Handler handler, OsError* error) {
  if (impl_->listener) return true;
  if (!posix::MakePipe(&impl_->wake, O_CLOEXEC | O_NONBLOCK)) {
    *error = static_cast<OsError>(errno);
    return false;
  }
  UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) {
    *error = static_cast<OsError>(errno);
    return false;
  }
  sockaddr_un addr;
  const socklen_t len = ChannelAddress(&addr);
  // EADDRINUSE means another loader of this user serves the channel already.
  if (bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(fd.get(), 64) != 0) {
    *error = static_cast<OsError>(errno);
    return false;
  }
  impl_->handler = std::move(handler);
  impl_->listener = std::move(fd);
  return true;
}

int LoaderChannel::Run() {
  if (!impl_->listener) return 1;
  SignalReady();
  while (!impl_->quit.load()) {
    pollfd fds[2] = {{impl_->listener.get(), POLLIN, 0}, {impl_->wake.read.get(), POLLIN, 0}};
    const int r = poll(fds, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      return 1;
    }
    if (fds[1].revents != 0) {
      char drain[16];
      while (read(impl_->wake.read.get(), drain, sizeof(drain)) > 0) {
      }
      continue;
    }
    if ((fds[0].revents & POLLIN) != 0) {
      const UniqueFd client(accept4(impl_->listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
      if (client) impl_->Serve(client.get());
    }
  }
  return 0;
}

void LoaderChannel::Quit() {
  // Only async-signal-safe calls: this may run in a signal handler.
  impl_->quit.store(true);
  if (impl_->wake.write) {
    const char c = 1;
    (void)!write(impl_->wake.write.get(), &c, 1);
  }
}

}  // namespace quillet::platform

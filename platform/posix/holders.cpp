#include "platform/posix/holders.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/unique_fd.h"

namespace quillet::platform::posix {

bool ReadProcess(pid_t pid, uint64_t* startTime, bool* zombie) {
  char path[64];
  std::snprintf(path, sizeof(path), "/proc/%d/stat", static_cast<int>(pid));
  const UniqueFd f(open(path, O_RDONLY | O_CLOEXEC));
  if (!f) {
    if (errno == ENOENT) return false;
    // No /proc to ask: fall back to the existence test alone.
    *startTime = 0;
    *zombie = false;
    return kill(pid, 0) == 0 || errno == EPERM;
  }
  char buffer[1024];
  size_t n = 0;
  while (n < sizeof(buffer) - 1) {
    const ssize_t k = read(f.get(), buffer + n, sizeof(buffer) - 1 - n);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) break;
    n += static_cast<size_t>(k);
  }
  buffer[n] = '\0';
  // The command name may hold anything, so fields are counted after its closing parenthesis.
  const char* p = std::strrchr(buffer, ')');
  *startTime = 0;
  *zombie = false;
  if (p == nullptr || p[1] == '\0') return true;
  p += 2;  // now at field 3, the state
  *zombie = (*p == 'Z' || *p == 'X' || *p == 'x');
  for (int field = 3; field < 22 && *p != '\0'; ++p) {
    if (*p == ' ') ++field;
  }
  *startTime = std::strtoull(p, nullptr, 10);
  return true;
}

namespace {

int32_t SelfPid() { return static_cast<int32_t>(getpid()); }

uint64_t SelfStartTime() {
  static const uint64_t value = [] {
    uint64_t start = 0;
    bool zombie = false;
    ReadProcess(getpid(), &start, &zombie);
    return start;
  }();
  return value;
}

}  // namespace

Holder SelfHolder() { return Holder{SelfPid(), 1, SelfStartTime()}; }

bool HolderAlive(const Holder& h) {
  if (h.pid == SelfPid()) return h.startTime == SelfStartTime();
  uint64_t start = 0;
  bool zombie = false;
  if (!ReadProcess(h.pid, &start, &zombie)) return false;
  if (zombie) return false;
  return h.startTime == 0 || start == 0 || start == h.startTime;
}

bool AddHolder(Entry& e) {
  const Holder self = SelfHolder();
  for (Holder& h : e.holders) {
    if (h.pid == self.pid && h.startTime == self.startTime) {
      ++h.count;
      return true;
    }
  }
  for (Holder& h : e.holders) {
    if (h.pid == 0) {
      h = self;
      return true;
    }
  }
  return false;
}

void RemoveHolder(Table* t, Entry& e) {
  const Holder self = SelfHolder();
  for (Holder& h : e.holders) {
    if (h.pid == self.pid && h.startTime == self.startTime) {
      if (--h.count == 0) h = Holder{};
      break;
    }
  }
  ReapEntry(t, e);
}

bool ReapEntry(Table* t, Entry& e) {
  if (e.kind == kFree) return false;
  bool any = false;
  for (Holder& h : e.holders) {
    if (h.pid == 0) continue;
    if (h.count == 0 || !HolderAlive(h)) {
      h = Holder{};
    } else {
      any = true;
    }
  }
  if (!any) FreeEntry(t, e);
  return any;
}

}  // namespace quillet::platform::posix

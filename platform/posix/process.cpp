// Processes on POSIX. Readiness: the starter makes a pipe and passes its write end to the child,
// named by QUILLET_READY_FD; SignalReady() writes one byte and closes it. The child's exit closes the
// pipe too, so a child that dies before it is ready ends the wait at once (as a failure).
// Started programs run in their own session with standard streams on /dev/null: they may outlive the
// starter (the loader does) and must not hold its terminal or its output pipes open.
#include "platform/process.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/utf16.h"
#include "platform/posix/unique_fd.h"

extern char** environ;

namespace quillet::platform {

namespace {

constexpr char kReadyVariable[] = "QUILLET_READY_FD";

int ElapsedMsLeft(std::chrono::steady_clock::time_point deadline, uint32_t timeoutMs) {
  if (timeoutMs == kInfinite) return -1;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return 0;
  return static_cast<int>(std::min<int64_t>(left.count(), INT_MAX));
}

std::vector<std::string> SplitAtBlanks(const std::string& text) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

// What the child needs, prepared before fork: only async-signal-safe calls may follow it. Filled in
// place, as argv and envp point into the strings.
struct ChildImage {
  std::vector<std::string> args;
  std::vector<std::string> env;
  std::vector<char*> argv;
  std::vector<char*> envp;
};

void PrepareChild(const std::u16string& path, const std::u16string& commandLine, int readyFd, ChildImage* c) {
  c->args = SplitAtBlanks(ToUtf8(commandLine));
  c->args.insert(c->args.begin(), ToUtf8(path));
  const std::string prefix = std::string(kReadyVariable) + "=";
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    if (std::strncmp(*e, prefix.c_str(), prefix.size()) != 0) c->env.emplace_back(*e);
  }
  c->env.push_back(prefix + std::to_string(readyFd));
  for (auto& a : c->args) c->argv.push_back(a.data());
  c->argv.push_back(nullptr);
  for (auto& e : c->env) c->envp.push_back(e.data());
  c->envp.push_back(nullptr);
}

// In the child: a session of its own, the standard streams on /dev/null, and no descriptor but the
// ready pipe's end across exec. A failed exec sends its errno through `failureFd`.
[[noreturn]] void ExecChild(const ChildImage& c, int devNull, int readyFd, int failureFd) {
  setsid();
  if (devNull >= 0) {
    dup2(devNull, 0);
    dup2(devNull, 1);
    dup2(devNull, 2);
  }
#ifdef SYS_close_range
  syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */);
#endif
  fcntl(readyFd, F_SETFD, 0);
  execve(c.argv[0], c.argv.data(), c.envp.data());
  const int e = errno;
  (void)!write(failureFd, &e, sizeof(e));
  _exit(127);
}

// In the starter, once it holds only the read end: the child's exec errno, or 0 when the pipe closed
// without one (exec succeeded).
int ExecError(const posix::UniqueFd& failure) {
  int execError = 0;
  ssize_t n;
  do {
    n = read(failure.get(), &execError, sizeof(execError));
  } while (n < 0 && errno == EINTR);
  return n == static_cast<ssize_t>(sizeof(execError)) ? execError : 0;
}

}  // namespace

struct Process::Impl {
  pid_t pid = -1;
  posix::UniqueFd readyFd;
  bool ready = false;
  bool reaped = false;
  int exitCode = 0;

  ~Impl() {
    // Reap a child that has already ended; one still running goes on without us.
    if (pid > 0 && !reaped) {
      int status;
      waitpid(pid, &status, WNOHANG);
    }
  }

  bool Reap(int options) {
    if (reaped) return true;
    int status = 0;
    pid_t r;
    do {
      r = waitpid(pid, &status, options);
    } while (r < 0 && errno == EINTR);
    if (r != pid) return false;
    reaped = true;
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return true;
  }
};

Process::Process() : impl_(std::make_unique<Impl>()) {}
Process::~Process() = default;
Process::Process(Process&&) noexcept = default;
Process& Process::operator=(Process&&) noexcept = default;

bool Process::valid() const { return impl_ && impl_->pid > 0; }

bool Process::Start(const std::u16string& path, const std::u16string& commandLine, OsError* error) {
  if (!impl_) impl_ = std::make_unique<Impl>();
  if (impl_->pid > 0) {
    *error = static_cast<OsError>(EBUSY);
    return false;
  }
  posix::Pipe ready;
  posix::Pipe failure;
  if (!posix::MakePipe(&ready, O_CLOEXEC) || !posix::MakePipe(&failure, O_CLOEXEC)) {
    *error = static_cast<OsError>(errno);
    return false;
  }
  const posix::UniqueFd devNull(open("/dev/null", O_RDWR | O_CLOEXEC));
  ChildImage child;
  PrepareChild(path, commandLine, ready.write.get(), &child);

  const pid_t pid = fork();
  if (pid < 0) {
    *error = static_cast<OsError>(errno);
    return false;
  }
  if (pid == 0) ExecChild(child, devNull.get(), ready.write.get(), failure.write.get());
  // The write ends are the child's now: their closing is how its exec and its readiness are seen.
  ready.write.Reset();
  failure.write.Reset();
  impl_->pid = pid;
  if (const int execError = ExecError(failure.read); execError != 0) {
    impl_->Reap(0);
    impl_ = std::make_unique<Impl>();
    *error = static_cast<OsError>(execError);
    return false;
  }
  impl_->readyFd = std::move(ready.read);
  return true;
}

WaitResult Process::WaitUntilReady(uint32_t timeoutMs, OsError* error) {
  if (!valid()) {
    *error = static_cast<OsError>(EINVAL);
    return WaitResult::kFailed;
  }
  if (impl_->ready) return WaitResult::kSignalled;
  if (!impl_->readyFd) {
    *error = static_cast<OsError>(ECHILD);
    return WaitResult::kFailed;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd p{impl_->readyFd.get(), POLLIN, 0};
    const int r = poll(&p, 1, ElapsedMsLeft(deadline, timeoutMs));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      *error = static_cast<OsError>(errno);
      return WaitResult::kFailed;
    }
    if (r == 0) {
      *error = static_cast<OsError>(ETIMEDOUT);
      return WaitResult::kTimedOut;
    }
    char c;
    const ssize_t k = read(impl_->readyFd.get(), &c, 1);
    if (k < 0 && errno == EINTR) continue;
    impl_->readyFd.Reset();
    if (k == 1) {
      impl_->ready = true;
      return WaitResult::kSignalled;
    }
    // The pipe closed without a word: the child ended (or dropped the pipe) before it was ready.
    *error = static_cast<OsError>(ECHILD);
    return WaitResult::kFailed;
  }
}

bool Process::WaitForExit(uint32_t timeoutMs, int* exitCode) {
  if (!valid()) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    if (impl_->Reap(WNOHANG)) {
      if (exitCode != nullptr) *exitCode = impl_->exitCode;
      return true;
    }
    if (timeoutMs != kInfinite && ElapsedMsLeft(deadline, timeoutMs) == 0) return false;
    std::this_thread::sleep_for(pause);
    if (pause < std::chrono::milliseconds(10)) pause *= 2;
  }
}

void Process::Kill() {
  if (valid() && !impl_->reaped) kill(impl_->pid, SIGKILL);
}

void SignalReady() {
  static std::mutex guard;
  std::lock_guard<std::mutex> lock(guard);
  const char* value = std::getenv(kReadyVariable);
  if (value == nullptr) return;
  char* end = nullptr;
  const long fd = std::strtol(value, &end, 10);
  unsetenv(kReadyVariable);
  if (end == value || *end != '\0' || fd < 3 || fd > INT_MAX) return;
  if (fcntl(static_cast<int>(fd), F_GETFD) < 0) return;
  const posix::UniqueFd ready(static_cast<int>(fd));
  const char c = 1;
  (void)!write(ready.get(), &c, 1);
}

namespace {

struct Lookup {
  uintptr_t address;
  bool found;
  bool isMain;
  std::string name;
};

int FindObject(dl_phdr_info* info, size_t, void* data) {
  auto* lookup = static_cast<Lookup*>(data);
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    const uintptr_t begin = info->dlpi_addr + ph.p_vaddr;
    if (lookup->address >= begin && lookup->address < begin + ph.p_memsz) {
      lookup->found = true;
      lookup->name = info->dlpi_name != nullptr ? info->dlpi_name : "";
      lookup->isMain = lookup->name.empty();
      return 1;
    }
  }
  return 0;
}

}  // namespace

uint32_t CurrentProcessId() { return static_cast<uint32_t>(::getpid()); }

std::u16string ModulePath() {
  Lookup lookup{reinterpret_cast<uintptr_t>(&ModulePath), false, false, {}};
  dl_iterate_phdr(&FindObject, &lookup);
  // The main program has no name in the loader's list; the kernel knows its path.
  const std::string source = (!lookup.found || lookup.isMain) ? std::string("/proc/self/exe") : lookup.name;
  char* resolved = realpath(source.c_str(), nullptr);
  if (resolved == nullptr) return std::u16string();
  std::u16string path = FromUtf8(resolved);
  free(resolved);
  return path;
}

std::u16string ModuleFolder() {
  const std::u16string path = ModulePath();
  const size_t slash = path.rfind(u'/');
  if (slash == std::u16string::npos) return std::u16string();
  return slash == 0 ? std::u16string(u"/") : path.substr(0, slash);
}

std::u16string JoinPath(const std::u16string& folder, const std::u16string& name) {
  if (folder.empty()) return name;
  if (folder.back() == u'/') return folder + name;
  return folder + u'/' + name;
}

}  // namespace quillet::platform

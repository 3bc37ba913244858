#include "ipc/loader_link.h"

#include <chrono>
#include <thread>

#include "platform/loader_channel.h"
#include "platform/named_objects.h"
#include "platform/process.h"

#ifndef QUILLET_EXE_SUFFIX
#define QUILLET_EXE_SUFFIX ""
#endif

namespace quillet {

const char16_t* const kLoaderFileName = u"lexwarden" QUILLET_EXE_SUFFIX;

namespace {

// The loader's path is built in a buffer of 260 characters.
constexpr size_t kMaxPath = 260;

// `findWithinMs` > 0: a window not found yet is looked for again until then. A freshly started loader
// may count as idle a moment before its window exists (Wine reports idle while a process still starts).
Result Send(uint32_t message, uintptr_t wParam, intptr_t lParam, platform::OsError* error, uint32_t findWithinMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(findWithinMs);
  platform::OsError err = 0;
  intptr_t reply = 0;
  platform::SendStatus status;
  for (;;) {
    status = platform::SendLoaderMessage(message, wParam, lParam, kLoaderMessageTimeoutMs, &reply, &err);
    if (status != platform::SendStatus::kNotFound || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (error != nullptr) *error = err;
  switch (status) {
    case platform::SendStatus::kReplied:
      // The loader answers with result codes of its own, carried as they are.
      return static_cast<Result>(static_cast<int32_t>(reply));
    case platform::SendStatus::kTimedOut:
      return Result::kLoaderNoAnswer;
    case platform::SendStatus::kNotFound:
    case platform::SendStatus::kFailed:
      break;
  }
  return Result::kGeneralFailure;
}

// The start lock while it is ours: once created it is set again and closed on every way out, also
// after a failed wait (nothing was taken then, but a stuck token is released as the protocol does).
class StartLock {
 public:
  StartLock() = default;
  ~StartLock() {
    if (event_.valid()) event_.Set();
  }
  StartLock(const StartLock&) = delete;
  StartLock& operator=(const StartLock&) = delete;

  bool Create(platform::OsError* error) {
    bool existed = false;
    return event_.CreateOrOpen(kLoaderStartLockName, /*manualReset=*/false, /*initiallySignalled=*/true, &existed,
                               error);
  }
  bool Take(platform::OsError* error) {
    return platform::Wait(event_, kLoaderStartLockTimeoutMs, error) == platform::WaitResult::kSignalled;
  }

 private:
  platform::Event event_;
};

}  // namespace

// The presence mark exists while a loader runs. Opening it here when it does not makes a new one,
// dropped again at once: the started loader makes its own.
bool LoaderRuns() {
  platform::Event presence;
  bool running = false;
  platform::OsError ignored = 0;
  return presence.CreateOrOpen(kLoaderPresenceName, false, true, &running, &ignored) && running;
}

namespace {

// The steps under the start lock: find that a loader runs, or start one and wait until it is ready.
// *started tells whether a handshake is due.
Result StartUnderLock(const std::u16string* explicitPath, std::u16string_view commandLine, bool* started,
                      platform::OsError& err) {
  StartLock lock;
  if (!lock.Create(&err)) return Result::kEventFailed;
  if (!lock.Take(&err)) return Result::kWaitFailed;
  if (LoaderRuns()) return Result::kSuccess;

  std::u16string loaderPath;
  if (explicitPath != nullptr) {
    loaderPath = *explicitPath;
  } else {
    const std::u16string folder = platform::ModuleFolder();
    if (folder.empty()) err = platform::LastError();
    if (!folder.empty()) loaderPath = platform::JoinPath(folder, kLoaderFileName);
  }
  if (loaderPath.empty() || loaderPath.size() >= kMaxPath) return Result::kLoaderPathFailed;
  const std::u16string line(commandLine.substr(0, kLoaderCommandLineMax));

  // Declared after the lock: the process handle is closed before the lock is given back. The loader
  // keeps running.
  platform::Process loader;
  if (!loader.Start(loaderPath, line, &err)) return Result::kLoaderStartFailed;
  if (loader.WaitUntilReady(kLoaderIdleTimeoutMs, &err) != platform::WaitResult::kSignalled) {
    return Result::kLoaderNotIdle;
  }
  *started = true;
  return Result::kSuccess;
}

// `explicitPath` null: the loader next to this module, its path built only when it is needed.
Result Ensure(const std::u16string* explicitPath, platform::OsError* error, std::u16string_view commandLine) {
  platform::OsError scratch = 0;
  platform::OsError& err = error != nullptr ? *error : scratch;
  err = 0;
  // The common case takes no lock: whoever holds the start lock cannot make this wait.
  if (LoaderRuns()) return Result::kSuccess;
  bool started = false;
  const Result r = StartUnderLock(explicitPath, commandLine, &started, err);
  if (r != Result::kSuccess || !started) return r;
  // The start lock is not held across the handshake.
  return Send(kLoaderHandshakeMessage, 0, 0, &err, kLoaderIdleTimeoutMs);
}

}  // namespace

Result SendToLoader(uint32_t message, uintptr_t wParam, intptr_t lParam, platform::OsError* error) {
  return Send(message, wParam, lParam, error, 0);
}

Result SendToLoader(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return SendToLoader(message, wParam, lParam, nullptr);
}

Result AwaitLoader(uint32_t withinMs, platform::OsError* error) {
  return Send(kLoaderHandshakeMessage, 0, 0, error, withinMs);
}

Result EnsureLoaderAt(const std::u16string& loaderPath, platform::OsError* error, std::u16string_view commandLine) {
  return Ensure(&loaderPath, error, commandLine);
}

Result EnsureLoader(platform::OsError* error, std::u16string_view commandLine) {
  return Ensure(nullptr, error, commandLine);
}

Result LoaderStarts::Ensure(std::u16string_view commandLine, platform::OsError* error) {
  if (LoaderRuns()) return Result::kSuccess;
  const auto now = std::chrono::steady_clock::now();
  if (now < quietUntil_) return failure_;
  const Result r =
      loaderPath_.empty() ? EnsureLoader(error, commandLine) : EnsureLoaderAt(loaderPath_, error, commandLine);
  if (r != Result::kSuccess) {
    failure_ = r;
    quietUntil_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLoaderRetryQuietMs);
  }
  return r;
}

}  // namespace quillet

#include "quillsvc/service/loader_link.h"

#include <chrono>
#include <thread>

#include "common/result.h"
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

int32_t Code(Result r) { return ToInt(r); }

// Gives the start lock back and closes it.
void ReleaseStartLock(platform::Event& lock) {
  lock.Set();
  lock.Close();
}

}  // namespace

namespace {

// `findWithinMs` > 0: a window not found yet is looked for again until then. A freshly started loader
// may count as idle a moment before its window exists (Wine reports idle while a process still starts).
int32_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam, platform::OsError* error, uint32_t findWithinMs) {
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
      return static_cast<int32_t>(reply);
    case platform::SendStatus::kTimedOut:
      return Code(Result::kLoaderNoAnswer);
    case platform::SendStatus::kNotFound:
    case platform::SendStatus::kFailed:
      break;
  }
  return Code(Result::kGeneralFailure);
}

}  // namespace

int32_t SendToLoader(uint32_t message, uintptr_t wParam, intptr_t lParam, platform::OsError* error) {
  return Send(message, wParam, lParam, error, 0);
}

int32_t SendToLoader(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return SendToLoader(message, wParam, lParam, nullptr);
}

namespace {

// `explicitPath` null: the loader next to this module, its path built only when it is needed.
int32_t Ensure(const std::u16string* explicitPath, platform::OsError* error, std::u16string_view commandLine) {
  platform::OsError scratch = 0;
  platform::OsError& err = error != nullptr ? *error : scratch;
  err = 0;

  platform::Event startLock;
  bool existed = false;
  if (!startLock.CreateOrOpen(kLoaderStartLockName, /*manualReset=*/false, /*initiallySignalled=*/true, &existed,
                              &err)) {
    return Code(Result::kEventFailed);
  }
  if (platform::Wait(startLock, kLoaderStartLockTimeoutMs, &err) != platform::WaitResult::kSignalled) {
    // Nothing was taken, but the lock is set anyway as the protocol does: a stuck token is released.
    ReleaseStartLock(startLock);
    return Code(Result::kWaitFailed);
  }

  {
    platform::Event presence;
    bool running = false;
    platform::OsError ignored = 0;
    if (presence.CreateOrOpen(kLoaderPresenceName, false, true, &running, &ignored) && running) {
      presence.Close();
      ReleaseStartLock(startLock);
      return Code(Result::kSuccess);
    }
    // A new mark (no loader runs) or none at all: close it and start the loader, which makes its own.
  }

  std::u16string loaderPath;
  if (explicitPath != nullptr) {
    loaderPath = *explicitPath;
  } else {
    const std::u16string folder = platform::ModuleFolder();
    if (folder.empty()) err = platform::LastError();
    if (!folder.empty()) loaderPath = platform::JoinPath(folder, kLoaderFileName);
  }
  if (loaderPath.empty() || loaderPath.size() >= kMaxPath) {
    ReleaseStartLock(startLock);
    return Code(Result::kLoaderPathFailed);
  }
  const std::u16string line(commandLine.substr(0, kLoaderCommandLineMax));

  int32_t result = Code(Result::kSuccess);
  {
    platform::Process loader;
    if (!loader.Start(loaderPath, line, &err)) {
      ReleaseStartLock(startLock);
      return Code(Result::kLoaderStartFailed);
    }
    if (loader.WaitUntilReady(kLoaderIdleTimeoutMs, &err) != platform::WaitResult::kSignalled) {
      result = Code(Result::kLoaderNotIdle);
    }
  }  // the process handle is closed; the loader keeps running
  ReleaseStartLock(startLock);
  if (result != Code(Result::kSuccess)) return result;
  return Send(kLoaderHandshakeMessage, 0, 0, &err, kLoaderIdleTimeoutMs);
}

}  // namespace

int32_t EnsureLoaderAt(const std::u16string& loaderPath, platform::OsError* error, std::u16string_view commandLine) {
  return Ensure(&loaderPath, error, commandLine);
}

int32_t EnsureLoader(platform::OsError* error, std::u16string_view commandLine) {
  return Ensure(nullptr, error, commandLine);
}

}  // namespace quillet

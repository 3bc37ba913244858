// The link to the loader, used by the text service, the settings sheet and the generator: make sure
// exactly one loader runs in the session (starting it from the module's folder when it does not) and
// send it messages.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "common/result.h"
#include "ipc/protocol.h"
#include "platform/error.h"

namespace quillet {

// The loader's file name next to this module ("lexwarden" natively).
extern const char16_t* const kLoaderFileName;

// Whether a loader runs now (its presence mark exists); waits for nothing.
bool LoaderRuns();

// Makes sure the loader runs. Result::kSuccess when it already ran (no lock is taken and no message
// is sent) or when it was started and answered the handshake with success. Otherwise kEventFailed (no start lock),
// kWaitFailed (the start lock was not had in time), kLoaderPathFailed, kLoaderStartFailed,
// kLoaderNotIdle, and after a start what the handshake gave: kGeneralFailure (no loader window, or
// sending failed), kLoaderNoAnswer, or the loader's own nonzero answer. *error receives the OS error
// of a failing step (0 otherwise). `commandLine` (kFromService, kFromSetting) is cut to
// kLoaderCommandLineMax characters.
Result EnsureLoader(platform::OsError* error, std::u16string_view commandLine);

// The same with an explicit loader program; for tests and tools that run the loader from elsewhere.
Result EnsureLoaderAt(const std::u16string& loaderPath, platform::OsError* error, std::u16string_view commandLine);

// Asks a running loader for its status (the handshake), looking for its window for up to `withinMs`:
// a loader started a moment ago by someone else holds its presence mark while it publishes, before
// its window exists. For tools that use what the loader publishes right after EnsureLoader. Results as
// SendToLoader's.
Result AwaitLoader(uint32_t withinMs, platform::OsError* error);

// One party's starts of the loader (a text service's). After a start that failed, none is tried for
// kLoaderRetryQuietMs and the failure is given at once instead: a focus change waits for a loader that
// cannot start (or for a start lock that another process keeps) once, not again and again.
class LoaderStarts {
 public:
  // Empty: the loader next to this module.
  explicit LoaderStarts(std::u16string loaderPath = {}) : loaderPath_(std::move(loaderPath)) {}
  Result Ensure(std::u16string_view commandLine, platform::OsError* error);

 private:
  std::u16string loaderPath_;
  std::chrono::steady_clock::time_point quietUntil_{};
  Result failure_ = Result::kSuccess;
};

// Sends one message to the loader's window and waits up to kLoaderMessageTimeoutMs. Returns the
// loader's reply (its result codes; the reply to a reload is not used), kGeneralFailure when there is
// no loader window or sending failed with an OS error, kLoaderNoAnswer when no answer came in time.
Result SendToLoader(uint32_t message, uintptr_t wParam, intptr_t lParam);
Result SendToLoader(uint32_t message, uintptr_t wParam, intptr_t lParam, platform::OsError* error);

}  // namespace quillet

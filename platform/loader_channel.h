// The loader's message channel. On Windows it is the message-only window of class "DAEMON" with the
// title "Daemon@QX@TARN" (found with FindWindowExW(HWND_MESSAGE, ...), reached with
// SendMessageTimeoutW(SMTO_BLOCK)); on POSIX a per-user local socket that carries the same three values
// and the reply.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/error.h"

namespace quillet::platform {

enum class SendStatus {
  kReplied,   // *reply holds the loader's answer
  kNotFound,  // no loader channel exists
  kFailed,    // sending failed with an OS error (*error set)
  kTimedOut,  // no answer within the time-out and no OS error reported
};

SendStatus SendLoaderMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, uint32_t timeoutMs, intptr_t* reply,
                             OsError* error);

// The loader's side. One per process.
class LoaderChannel {
 public:
  using Handler = std::function<intptr_t(uint32_t message, uintptr_t wParam, intptr_t lParam)>;

  LoaderChannel();
  ~LoaderChannel();
  LoaderChannel(const LoaderChannel&) = delete;
  LoaderChannel& operator=(const LoaderChannel&) = delete;

  // Makes the channel visible to senders; messages are handled only inside Run(). The handler must
  // not throw: on Windows it runs inside a window procedure.
  bool Create(Handler handler, OsError* error);
  // Serves messages one at a time on the calling thread until Quit(); signals readiness before its
  // first wait. Returns the exit code for the program.
  int Run();
  // May be called from the handler (or, on POSIX, from a signal handler) to end Run().
  void Quit();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillet::platform

// One loader per user session: the presence mark is held for the whole run. A loader started by hand
// also takes the start lock until its window exists, so that a text service checking the mark at
// that moment does not conclude that a loader without blocks is ready. A loader started by a text
// service or the settings sheet must not: its starter holds that lock while it waits for it.
#pragma once

#include <string_view>

#include "platform/named_objects.h"

namespace quillet::warden {

// How long a loader started by hand waits for a starter that holds the start lock.
constexpr uint32_t kStartLockWaitMs = 10000;

// True for the command lines that the text service and the settings sheet hand over.
bool StartedByLink(std::u16string_view commandLine);

class Presence {
 public:
  Presence() = default;
  ~Presence() { ReleaseStartLock(); }  // a start lock still held is given back on every way out
  Presence(const Presence&) = delete;
  Presence& operator=(const Presence&) = delete;

  // True when this process is now the session's loader; false when another one runs (or the mark
  // cannot be made).
  bool Acquire(bool startedByLink);
  // Gives the start lock back (once the loader's window exists). Harmless when not held.
  void ReleaseStartLock();

 private:
  platform::Event mark_;
  platform::Event startLock_;
  bool holdingStartLock_ = false;
};

}  // namespace quillet::warden

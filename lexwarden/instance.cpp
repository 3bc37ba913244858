#include "lexwarden/instance.h"

#include "ipc/protocol.h"

namespace quillet::warden {

namespace {

bool EndsWith(std::u16string_view text, std::u16string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t' || text.back() == u'"')) text.remove_suffix(1);
  return text;
}

}  // namespace

bool StartedByLink(std::u16string_view commandLine) {
  const std::u16string_view line = Trim(commandLine);
  return EndsWith(line, kFromService) || EndsWith(line, kFromSetting);
}

bool Presence::Acquire(bool startedByLink) {
  platform::OsError error = 0;
  bool existed = false;
  if (!startedByLink && startLock_.CreateOrOpen(kLoaderStartLockName, false, true, &existed, &error)) {
    // Without the lock after the wait the start goes on: the mark below still keeps us single.
    holdingStartLock_ = platform::Wait(startLock_, kStartLockWaitMs, &error) == platform::WaitResult::kSignalled;
  }
  if (!mark_.CreateOrOpen(kLoaderPresenceName, false, true, &existed, &error) || existed) {
    mark_.Close();
    ReleaseStartLock();
    return false;
  }
  return true;
}

void Presence::ReleaseStartLock() {
  if (holdingStartLock_) startLock_.Set();
  holdingStartLock_ = false;
  startLock_.Close();
}

}  // namespace quillet::warden

#include "quillsvc/candwin/owner_thread_calls.h"

#include <algorithm>

namespace quillet {

OwnerThreadCalls::Waiting* OwnerThreadCalls::Find(Cookie cookie) {
  for (auto& [c, waiting] : table_) {
    if (c == cookie) return waiting;
  }
  return nullptr;
}

bool OwnerThreadCalls::Register(Waiting* waiting, Cookie* cookie) {
  MutexLock lock(mutex_);
  if (closed_) return false;
  // Never 0, and never one in use (after the counter wrapped).
  do {
    ++last_;
  } while (last_ == 0 || Find(last_) != nullptr);
  table_.emplace_back(last_, waiting);
  *cookie = last_;
  return true;
}

bool OwnerThreadCalls::Finish(Cookie cookie) {
  MutexLock lock(mutex_);
  Waiting* waiting = Find(cookie);
  // The call and its results live on the caller's stack: it may not return while the owner runs it.
  while (waiting->state == State::kRunning) done_.Wait(mutex_);
  table_.erase(std::find_if(table_.begin(), table_.end(), [&](const auto& entry) { return entry.first == cookie; }));
  return waiting->state == State::kDone;
}

void OwnerThreadCalls::RunDelivered(Cookie cookie) {
  MutexLock lock(mutex_);
  Waiting* waiting = closed_ ? nullptr : Find(cookie);
  if (waiting == nullptr || waiting->state != State::kWaiting) return;
  waiting->state = State::kRunning;
  // Not under the lock: the call may take time, and other threads register meanwhile.
  lock.Unlock();
  waiting->invoke(waiting->call);
  lock.Lock();
  waiting->state = State::kDone;
  done_.NotifyAll();
}

void OwnerThreadCalls::Close() {
  MutexLock lock(mutex_);
  closed_ = true;
}

bool OwnerThreadCalls::Closed() {
  MutexLock lock(mutex_);
  return closed_;
}

}  // namespace quillet

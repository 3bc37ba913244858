// Named events on POSIX: an entry of the object table with a kind and a state. Waiters sleep on the
// table's futex word, which every state change bumps, and check the state again under the table's
// mutex, so a wait for several events takes all of them at once or none.
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <ctime>

#include "platform/named_objects.h"
#include "platform/posix/object_table.h"

namespace quillet::platform {

using posix::Entry;
using posix::kEventKind;
using posix::Ref;
using posix::Table;
using posix::TableLock;

struct Event::Impl {
  Ref ref;
  ~Impl() { posix::Release(ref, kEventKind); }
};

Event::Event() : impl_(std::make_unique<Impl>()) {}
Event::~Event() = default;
Event::Event(Event&&) noexcept = default;
Event& Event::operator=(Event&&) noexcept = default;

bool Event::CreateOrOpen(std::u16string_view name, bool manualReset, bool initiallySignalled, bool* alreadyExisted,
                         OsError* error) {
  Close();
  auto init = [&](Table*, Entry& e, OsError*) {
    e.manualReset = manualReset ? 1 : 0;
    e.signalled = initiallySignalled ? 1 : 0;
    return true;
  };
  return posix::Acquire(name, kEventKind, true, alreadyExisted, &impl_->ref, init, error);
}

bool Event::Open(std::u16string_view name, OsError* error) {
  Close();
  return posix::Acquire(name, kEventKind, false, nullptr, &impl_->ref, nullptr, error);
}

bool Event::valid() const { return impl_ && impl_->ref.table != nullptr; }

namespace {

void WakeAll(Table* t) REQUIRES(t) {
  t->sequence.fetch_add(1);
  if (t->sleepers == 0) return;  // the common case: a lock released with nobody waiting
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&t->sequence), FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

bool SetState(Ref& ref, bool signalled) {
  if (ref.table == nullptr) {
    errno = EBADF;
    return false;
  }
  TableLock lock(ref.table);
  if (!lock.locked()) {
    errno = lock.error();
    return false;
  }
  Entry* e = ref.Resolve(kEventKind);
  if (e == nullptr) {
    errno = EIDRM;
    return false;
  }
  e->signalled = signalled ? 1 : 0;
  if (signalled) WakeAll(ref.table);
  return true;
}

// Waits until every listed event is signalled at once, then takes them all (auto-reset ones reset).
WaitResult WaitFor(Ref* const* refs, size_t count, uint32_t timeoutMs, OsError* error) {
  Table* t = refs[0]->table;
  for (size_t i = 0; i < count; ++i) {
    if (refs[i]->table == nullptr || refs[i]->table != t) {
      *error = static_cast<OsError>(EBADF);
      return WaitResult::kFailed;
    }
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool slept = false;
  for (;;) {
    uint32_t seen;
    timespec ts{};
    timespec* timeout = nullptr;
    {
      TableLock lock(t);
      if (!lock.locked()) {
        *error = static_cast<OsError>(lock.error());
        return WaitResult::kFailed;
      }
      // A waiter that died asleep leaves the count high: that costs wake-ups, never a lost one.
      if (slept && t->sleepers > 0) --t->sleepers;
      slept = false;
      bool all = true;
      for (size_t i = 0; i < count; ++i) {
        Entry* e = refs[i]->Resolve(kEventKind);
        if (e == nullptr) {
          *error = static_cast<OsError>(EIDRM);
          return WaitResult::kFailed;
        }
        if (e->signalled == 0) all = false;
      }
      if (all) {
        for (size_t i = 0; i < count; ++i) {
          Entry* e = refs[i]->Resolve(kEventKind);
          if (e->manualReset == 0) e->signalled = 0;
        }
        return WaitResult::kSignalled;
      }
      if (timeoutMs != kInfinite) {
        const auto left =
            std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
          *error = static_cast<OsError>(ETIMEDOUT);
          return WaitResult::kTimedOut;
        }
        ts.tv_sec = static_cast<time_t>(left / 1000000000);
        ts.tv_nsec = static_cast<long>(left % 1000000000);
        timeout = &ts;
      }
      seen = t->sequence.load();
      ++t->sleepers;
      slept = true;
    }
    // Returns at once when the word moved since we looked; spurious wake-ups just re-check.
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&t->sequence), FUTEX_WAIT, seen, timeout, nullptr, 0);
  }
}

}  // namespace

bool Event::Set() { return impl_ && SetState(impl_->ref, true); }
bool Event::Reset() { return impl_ && SetState(impl_->ref, false); }

void Event::Close() {
  if (!impl_) {
    impl_ = std::make_unique<Impl>();
    return;
  }
  posix::Release(impl_->ref, kEventKind);
}

WaitResult Wait(Event& event, uint32_t timeoutMs, OsError* error) {
  if (!event.valid()) {
    *error = static_cast<OsError>(EBADF);
    return WaitResult::kFailed;
  }
  Ref* refs[1] = {&event.impl_->ref};
  return WaitFor(refs, 1, timeoutMs, error);
}

WaitResult WaitAll(Event& a, Event& b, uint32_t timeoutMs, OsError* error) {
  if (!a.valid() || !b.valid()) {
    *error = static_cast<OsError>(EBADF);
    return WaitResult::kFailed;
  }
  Ref* refs[2] = {&a.impl_->ref, &b.impl_->ref};
  return WaitFor(refs, 2, timeoutMs, error);
}

}  // namespace quillet::platform

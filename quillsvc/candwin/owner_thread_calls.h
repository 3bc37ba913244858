// Calls that other threads make on state that only one thread, its owner, may touch: the candidate
// window's accessibility objects, which screen readers call on threads of their choosing, while the
// window's thread refills the rows and destroys the window.
//
// A call from another thread waits until the owner thread has run it, or is refused (and never runs):
// once the state is closed, or when the owner did not take it in time. How the call reaches the owner
// thread is the caller's business (the window sends itself a message): it hands the owner a cookie, a
// number and never an address, and the owner runs the call the cookie names if one is still waiting.
// A cookie that names none (made up by a stranger, or of a call already answered or given up) does
// nothing; one that a stranger guessed right runs a waiting call on the owner thread, where it was
// going to run anyway.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/mutex.h"

namespace quillet {

class OwnerThreadCalls {
 public:
  using Cookie = uint32_t;  // fits a window message's parameter on every Windows build

  OwnerThreadCalls() = default;
  OwnerThreadCalls(const OwnerThreadCalls&) = delete;
  OwnerThreadCalls& operator=(const OwnerThreadCalls&) = delete;

  // Runs `call()` on the owner thread and says whether it ran. On the owner thread (`onOwner`) it runs
  // at once unless closed. Elsewhere `deliver(cookie)` takes the cookie to the owner thread; it may
  // return before the owner ran the call (it gave up), and the call then never runs, or, when the
  // owner is running it already, is waited for. Neither `call` nor `deliver` may throw.
  template <class Call, class Deliver>
  bool Run(bool onOwner, Call&& call, Deliver&& deliver) {
    using C = std::remove_reference_t<Call>;
    if (onOwner) {
      if (Closed()) return false;
      call();
      return true;
    }
    Waiting waiting{[](void* c) { (*static_cast<C*>(c))(); }, &call};
    Cookie cookie = 0;
    if (!Register(&waiting, &cookie)) return false;
    deliver(cookie);
    return Finish(cookie);
  }

  // The owner thread: runs the waiting call that `cookie` names, if any and while open.
  void RunDelivered(Cookie cookie) EXCLUDES(mutex_);
  // The owner thread, outside any call: nothing runs from now on.
  void Close() EXCLUDES(mutex_);
  bool Closed() EXCLUDES(mutex_);

 private:
  enum class State { kWaiting, kRunning, kDone };
  struct Waiting {
    void (*invoke)(void*);
    void* call;
    State state = State::kWaiting;
  };

  bool Register(Waiting* waiting, Cookie* cookie) EXCLUDES(mutex_);
  // Takes the call off the table once it is not running; whether it ran.
  bool Finish(Cookie cookie) EXCLUDES(mutex_);
  Waiting* Find(Cookie cookie) REQUIRES(mutex_);

  Mutex mutex_;
  CondVar done_;
  bool closed_ GUARDED_BY(mutex_) = false;
  Cookie last_ GUARDED_BY(mutex_) = 0;
  // The waiting calls: few at a time (one per screen-reader thread), on their callers' stacks.
  std::vector<std::pair<Cookie, Waiting*>> table_ GUARDED_BY(mutex_);
};

}  // namespace quillet

#include "quillsvc/candwin/owner_thread_calls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace quillet {
namespace {

using namespace std::chrono_literals;
using Cookie = OwnerThreadCalls::Cookie;

// The owner's message queue, as a window's: Send waits until the owner handled the cookie, or gives up
// after `timeout` and leaves it queued, as SendMessageTimeout does.
class Queue {
 public:
  void Send(Cookie cookie, std::chrono::milliseconds timeout) {
    MutexLock lock(mutex_);
    const uint64_t ticket = ++sent_;
    queue_.push_back({cookie, ticket});
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (handled_ < ticket && changed_.WaitUntil(mutex_, deadline)) {
    }
  }
  // The owner: handles what is queued now.
  template <class Handle>
  void Pump(Handle&& handle) {
    MutexLock lock(mutex_);
    while (!queue_.empty()) {
      const auto [cookie, ticket] = queue_.front();
      queue_.pop_front();
      lock.Unlock();
      handle(cookie);
      lock.Lock();
      handled_ = ticket;
      changed_.NotifyAll();
    }
  }

 private:
  Mutex mutex_;
  CondVar changed_;
  std::deque<std::pair<Cookie, uint64_t>> queue_ GUARDED_BY(mutex_);
  uint64_t sent_ GUARDED_BY(mutex_) = 0;
  uint64_t handled_ GUARDED_BY(mutex_) = 0;
};

// Readers on four threads copy the rows that the owner refills between messages, sometimes too slowly
// for them, while a stranger sends made-up cookies; then the owner closes and frees the rows. Every
// call that ran, ran on the owner thread, saw one whole fill and came before the close (AddressSanitizer
// would see a read of the freed rows).
TEST(OwnerThreadCallsTest, ReadersOnManyThreadsSeeWholeFillsOnTheOwnerThreadAndNothingAfterTheClose) {
  OwnerThreadCalls calls;
  Queue queue;
  std::thread::id owner;
  std::atomic<bool> closed{false}, stop{false};
  std::atomic<int> ran{0}, refused{0}, torn{0}, elsewhere{0}, late{0};
  auto rows = std::make_unique<std::vector<std::u16string>>();

  std::thread owning([&] {
    owner = std::this_thread::get_id();
    auto handle = [&](Cookie cookie) { calls.RunDelivered(cookie); };
    // Enough fills for a hundred calls to get through, however slow the machine is today.
    for (int fill = 0; fill < 300 || (ran < 100 && fill < 30000); ++fill) {
      queue.Pump(handle);
      rows->clear();
      for (char16_t c = u'a'; c < u'a' + 10; ++c)
        rows->push_back(std::u16string(40, c) + std::u16string(1, u'A' + fill % 26));
      // Now and then busier than the readers wait.
      std::this_thread::sleep_for(fill % 50 == 0 ? 30ms : 200us);
    }
    queue.Pump(handle);
    calls.Close();
    closed = true;
    rows.reset();
    while (!stop) {
      queue.Pump(handle);
      std::this_thread::sleep_for(1ms);
    }
  });
  while (owner == std::thread::id()) std::this_thread::yield();

  auto read = [&] {
    while (!stop) {
      std::vector<std::u16string> copy;
      const bool done = calls.Run(
          false,
          [&] {
            if (std::this_thread::get_id() != owner) ++elsewhere;
            if (closed) ++late;
            copy = *rows;
          },
          [&](Cookie cookie) { queue.Send(cookie, 10ms); });
      ++(done ? ran : refused);
      for (const std::u16string& row : copy) {
        if (row.back() != copy.front().back()) ++torn;
      }
    }
  };
  std::vector<std::thread> readers;
  for (int i = 0; i < 4; ++i) readers.emplace_back(read);
  std::thread stranger([&] {
    for (Cookie cookie = 0; !stop; cookie += 7) queue.Send(cookie, 0ms);
  });

  while (!closed) std::this_thread::sleep_for(5ms);
  std::this_thread::sleep_for(50ms);
  stop = true;
  for (std::thread& t : readers) t.join();
  stranger.join();
  owning.join();
  EXPECT_GT(ran.load(), 100);
  EXPECT_GT(refused.load(), 0) << "a reader gave up on a busy owner, or was refused after the close";
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(elsewhere.load(), 0);
  EXPECT_EQ(late.load(), 0);
}

// A caller that gives up while the owner runs its call still waits for it: the call writes into the
// caller's stack.
TEST(OwnerThreadCallsTest, ACallTheOwnerIsRunningIsWaitedForThoughItsCallerGaveUp) {
  OwnerThreadCalls calls;
  Mutex mutex;
  CondVar changed;
  Cookie delivered = 0;
  bool started = false;
  std::thread owning([&] {
    MutexLock lock(mutex);
    while (delivered == 0) changed.Wait(mutex);
    lock.Unlock();
    calls.RunDelivered(delivered);
  });
  std::string answer;
  const bool done = calls.Run(
      false,
      [&] {
        {
          MutexLock lock(mutex);
          started = true;
          changed.NotifyAll();
        }
        std::this_thread::sleep_for(50ms);
        answer = "finished";
      },
      [&](Cookie cookie) {
        // Hands the cookie over and gives up as soon as the owner started the call.
        MutexLock lock(mutex);
        delivered = cookie;
        changed.NotifyAll();
        while (!started) changed.Wait(mutex);
      });
  EXPECT_TRUE(done);
  EXPECT_EQ(answer, "finished");
  owning.join();
}

// A call given up before the owner took it never runs, however late its cookie arrives; a made-up
// cookie runs nothing; once closed nothing runs, waiting, new, on the owner thread or from elsewhere.
TEST(OwnerThreadCallsTest, GivenUpOrClosedCallsNeverRunAndStrangeCookiesDoNothing) {
  OwnerThreadCalls calls;
  int runs = 0;
  Cookie late = 0;
  EXPECT_FALSE(calls.Run(
      false, [&] { ++runs; }, [&](Cookie cookie) { late = cookie; }));
  calls.RunDelivered(late);
  calls.RunDelivered(0);
  calls.RunDelivered(0xFFFFFFFF);
  EXPECT_TRUE(calls.Run(
      true, [&] { ++runs; }, [](Cookie) { ADD_FAILURE() << "the owner calls directly"; }));
  EXPECT_EQ(runs, 1);

  // The owner closes while a call waits; its cookie arrives after.
  EXPECT_FALSE(calls.Run(
      false, [&] { ++runs; },
      [&](Cookie cookie) {
        calls.Close();
        calls.RunDelivered(cookie);
      }));
  bool delivered = false;
  EXPECT_FALSE(calls.Run(
      false, [&] { ++runs; }, [&](Cookie) { delivered = true; }));
  EXPECT_FALSE(calls.Run(
      true, [&] { ++runs; }, [](Cookie) {}));
  EXPECT_FALSE(delivered);
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace quillet

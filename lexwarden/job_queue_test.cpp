#include "lexwarden/job_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "common/mutex.h"

namespace quillet::warden {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kLong(20000);  // a budget no batch here needs

JobSet Jobs(std::initializer_list<size_t> jobs) {
  JobSet set;
  for (size_t j : jobs) set.set(j);
  return set;
}

// Records every batch; a batch can be held at its start until the test lets it go.
class Recorder {
 public:
  void Run(JobSet jobs) EXCLUDES(mutex_) {
    MutexLock lock(mutex_);
    batches_.push_back(jobs);
    threads_.push_back(std::this_thread::get_id());
    changed_.NotifyAll();
    while (held_) changed_.Wait(mutex_);
  }
  void Hold(bool held) EXCLUDES(mutex_) {
    MutexLock lock(mutex_);
    held_ = held;
    changed_.NotifyAll();
  }
  // Waits until `count` batches have started.
  bool WaitForBatches(size_t count) EXCLUDES(mutex_) {
    const auto deadline = std::chrono::steady_clock::now() + kLong;
    MutexLock lock(mutex_);
    while (batches_.size() < count) {
      if (!changed_.WaitUntil(mutex_, deadline)) return false;
    }
    return true;
  }
  std::vector<JobSet> batches() EXCLUDES(mutex_) {
    MutexLock lock(mutex_);
    return batches_;
  }
  std::vector<std::thread::id> threads() EXCLUDES(mutex_) {
    MutexLock lock(mutex_);
    return threads_;
  }

 private:
  Mutex mutex_;
  CondVar changed_;
  std::vector<JobSet> batches_ GUARDED_BY(mutex_);
  std::vector<std::thread::id> threads_ GUARDED_BY(mutex_);
  bool held_ GUARDED_BY(mutex_) = false;
};

class JobQueueTest : public ::testing::Test {
 protected:
  Recorder recorder_;
  JobQueue queue_{[this](JobSet jobs, JobSet*) { recorder_.Run(jobs); }, [] {}, milliseconds(5)};
};

TEST_F(JobQueueTest, APostRunsItsJobsOnTheWorkerAndWaitsForThem) {
  EXPECT_FALSE(queue_.Post(Jobs({0}), kLong)) << "not started: nothing is queued";
  queue_.Start();
  EXPECT_TRUE(queue_.Post(Jobs({0, 2}), kLong));
  ASSERT_EQ(recorder_.batches(), std::vector<JobSet>{Jobs({0, 2})});
  EXPECT_NE(recorder_.threads()[0], std::this_thread::get_id());
}

TEST_F(JobQueueTest, JobsAskedForWhileABatchRunsAreMergedIntoTheNextOne) {
  queue_.Start();
  recorder_.Hold(true);
  std::thread first([this] { EXPECT_TRUE(queue_.Post(Jobs({0}), kLong)); });
  ASSERT_TRUE(recorder_.WaitForBatches(1));
  // The batch is held: short budgets run out, and their jobs stay queued.
  EXPECT_FALSE(queue_.Post(Jobs({1}), milliseconds(20)));
  EXPECT_FALSE(queue_.Post(Jobs({2}), milliseconds(20)));
  recorder_.Hold(false);
  first.join();
  ASSERT_TRUE(recorder_.WaitForBatches(2));
  EXPECT_EQ(recorder_.batches(), (std::vector<JobSet>{Jobs({0}), Jobs({1, 2})}));
}

TEST_F(JobQueueTest, StopReleasesAWaitingPostAndLaterPostsQueueNothing) {
  queue_.Start();
  recorder_.Hold(true);
  std::thread waiting([this] { EXPECT_FALSE(queue_.Post(Jobs({0}), kLong)) << "released by Stop"; });
  ASSERT_TRUE(recorder_.WaitForBatches(1));
  std::thread stopping([this] { queue_.Stop(); });
  waiting.join();  // before the batch ends
  recorder_.Hold(false);
  stopping.join();
  EXPECT_FALSE(queue_.Post(Jobs({1}), kLong));
  queue_.Stop();
  EXPECT_EQ(recorder_.batches().size(), 1u);
}

}  // namespace
}  // namespace quillet::warden

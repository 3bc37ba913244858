// The loader's worker thread and the jobs that messages ask of it. A message is answered quickly
// whatever the work costs (a reload may read large files, a block lock may be held by a slow reader):
// its jobs are queued, and the sender waits for them no longer than a reply budget. Jobs asked for
// while a batch runs are merged and run in the next one; a job that could not be done now is tried
// again after the retry interval, or sooner with the jobs of the next message.
#pragma once

#include <bitset>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include "common/mutex.h"

namespace quillet::warden {

// Jobs are small numbers that the queue's user gives them.
using JobSet = std::bitset<8>;

class JobQueue {
 public:
  // Does one batch on the worker thread and sets in *retry the jobs to try again later.
  using Runner = std::function<void(JobSet jobs, JobSet* retry)>;
  // Told when a batch threw (an allocation failure, say); must not throw itself. The batch's jobs are
  // not tried again, as they would fail the same way; what it set in *retry before it threw is.
  using FailureHandler = std::function<void()>;

  JobQueue(Runner run, FailureHandler failed, std::chrono::milliseconds retryInterval);
  ~JobQueue() { Stop(); }
  JobQueue(const JobQueue&) = delete;
  JobQueue& operator=(const JobQueue&) = delete;

  // Starts the worker thread (once; not after Stop).
  void Start() EXCLUDES(mutex_);
  // Queues `jobs` and waits until a batch that includes them has ended, at most `budget`. False when
  // the budget ran out first, and at once, with nothing queued, when the queue is not running.
  bool Post(JobSet jobs, std::chrono::milliseconds budget) EXCLUDES(mutex_);
  // Lets the batch that runs end, drops what is still queued and ends the worker; a Post that waits
  // returns. Idempotent.
  void Stop() EXCLUDES(mutex_);

 private:
  void WorkerLoop() EXCLUDES(mutex_);

  const Runner run_;
  const FailureHandler failed_;
  const std::chrono::milliseconds retryInterval_;

  Mutex mutex_;
  CondVar wake_;  // jobs for the worker, or stop
  CondVar done_;  // a batch ended, or stop
  JobSet pending_ GUARDED_BY(mutex_);
  bool running_ GUARDED_BY(mutex_) = false;
  bool stopping_ GUARDED_BY(mutex_) = false;
  uint64_t requested_ GUARDED_BY(mutex_) = 0;  // Posts so far
  uint64_t completed_ GUARDED_BY(mutex_) = 0;  // Posts whose jobs a finished batch included
  std::thread worker_;                         // started and joined by the owner's thread
};

}  // namespace quillet::warden

#include "lexwarden/job_queue.h"

#include <utility>

#include "common/boundary.h"

namespace quillet::warden {

using Clock = std::chrono::steady_clock;

JobQueue::JobQueue(Runner run, FailureHandler failed, std::chrono::milliseconds retryInterval)
    : run_(std::move(run)), failed_(std::move(failed)), retryInterval_(retryInterval) {}

void JobQueue::Start() {
  MutexLock lock(mutex_);
  if (running_ || stopping_) return;
  worker_ = std::thread([this] { WorkerLoop(); });
  running_ = true;
}

bool JobQueue::Post(JobSet jobs, std::chrono::milliseconds budget) {
  const Clock::time_point deadline = Clock::now() + budget;
  MutexLock lock(mutex_);
  if (!running_ || stopping_) return false;
  pending_ |= jobs;
  const uint64_t ticket = ++requested_;
  wake_.NotifyAll();
  while (completed_ < ticket && !stopping_ && done_.WaitUntil(mutex_, deadline)) {
  }
  return completed_ >= ticket;
}

void JobQueue::Stop() {
  {
    MutexLock lock(mutex_);
    stopping_ = true;
    wake_.NotifyAll();
    done_.NotifyAll();
  }
  if (worker_.joinable()) worker_.join();
}

void JobQueue::WorkerLoop() {
  JobSet retry;
  Clock::time_point retryAt;
  MutexLock lock(mutex_);
  while (!stopping_) {
    if (pending_.none()) {
      if (retry.none()) {
        wake_.Wait(mutex_);
        continue;
      }
      // Woken before the retry is due: look again (new jobs take the retries along).
      if (wake_.WaitUntil(mutex_, retryAt) || stopping_) continue;
    }
    const JobSet jobs = pending_ | retry;
    pending_.reset();
    const uint64_t batch = requested_;
    lock.Unlock();
    JobSet again;
    // The worker thread's boundary: a batch that throws leaves what it had done and is reported.
    if (!AtBoundary([&] { run_(jobs, &again); })) failed_();
    lock.Lock();
    retry = again;
    retryAt = Clock::now() + retryInterval_;
    completed_ = batch;
    done_.NotifyAll();
  }
}

}  // namespace quillet::warden

// The loader's portable core: the publication board, the kept settings record, options and program
// rules, the
// dictionary publisher, the learning keeper and the job queue put together, answering the two messages
// of the text services, the settings sheet and the generator.
//
// The learned store is taken care of by the worker every kRetryIntervalMs: what text services
// reported since is learned, kept and published.
//
// Threads: Start() fills the blocks before the message channel exists. Afterwards the queue's worker
// thread makes every change to the blocks and the settings file (see worker_role.h), and
// HandleMessage() waits a little for the work it asked for, so that a reload is usually complete when
// its sender goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/mutex.h"
#include "common/result.h"
#include "lexwarden/dictionary_publisher.h"
#include "lexwarden/job_queue.h"
#include "lexwarden/learning_keeper.h"
#include "lexwarden/publication_board.h"
#include "lexwarden/record_keeper.h"

namespace quillet::warden {

// How long a reload message waits for its work before it is answered anyway (senders give up after
// 5000 ms, and a second sender may be queued behind the first).
constexpr uint32_t kReplyBudgetMs = 2000;
// How often work that could not be done (a lock not had) is
// tried again.
constexpr uint32_t kRetryIntervalMs = 1000;

struct WardenOptions {
  std::u16string programFolder;  // where relative dictionary paths start
  std::u16string settingsPath;   // the settings file; empty: nothing is kept between sessions
                                 // (the options and program rules are kept beside it)
  // How dictionary files are read; tests put failures in its place.
  FileReader readFile = &platform::ReadWholeFile;
};

class Warden {
 public:
  explicit Warden(WardenOptions options);
  ~Warden() { Stop(); }
  Warden(const Warden&) = delete;
  Warden& operator=(const Warden&) = delete;

  // Loads the records, creates their blocks and publishes them and the dictionaries, then starts the
  // worker. Returns the answer the handshake will give: kSuccess; kFileOpenFailed when a dictionary
  // could not be read or is malformed (an empty placeholder stands in its place); kEventFailed,
  // kMappingCreateFailed, kViewFailed or kWaitFailed when a block or publication could not be made.
  Result Start();
  // 0x800B: the current state of the publications (0, or the code of what went wrong last).
  // 0x800A: wParam nonzero keeps the records of the settings, options and programs blocks in their files and
  // publishes them; lParam nonzero loads the dictionaries of the record again and publishes them. The
  // reply (0) is not used by senders.
  // Anything else: 0.
  intptr_t HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // Stops the worker and keeps a record that changed since it was last saved. Idempotent.
  void Stop();

  // Runs the learning drain now and waits for it (tests; the worker runs it every second anyway).
  void DrainLearning();

  // Observers (tests, diagnostics).
  Result status() const EXCLUDES(mutex_);
  platform::KeptOrigin settingsOrigin() const { return settings_.origin(); }
  platform::KeptOrigin optionsOrigin() const { return options_.origin(); }
  platform::KeptOrigin programsOrigin() const { return programs_.origin(); }
  const std::u16string& settingsAsidePath() const { return settings_.asidePath(); }
  uint64_t publications() const { return dictionaries_.publications(); }

 private:
  Result Fill();
  void RunJobs(JobSet jobs, JobSet* retry);
  // Takes the result of a publication as the handshake's answer.
  void Report(Result published) EXCLUDES(mutex_);
  void SetStatus(Result status) EXCLUDES(mutex_);

  PublicationBoard board_;  // first: the keepers and the publisher publish through it
  RecordKeeper settings_;
  RecordKeeper options_;
  RecordKeeper programs_;
  LearningKeeper learning_;
  DictionaryPublisher dictionaries_;
  mutable Mutex mutex_;
  Result status_ GUARDED_BY(mutex_) = Result::kSuccess;
  JobQueue queue_;  // last: its worker ends before anything it uses goes
};

}  // namespace quillet::warden

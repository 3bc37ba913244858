// The user's learned store, owned by the loader: text services report the words written (the
// learning inbox), the loader takes them into the store (weights that fade with use, a size cap),
// keeps it in its file (platform/kept_file.h) and publishes it for text services to read in place
// (publication_board.h). The inbox, the store's publications and its file are private to the user's
// processes of medium integrity: what the user writes in one application is nobody else's to read.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "common/learned_store.h"
#include "common/result.h"
#include "ipc/shared_block.h"
#include "lexwarden/publication_board.h"
#include "lexwarden/worker_role.h"
#include "lookup/learner.h"
#include "lookup/text_file_learning.h"
#include "platform/kept_file.h"

namespace quillet::warden {

class LearningKeeper {
 public:
  // `path` is the store's file; empty: the store lives for this run only.
  LearningKeeper(std::u16string path, PublicationBoard& board);

  // Loads the file (a damaged one is set aside), creates the inbox and the progress block of text
  // files, and publishes the store.
  [[nodiscard]] Result Open() REQUIRES(kWorkerRole);
  // Takes what was reported into the store (and clears it from the inbox); when the store changed,
  // publishes it, and saves it when the last save is kSaveIntervalSeconds old (typing every second
  // must not write the disk every second). False when the inbox's lock could not be had (nothing
  // taken; try again).
  // A text file asked for (kLearnFile) is learned a slice at a time: at most kFileSliceMs of it per
  // drain, so the worker's other jobs wait no longer than that; its progress goes to the progress
  // block, and the store is published when the file is done.
  bool Drain() REQUIRES(kWorkerRole);
  static constexpr int kFileSliceMs = 50;
  // A file is being learned: drain again soon.
  bool learningFile() const REQUIRES(kWorkerRole) { return !file_learning_.finished(); }
  static constexpr int kSaveIntervalSeconds = 30;
  // Saves a store that changed since it was last saved, and lets go of the inbox.
  void Close() REQUIRES(kWorkerRole);

  // Observers (tests, diagnostics).
  const LearnedStore& store() const REQUIRES(kWorkerRole) { return store_; }
  bool damagedFile() const { return damaged_; }

 private:
  void Publish() REQUIRES(kWorkerRole);
  void Save() REQUIRES(kWorkerRole);
  void StartFile(uint32_t ticket, const std::u16string& path) REQUIRES(kWorkerRole);
  // Learns the next slice of the file; true when the store changed.
  bool StepFile() REQUIRES(kWorkerRole);
  void WriteProgress(const LearnFileProgress& progress) REQUIRES(kWorkerRole);
  void WriteFileProgress() REQUIRES(kWorkerRole);

  PublicationBoard& board_;
  platform::KeptFile file_ GUARDED_BY(kWorkerRole);
  bool damaged_ = false;
  LearnedStore store_ GUARDED_BY(kWorkerRole);
  Learner learner_ GUARDED_BY(kWorkerRole){&store_};
  bool unsaved_ GUARDED_BY(kWorkerRole) = false;
  std::chrono::steady_clock::time_point lastSave_ GUARDED_BY(kWorkerRole){};
  SharedBlock inbox_ GUARDED_BY(kWorkerRole);
  SharedBlock progress_ GUARDED_BY(kWorkerRole);
  // Its own learner: the file's sentences are not the typing's.
  TextFileLearning file_learning_ GUARDED_BY(kWorkerRole){&store_};
  uint32_t fileTicket_ GUARDED_BY(kWorkerRole) = 0;
};

}  // namespace quillet::warden

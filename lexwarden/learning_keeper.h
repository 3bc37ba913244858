// The user's learned store, owned by the loader: text services report the words written (the
// learning inbox), the loader takes them into the store (weights that fade with use, a size cap),
// keeps it in its file (written atomically) and publishes it for every text service to read in
// place: each publication a mapping of its own, named by a generation that the inbox then shows,
// never written again (so a reader's view never changes under it).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "common/learned_store.h"
#include "common/result.h"
#include "ipc/shared_block.h"
#include "lexwarden/worker_role.h"
#include "platform/named_objects.h"

namespace quillet::warden {

class LearningKeeper {
 public:
  // `path` is the store's file; empty: the store lives for this run only.
  explicit LearningKeeper(std::u16string path) : path_(std::move(path)) {}

  // Loads the file (a damaged one is set aside), creates the inbox and publishes the store.
  [[nodiscard]] Result Open() REQUIRES(kWorkerRole);
  // Takes what was reported into the store; when it changed, publishes it, and saves it when the
  // last save is kSaveIntervalSeconds old (typing every second must not write the disk every second).
  // False when the inbox's lock could not be had (nothing taken; try again).
  bool Drain() REQUIRES(kWorkerRole);
  static constexpr int kSaveIntervalSeconds = 30;
  // Saves a store that changed since it was last saved, and lets go of the blocks.
  void Close() REQUIRES(kWorkerRole);

  // Observers (tests, diagnostics).
  const LearnedStore& store() const REQUIRES(kWorkerRole) { return store_; }
  bool damagedFile() const { return damaged_; }

 private:
  void Publish() REQUIRES(kWorkerRole);

  const std::u16string path_;
  bool damaged_ = false;
  LearnedStore store_ GUARDED_BY(kWorkerRole);
  std::u16string previous_ GUARDED_BY(kWorkerRole);  // the word before the next one reported
  bool sentenceStart_ GUARDED_BY(kWorkerRole) = true;
  bool unsaved_ GUARDED_BY(kWorkerRole) = false;
  std::chrono::steady_clock::time_point lastSave_ GUARDED_BY(kWorkerRole){};
  SharedBlock inbox_ GUARDED_BY(kWorkerRole);
  platform::Mapping published_ GUARDED_BY(kWorkerRole);
  uint16_t generation_ GUARDED_BY(kWorkerRole) = 0;
};

}  // namespace quillet::warden

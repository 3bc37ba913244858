#include "lexwarden/learning_keeper.h"

#include <cstring>
#include <utility>
#include <vector>

#include "common/learn_inbox.h"
#include "lexwarden/owned_block.h"
#include "lookup/learned_file.h"

namespace quillet::warden {

Result LearningKeeper::Open() {
  platform::OsError error = 0;
  if (!path_.empty()) (void)LoadLearnedStore(path_, &store_, &damaged_, &error);  // unreadable: start empty
  bool existed = false;
  const Result r = CreateOwnedBlock(inbox_, kLearnInboxBlockNames, kLearnInboxSize, &existed);
  if (r != Result::kSuccess) return r;
  {
    BlockWriteLock lock(inbox_);
    if (!lock) return Result::kWaitFailed;
    // Reports left in a block that outlived an earlier loader are taken with the next drain.
    if (!existed || !IsLearnInbox(inbox_.view(), inbox_.viewSize())) InitLearnInbox(inbox_.view(), inbox_.viewSize());
    generation_ = LearnedGeneration(inbox_.view(), inbox_.viewSize());
  }
  Publish();
  return Result::kSuccess;
}

bool LearningKeeper::Drain() {
  if (inbox_.view() == nullptr) return true;
  std::vector<LearnEvent> events;
  {
    BlockWriteLock lock(inbox_);
    if (!lock) return false;
    events = TakeLearnEvents(inbox_.view(), inbox_.viewSize());
  }
  if (events.empty()) return true;
  for (const LearnEvent& e : events) {
    switch (e.kind) {
      case LearnKind::kWord:
        store_.Learn(previous_, e.word, sentenceStart_);
        previous_ = e.word;
        sentenceStart_ = false;
        break;
      case LearnKind::kSentenceEnd:
        previous_.clear();
        sentenceStart_ = true;
        break;
      case LearnKind::kForget:
        store_.Forget(e.word);
        break;
      case LearnKind::kClear:
        store_.Clear();
        previous_.clear();
        sentenceStart_ = true;
        break;
    }
  }
  unsaved_ = true;
  const auto now = std::chrono::steady_clock::now();
  if (!path_.empty() && now - lastSave_ >= std::chrono::seconds(kSaveIntervalSeconds)) {
    platform::OsError error = 0;
    if (SaveLearnedStore(store_, path_, &error) == Result::kSuccess) unsaved_ = false;
    lastSave_ = now;
  }
  Publish();
  return true;
}

void LearningKeeper::Publish() {
  platform::Mapping mapping;
  uint16_t generation = 0;
  if (!CreatePublication(&LearnedMappingName, generation_, store_.Serialize(), &mapping, &generation)) return;
  BlockWriteLock lock(inbox_);
  if (!lock) return;  // readers keep the publication before; the next drain tries again
  SetLearnedGeneration(inbox_.view(), inbox_.viewSize(), generation);
  generation_ = generation;
  published_ = std::move(mapping);
}

void LearningKeeper::Close() {
  if (unsaved_ && !path_.empty()) {
    platform::OsError error = 0;
    (void)SaveLearnedStore(store_, path_, &error);
  }
  CloseBlock(inbox_, false);
  published_.Close();
}

}  // namespace quillet::warden

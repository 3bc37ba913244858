#include "lexwarden/learning_keeper.h"

#include <utility>
#include <vector>

#include "common/learn_inbox.h"
#include "lexwarden/owned_block.h"
#include "lookup/learner.h"

namespace quillet::warden {

LearningKeeper::LearningKeeper(std::u16string path, PublicationBoard& board)
    : board_(board), file_(std::move(path), kMaxLearnedFileSize, &IsLearnedStore) {}

Result LearningKeeper::Open() {
  const platform::KeptContent content = file_.Load();  // unreadable: start empty, never overwrite it
  damaged_ = content.origin == platform::KeptOrigin::kDamaged;
  if (content.origin == platform::KeptOrigin::kFile) store_.Load(content.bytes.data(), content.bytes.size());
  bool existed = false;
  const Result r = CreateOwnedBlock(inbox_, kLearnInboxBlockNames, kLearnInboxSize, &existed);
  if (r != Result::kSuccess) return r;
  {
    BlockWriteLock lock(inbox_);
    if (!lock) return Result::kWaitFailed;
    // Reports left in a block that outlived an earlier loader are taken with the next drain.
    if (!existed || !IsLearnInbox(inbox_.view(), inbox_.viewSize())) InitLearnInbox(inbox_.view(), inbox_.viewSize());
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
  for (const LearnEvent& e : events) learner_.Apply(e);
  unsaved_ = true;
  if (std::chrono::steady_clock::now() - lastSave_ >= std::chrono::seconds(kSaveIntervalSeconds)) Save();
  Publish();
  return true;
}

void LearningKeeper::Save() {
  lastSave_ = std::chrono::steady_clock::now();
  if (file_.path().empty()) return;
  const std::vector<uint8_t> bytes = store_.Serialize();
  platform::OsError error = 0;
  if (file_.Save(bytes.data(), bytes.size(), &error) == Result::kSuccess) unsaved_ = false;
}

void LearningKeeper::Publish() {
  std::optional<PublicationBoard::Made> made = board_.Make(PublicationKind::kLearned, store_.Serialize());
  // Without it readers keep the publication before; the next drain tries again.
  if (made) board_.Name(std::move(*made));
}

void LearningKeeper::Close() {
  if (unsaved_) Save();
  CloseBlock(inbox_, false);
}

}  // namespace quillet::warden

#include "lexwarden/learning_keeper.h"

#include <utility>
#include <vector>

#include "common/learn_inbox.h"
#include "common/learn_progress.h"
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
  bool progressExisted = false;
  // Without it no file can be learned; typing still is.
  if (CreateOwnedBlock(progress_, kLearnProgressBlockNames, kLearnProgressSize, &progressExisted) == Result::kSuccess) {
    BlockWriteLock lock(progress_);
    if (lock) InitLearnProgress(progress_.view(), progress_.viewSize());
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
  bool changed = false;
  bool fileEnded = false;
  for (const LearnEvent& e : events) {
    if (e.kind == LearnKind::kLearnFile) {
      StartFile(TicketOf(e.word), e.word.substr(2));
    } else if (e.kind == LearnKind::kCancelFile) {
      if (TicketOf(e.word) == fileTicket_ && !file_learning_.finished()) {
        file_learning_.Cancel();
        changed = fileEnded = true;  // what was learned before stays
      }
    } else {
      learner_.Apply(e);
      changed = true;
    }
  }
  if (StepFile()) {
    changed = true;
    fileEnded = fileEnded || file_learning_.finished();
  }
  if (!changed) return true;
  unsaved_ = true;
  if (std::chrono::steady_clock::now() - lastSave_ >= std::chrono::seconds(kSaveIntervalSeconds)) Save();
  // While a file is learned the store is published once, at its end (typing meanwhile waits for it),
  // and only then is the end told: whoever asked finds the words published.
  if (file_learning_.finished()) Publish();
  if (fileEnded) WriteFileProgress();
  return true;
}

void LearningKeeper::StartFile(uint32_t ticket, const std::u16string& path) {
  if (ticket == 0 || progress_.view() == nullptr) return;  // nobody could learn how it went
  if (!file_learning_.finished()) {
    LearnFileProgress busy;
    busy.ticket = ticket;
    busy.state = LearnFileState::kDone;
    busy.result = LearnFileResult::kBusy;
    WriteProgress(busy);
    return;
  }
  fileTicket_ = ticket;
  file_learning_.Open(path);  // one that cannot be learned is answered here, having changed nothing
  WriteFileProgress();
}

bool LearningKeeper::StepFile() {
  if (file_learning_.finished()) return false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFileSliceMs);
  while (file_learning_.Step() && std::chrono::steady_clock::now() < until) {
  }
  if (!file_learning_.finished()) WriteFileProgress();
  return true;
}

void LearningKeeper::WriteFileProgress() {
  LearnFileProgress p = file_learning_.progress();
  p.ticket = fileTicket_;
  WriteProgress(p);
}

void LearningKeeper::WriteProgress(const LearnFileProgress& progress) {
  if (progress_.view() == nullptr) return;
  BlockWriteLock lock(progress_);
  if (lock) WriteLearnProgress(progress_.view(), progress_.viewSize(), progress);
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
  if (!file_learning_.finished()) {
    file_learning_.Cancel();
    WriteFileProgress();
  }
  if (unsaved_) Save();
  CloseBlock(inbox_, false);
  CloseBlock(progress_, false);
}

}  // namespace quillet::warden

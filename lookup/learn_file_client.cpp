#include "lookup/learn_file_client.h"

#include <chrono>
#include <random>

#include "common/learn_inbox.h"

namespace quillet {
namespace {

uint32_t NewTicket() {
  static std::random_device device;
  uint32_t t = 0;
  while (t == 0) {
    t = device() ^ static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
  return t;
}

}  // namespace

Result LearnFileClient::Open() {
  Close();
  inbox_.policy = progress_.policy = policy_;
  Result r = OpenLearnInboxBlock(inbox_);
  if (r == Result::kSuccess) r = OpenLearnProgressBlock(progress_);
  if (r != Result::kSuccess) Close();
  return r;
}

void LearnFileClient::Close() {
  CloseBlock(inbox_, false);
  CloseBlock(progress_, false);
}

LearnFileClient::Asked LearnFileClient::Ask(const std::u16string& path, uint32_t* ticket) {
  if (path.empty() || path.size() > kMaxLearnFilePath) return Asked::kPathTooLong;
  if (inbox_.view() == nullptr) return Asked::kNotOpen;
  const uint32_t t = NewTicket();
  const std::u16string text = LearnFileText(t, path);
  BlockWriteLock lock(inbox_);
  if (!lock || !AppendLearnEvent(inbox_.view(), inbox_.viewSize(), LearnKind::kLearnFile, text)) {
    return Asked::kInboxBusy;
  }
  *ticket = t;
  return Asked::kAsked;
}

bool LearnFileClient::Cancel(uint32_t ticket) {
  if (inbox_.view() == nullptr) return false;
  BlockWriteLock lock(inbox_);
  return lock && AppendLearnEvent(inbox_.view(), inbox_.viewSize(), LearnKind::kCancelFile, LearnFileText(ticket, u""));
}

bool LearnFileClient::Progress(uint32_t ticket, LearnFileProgress* out) {
  if (progress_.view() == nullptr) return false;
  BlockReadLock lock(progress_);
  return lock && ReadLearnProgress(progress_.view(), progress_.viewSize(), ticket, out);
}

}  // namespace quillet

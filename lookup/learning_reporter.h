// Reports what the user wrote to the loader's learning (the learning inbox, common/learn_inbox.h):
// the words and sentence ends of written text, corrected misspellings, and words to forget. The inbox is private to the
// user's processes of medium integrity, so a sandboxed host cannot open it and reports nothing. A
// report waits only briefly for the inbox's lock and is dropped when it cannot have it: a word not
// learned, never a key that waits.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/learn_inbox.h"
#include "ipc/shared_block.h"

namespace quillet {

class LearningReporter {
 public:
  LearningReporter() = default;
  ~LearningReporter() { Close(); }
  LearningReporter(const LearningReporter&) = delete;
  LearningReporter& operator=(const LearningReporter&) = delete;

  // Opens the inbox (nothing when it is open); false when it cannot be had.
  bool Open();
  void Close();

  // Nothing written is reported while paused (the options say so); forgetting still is.
  void SetPaused(bool paused) { paused_ = paused; }
  void ReportWritten(std::u16string_view text);
  void ReportForget(std::u16string_view word);
  // The person picked `word` as the correction of the letters `typed`; nothing when either is longer
  // than a learnable word.
  void ReportMistake(std::u16string_view typed, std::u16string_view word);

  // The inbox, for tests and tools that publish one of their own.
  SharedBlock& inbox() { return inbox_; }

 private:
  void Append(const std::vector<std::pair<LearnKind, std::u16string>>& reports);

  SharedBlock inbox_;
  bool paused_ = false;
};

}  // namespace quillet

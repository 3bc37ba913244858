// A text file learned as if the person had written it: its words, the pairs they form and its
// sentence ends go through a Learner into a learned store, with the word splitting of the text
// service and the store's word rules. UTF-8 (with or without a byte-order mark) or UTF-16 with one.
// A line break inside a paragraph counts as a blank (text is often wrapped), an empty line ends a
// sentence as a period does. A byte sequence that is not UTF-8 (or a lone surrogate) is read as
// U+FFFD, so the word it stands in is not learned; a NUL character means the file is not text.
//
// The file is read in steps of a size the caller chooses, so a loader can learn a large file between
// its other work, show progress and stop when asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/learn_progress.h"
#include "common/learned_store.h"
#include "lookup/learner.h"
#include "platform/file.h"

namespace quillet {

class TextFileLearning {
 public:
  static constexpr size_t kStepBytes = 64 * 1024;

  explicit TextFileLearning(LearnedStore* store) : learner_(store) {}

  // Opens the file; kLearned when it can be read (then Step until it returns false), else why not
  // (progress().osError where the OS said).
  LearnFileResult Open(const std::u16string& path);
  // Reads and learns up to `bytes` more; false when the file is finished or failed (progress().result).
  bool Step(size_t bytes = kStepBytes);
  // Stops: what was learned stays learned; the result is kCancelled.
  void Cancel() { Finish(LearnFileResult::kCancelled); }

  bool finished() const { return progress_.state == LearnFileState::kDone; }
  // How far it got: learning or done, the result, the counts and the bytes read of the file's size
  // (no ticket: that is the loader's).
  const LearnFileProgress& progress() const { return progress_; }

 private:
  enum class Encoding { kUnknown, kUtf8, kUtf16Le, kUtf16Be };
  void Finish(LearnFileResult result);
  // Turns raw_ into text_, leaving an incomplete sequence at its end when more is to come.
  bool Decode(bool last);
  void Put(char32_t c);
  // Learns text_ up to the last blank that more text cannot change.
  void Learn(bool last);

  Learner learner_;
  platform::File file_;
  Encoding encoding_ = Encoding::kUnknown;
  std::vector<uint8_t> raw_;
  std::u16string text_;
  char16_t highSurrogate_ = 0;
  bool sentenceHasWord_ = false;
  LearnFileProgress progress_{0, LearnFileState::kDone};
};

// A whole file at once (lexforge learn --history, tests).
LearnFileResult LearnWholeFile(const std::u16string& path, LearnedStore* store, uint32_t* words, uint32_t* sentences,
                               uint32_t* osError);

}  // namespace quillet

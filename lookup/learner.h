// What the user wrote, taken into a learned store as it comes: each word learned after the one before
// it in its sentence (the pair with it too), sentence ends, corrected misspellings, words forgotten,
// everything forgotten. The
// loader's learning keeper and `lexforge lookup --stdin` both learn through it.
#pragma once

#include <string_view>

#include "common/learn_inbox.h"
#include "common/learned_store.h"
#include "lookup/word_history.h"

namespace quillet {

class Learner {
 public:
  // `store` null: the words before are followed, nothing is learned.
  explicit Learner(LearnedStore* store) : store_(store) {}

  void Apply(const LearnEvent& event);
  void Write(std::u16string_view word) { Apply({LearnKind::kWord, std::u16string(word)}); }
  void EndSentence() { Apply({LearnKind::kSentenceEnd, {}}); }

  // The words before the next one.
  const WordHistory& history() const { return history_; }

 private:
  LearnedStore* store_;
  WordHistory history_;
};

}  // namespace quillet

#include "lookup/learner.h"

namespace quillet {

void Learner::Apply(const LearnEvent& event) {
  switch (event.kind) {
    case LearnKind::kWord:
      if (event.word.empty()) return;
      if (store_ != nullptr) store_->Learn(history_.previousWord(), event.word, history_.lastIsStart());
      history_.Write(event.word);
      break;
    case LearnKind::kSentenceEnd:
      history_.EndSentence();
      break;
    case LearnKind::kForget:
      if (store_ != nullptr) store_->Forget(event.word);
      break;
    case LearnKind::kMistake:
      if (store_ != nullptr) {
        const size_t separator = event.word.find(kPairSeparator);
        if (separator != std::u16string::npos) {
          store_->LearnMistake(std::u16string_view(event.word).substr(0, separator),
                               std::u16string_view(event.word).substr(separator + 1));
        }
      }
      break;
    case LearnKind::kAddWord:
      if (store_ != nullptr) store_->AddWord(event.word);
      break;
    case LearnKind::kLearnFile:
    case LearnKind::kCancelFile:
      break;  // the loader's learning keeper reads files
    case LearnKind::kClear:
      if (store_ != nullptr) store_->Clear();
      history_ = WordHistory();
      break;
  }
}

}  // namespace quillet

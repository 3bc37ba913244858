#include "quillsvc/settings/learning_page_model.h"

#include <algorithm>

#include "common/learned_store.h"
#include "common/options_record.h"

namespace quillet::settings {

bool LearningPageModel::Forget(size_t i) {
  if (i >= words_.size()) return false;
  edits_->forget.push_back(words_[i]);
  words_.erase(words_.begin() + static_cast<std::ptrdiff_t>(i));
  return Mark(true);
}

LearningPageModel::Added LearningPageModel::AddWord(std::u16string_view text) {
  const size_t first = text.find_first_not_of(u" \t");
  const size_t last = text.find_last_not_of(u" \t");
  const std::u16string word(first == std::u16string_view::npos ? u"" : text.substr(first, last - first + 1));
  if (!LearnedStore::IsLearnable(word)) return Added::kNotAWord;
  for (const std::u16string& w : words_) {
    if (w == word) return Added::kListed;
  }
  // Added after being forgotten in this run: the later wish wins.
  edits_->forget.erase(std::remove(edits_->forget.begin(), edits_->forget.end(), word), edits_->forget.end());
  edits_->add.push_back(word);
  words_.insert(words_.begin(), word);
  Mark(true);
  return Added::kAdded;
}

bool LearningPageModel::ForgetAll() {
  edits_->clearAll = true;
  edits_->add.clear();
  edits_->forget.clear();  // everything goes anyway
  words_.clear();
  return Mark(true);
}

bool LearningPageModel::paused() const {
  return options_ != nullptr && LearningPaused(options_->data(), options_->size());
}

bool LearningPageModel::SetPaused(bool paused) {
  if (options_ == nullptr || this->paused() == paused) return false;
  return Mark(SetLearningPaused(options_->data(), options_->size(), paused));
}

ApplyDecision LearningPageModel::Apply() {
  ApplyDecision d;
  d.commit = changed_;
  changed_ = false;
  return d;
}

}  // namespace quillet::settings

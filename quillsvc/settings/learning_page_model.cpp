#include "quillsvc/settings/learning_page_model.h"

#include "common/options_record.h"

namespace quillet::settings {

bool LearningPageModel::Forget(size_t i) {
  if (i >= words_.size()) return false;
  edits_->forget.push_back(words_[i]);
  words_.erase(words_.begin() + static_cast<std::ptrdiff_t>(i));
  return Mark(true);
}

bool LearningPageModel::ForgetAll() {
  edits_->clearAll = true;
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

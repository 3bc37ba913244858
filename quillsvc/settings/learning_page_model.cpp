#include "quillsvc/settings/learning_page_model.h"

#include <iterator>

#include "common/options_record.h"

namespace quillet::settings {

static_assert(std::size(kToggleKeyTexts) == static_cast<size_t>(ToggleKey::kNone) + 1, "one entry per toggle key");

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

std::vector<std::u16string> LearningPageModel::ToggleKeyChoices() {
  return std::vector<std::u16string>(std::begin(kToggleKeyTexts), std::end(kToggleKeyTexts));
}

int LearningPageModel::toggleKeyChoice() const {
  if (options_ == nullptr) return static_cast<int>(ToggleKey::kShift);
  return static_cast<int>(ReadToggleKey(options_->data(), options_->size()));
}

bool LearningPageModel::ChooseToggleKey(int choice) {
  if (choice < 0 || choice >= static_cast<int>(std::size(kToggleKeyTexts))) choice = 0;
  if (options_ == nullptr || choice == toggleKeyChoice()) return false;
  return Mark(SetToggleKey(options_->data(), options_->size(), static_cast<ToggleKey>(choice)));
}

ApplyDecision LearningPageModel::Apply() {
  ApplyDecision d;
  d.commit = changed_;
  changed_ = false;
  return d;
}

}  // namespace quillet::settings

#include "quillsvc/settings/general_page_model.h"

#include <iterator>

#include "common/options_record.h"

namespace quillet::settings {

static_assert(std::size(kToggleKeyTexts) == static_cast<size_t>(ToggleKey::kNone) + 1, "one entry per toggle key");

std::vector<std::u16string> GeneralPageModel::ToggleKeyChoices() {
  return std::vector<std::u16string>(std::begin(kToggleKeyTexts), std::end(kToggleKeyTexts));
}

int GeneralPageModel::toggleKeyChoice() const {
  if (options_ == nullptr) return static_cast<int>(ToggleKey::kShift);
  return static_cast<int>(ReadToggleKey(options_->data(), options_->size()));
}

bool GeneralPageModel::ChooseToggleKey(int choice) {
  if (choice < 0 || choice >= static_cast<int>(std::size(kToggleKeyTexts))) choice = 0;
  if (options_ == nullptr || choice == toggleKeyChoice()) return false;
  if (!SetToggleKey(options_->data(), options_->size(), static_cast<ToggleKey>(choice))) return false;
  changed_ = true;
  return true;
}

SpeechOptions GeneralPageModel::speech() const {
  return options_ == nullptr ? SpeechOptions{} : ReadSpeechOptions(options_->data(), options_->size());
}

bool GeneralPageModel::speak() const { return speech().speak; }
bool GeneralPageModel::speakWithScreenReader() const { return speech().withScreenReader; }

bool GeneralPageModel::SetSpeech(const SpeechOptions& options) {
  if (options_ == nullptr || options == speech()) return false;
  if (!SetSpeechOptions(options_->data(), options_->size(), options)) return false;
  changed_ = true;
  return true;
}

bool GeneralPageModel::SetSpeak(bool on) {
  SpeechOptions o = speech();
  o.speak = on;
  return SetSpeech(o);
}

bool GeneralPageModel::SetSpeakWithScreenReader(bool on) {
  SpeechOptions o = speech();
  o.withScreenReader = on;
  return SetSpeech(o);
}

ApplyDecision GeneralPageModel::Apply() {
  ApplyDecision d;
  d.commit = changed_;
  changed_ = false;
  return d;
}

}  // namespace quillet::settings

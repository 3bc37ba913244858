// The rules of the "General" settings page: the input method's own options, kept in the sheet's copy
// of the options record for every tab (the key that opens and closes Quillet, and speaking the
// highlighted word). Nothing reaches
// the loader before Apply.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/options_record.h"
#include "quillsvc/settings/notice.h"

namespace quillet::settings {

class GeneralPageModel {
 public:
  // `options` may be null (the loader publishes none: nothing to choose in).
  explicit GeneralPageModel(std::vector<uint8_t>* options) : options_(options) {}

  bool hasOptions() const { return options_ != nullptr; }
  // The "Open and close Quillet with:" entries, in ToggleKey's order, and the one chosen (a lone Shift
  // without the options). A choice out of range means a lone Shift.
  static std::vector<std::u16string> ToggleKeyChoices();
  int toggleKeyChoice() const;
  bool ChooseToggleKey(int choice);

  // Speaking the highlighted word, and doing so while a screen reader runs too (offered only while
  // speaking is on). Both off without the options; each Set is false when nothing changed.
  bool speak() const;
  bool speakWithScreenReader() const;
  bool screenReaderChoiceEnabled() const { return hasOptions() && speak(); }
  bool SetSpeak(bool on);
  bool SetSpeakWithScreenReader(bool on);

  // Apply: commits when anything changed since the last commit.
  ApplyDecision Apply();
  void CommitFailed() { changed_ = true; }
  bool changed() const { return changed_; }

 private:
  SpeechOptions speech() const;
  bool SetSpeech(const SpeechOptions& options);

  std::vector<uint8_t>* options_;
  bool changed_ = false;
};

inline constexpr std::u16string_view kToggleKeyTexts[] = {u"Shift pressed alone", u"Ctrl+Space",
                                                          u"No key (the language bar button only)"};

}  // namespace quillet::settings

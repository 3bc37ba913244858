// The rules of the "General" settings page: the input method's own options, kept in the sheet's copy
// of the options record for every tab (today the key that opens and closes Quillet). Nothing reaches
// the loader before Apply.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

  // Apply: commits when anything changed since the last commit.
  ApplyDecision Apply();
  void CommitFailed() { changed_ = true; }
  bool changed() const { return changed_; }

 private:
  std::vector<uint8_t>* options_;
  bool changed_ = false;
};

inline constexpr std::u16string_view kToggleKeyTexts[] = {u"Shift pressed alone", u"Ctrl+Space",
                                                          u"No key (the language bar button only)"};

}  // namespace quillet::settings

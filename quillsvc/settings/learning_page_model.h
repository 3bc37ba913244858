// The rules of the "Learning" settings page: the words the loader learned from the user's typing
// (the most used first), forgetting some of them or all, and pausing learning (for every tab). Nothing
// reaches the loader before Apply: forgetting goes into the session's learning edits, the pause into
// the sheet's copy of the options.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "quillsvc/settings/notice.h"
#include "quillsvc/settings/settings_session.h"

namespace quillet::settings {

class LearningPageModel {
 public:
  // `options` may be null (the loader publishes none: no pause); `edits` is the session's.
  LearningPageModel(std::vector<std::u16string> words, std::vector<uint8_t>* options,
                    SettingsSession::LearningEdits* edits)
      : words_(std::move(words)), options_(options), edits_(edits) {}

  // The words still listed.
  const std::vector<std::u16string>& words() const { return words_; }
  // Takes word i off the list, to be forgotten; false without it.
  bool Forget(size_t i);
  enum class Added { kAdded, kNotAWord, kListed };
  // Puts a word the person typed (blanks around it dropped) at the top of the list, to be taken as
  // written twice: a word the dictionary lacks is offered at once. The rules of learning decide what
  // is a word.
  Added AddWord(std::u16string_view text);
  // Empties the list: everything learned is to be forgotten.
  bool ForgetAll();
  bool hasOptions() const { return options_ != nullptr; }
  bool paused() const;
  bool SetPaused(bool paused);

  // Apply: commits when anything changed since the last commit.
  ApplyDecision Apply();
  void CommitFailed() { changed_ = true; }
  bool changed() const { return changed_; }

 private:
  bool Mark(bool changed) {
    changed_ = changed_ || changed;
    return changed;
  }

  std::vector<std::u16string> words_;
  std::vector<uint8_t>* options_;
  SettingsSession::LearningEdits* edits_;
  bool changed_ = false;
};

inline constexpr std::u16string_view kLearningCaption = u"Words learned from your typing (the most used first):";
inline constexpr std::u16string_view kNothingLearnedText = u"Nothing learned yet.";
inline constexpr std::u16string_view kNotAWordText =
    u"That is not a word Quillet can learn: up to 40 characters, with a letter and no blank.";
inline constexpr std::u16string_view kListedText = u"That word is learned already.";

}  // namespace quillet::settings

// The rules of the "Programs" settings page: the programs where Quillet keeps out of the way, each
// named by its executable's file name with a rule (start closed, or never show candidates). Added,
// changed and removed in the sheet's copy of the program rules; nothing reaches the loader before
// Apply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/program_rules.h"
#include "quillsvc/settings/notice.h"

namespace quillet::settings {

class ProgramsPageModel {
 public:
  // `rules` may be null (the loader has no programs block: nothing to edit). A copy that is not a
  // record of rules lists nothing; Apply writes a whole record then.
  explicit ProgramsPageModel(std::vector<uint8_t>* rules);

  bool hasRules() const { return rules_ != nullptr; }
  const std::vector<ProgramRuleEntry>& entries() const { return entries_; }

  // The "Rule:" entries, and how a rule and an entry's position among them map onto each other (a
  // choice out of range means the first).
  static std::vector<std::u16string> RuleChoices();
  static int ChoiceOf(ProgramRule rule);
  static ProgramRule RuleOfChoice(int choice);
  static std::u16string RuleText(ProgramRule rule);

  // Lists a program with the rule of `choice`. `typed` may be a path: its file name is taken, blanks
  // around it dropped. A notice (nothing changed) for a name that is not a file name, a program
  // listed already, or a full list.
  std::optional<Notice> Add(std::u16string_view typed, int choice);
  // Gives entry `i` the name typed and the rule of `choice`, refused as Add refuses.
  std::optional<Notice> Change(size_t i, std::u16string_view typed, int choice);
  // False without entry i.
  bool Remove(size_t i);

  // Apply: commits when anything changed since the last commit.
  ApplyDecision Apply();
  void CommitFailed() { changed_ = true; }
  bool changed() const { return changed_; }

 private:
  // The name a typed text stands for, or a notice.
  std::optional<Notice> NameOf(std::u16string_view typed, std::u16string* name) const;
  // Whether any entry but `except` names `name`.
  bool Listed(std::u16string_view name, size_t except) const;
  // Writes the entries into the copy.
  void Store();

  std::vector<uint8_t>* rules_;
  std::vector<ProgramRuleEntry> entries_;
  bool changed_ = false;
};

inline constexpr std::u16string_view kStartClosedText = u"Start closed";
inline constexpr std::u16string_view kNeverText = u"Never show candidates";
inline constexpr std::u16string_view kBadProgramNameText =
    u"Type the program's file name, such as WindowsTerminal.exe: at most 63 characters, without \\ / : * ? \" < > |.";
inline constexpr std::u16string_view kProgramListedFormat =
    u"%s is listed already. Select it in the list to change its rule.";
inline constexpr std::u16string_view kProgramsFullFormat =
    u"No more than %d programs can be listed. Remove one before adding another.";

}  // namespace quillet::settings

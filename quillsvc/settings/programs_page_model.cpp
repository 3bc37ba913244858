#include "quillsvc/settings/programs_page_model.h"

namespace quillet::settings {
namespace {

std::u16string_view Trimmed(std::u16string_view text) {
  const size_t first = text.find_first_not_of(u" \t");
  if (first == std::u16string_view::npos) return {};
  const size_t last = text.find_last_not_of(u" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

ProgramsPageModel::ProgramsPageModel(std::vector<uint8_t>* rules) : rules_(rules) {
  if (rules_ != nullptr) entries_ = ReadProgramRules(rules_->data(), rules_->size());
}

std::vector<std::u16string> ProgramsPageModel::RuleChoices() {
  return {std::u16string(kStartClosedText), std::u16string(kNeverText)};
}

int ProgramsPageModel::ChoiceOf(ProgramRule rule) { return rule == ProgramRule::kNever ? 1 : 0; }

ProgramRule ProgramsPageModel::RuleOfChoice(int choice) {
  return choice == 1 ? ProgramRule::kNever : ProgramRule::kStartClosed;
}

std::u16string ProgramsPageModel::RuleText(ProgramRule rule) {
  switch (rule) {
    case ProgramRule::kStartClosed:
      return std::u16string(kStartClosedText);
    case ProgramRule::kNever:
      return std::u16string(kNeverText);
    case ProgramRule::kNone:
      break;
  }
  return std::u16string();
}

std::optional<Notice> ProgramsPageModel::NameOf(std::u16string_view typed, std::u16string* name) const {
  const std::u16string_view file = Trimmed(ProgramFileName(Trimmed(typed)));
  if (!ValidProgramName(file)) return Notice{std::u16string(kBadProgramNameText), NoticeIcon::kWarning};
  *name = std::u16string(file);
  return std::nullopt;
}

bool ProgramsPageModel::Listed(std::u16string_view name, size_t except) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (i != except && SameProgram(entries_[i].program, name)) return true;
  }
  return false;
}

std::optional<Notice> ProgramsPageModel::Add(std::u16string_view typed, int choice) {
  if (rules_ == nullptr) return std::nullopt;
  std::u16string name;
  if (std::optional<Notice> refused = NameOf(typed, &name)) return refused;
  if (Listed(name, entries_.size())) {
    std::u16string text(kProgramListedFormat);
    text.replace(text.find(u"%s"), 2, name);
    return Notice{text, NoticeIcon::kWarning};
  }
  if (entries_.size() >= kProgramRulesCapacity) {
    return Notice{FormatWithNumber(kProgramsFullFormat, static_cast<long>(kProgramRulesCapacity)),
                  NoticeIcon::kWarning};
  }
  entries_.push_back({name, RuleOfChoice(choice)});
  Store();
  return std::nullopt;
}

std::optional<Notice> ProgramsPageModel::Change(size_t i, std::u16string_view typed, int choice) {
  if (rules_ == nullptr || i >= entries_.size()) return std::nullopt;
  std::u16string name;
  if (std::optional<Notice> refused = NameOf(typed, &name)) return refused;
  if (Listed(name, i)) {
    std::u16string text(kProgramListedFormat);
    text.replace(text.find(u"%s"), 2, name);
    return Notice{text, NoticeIcon::kWarning};
  }
  const ProgramRuleEntry changed{name, RuleOfChoice(choice)};
  if (entries_[i] == changed) return std::nullopt;
  entries_[i] = changed;
  Store();
  return std::nullopt;
}

bool ProgramsPageModel::Remove(size_t i) {
  if (rules_ == nullptr || i >= entries_.size()) return false;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
  Store();
  return true;
}

void ProgramsPageModel::Store() {
  // The entries are valid by construction; a record that still would not encode stays as it was.
  if (EncodeProgramRules(entries_, rules_)) changed_ = true;
}

ApplyDecision ProgramsPageModel::Apply() {
  ApplyDecision d;
  d.commit = changed_;
  changed_ = false;
  return d;
}

}  // namespace quillet::settings

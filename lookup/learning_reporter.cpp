#include "lookup/learning_reporter.h"

#include <string>
#include <utility>
#include <vector>

#include "lookup/word_history.h"

namespace quillet {

namespace {

using Report = std::pair<LearnKind, std::u16string>;

}  // namespace

bool LearningReporter::Open() { return OpenLearnInboxBlock(inbox_) == Result::kSuccess; }

void LearningReporter::Close() { CloseBlock(inbox_, false); }

void LearningReporter::Append(const std::vector<Report>& reports) {
  if (inbox_.view() == nullptr || reports.empty()) return;
  // One lock for all of them, and nothing allocated while it is held.
  BlockWriteLock lock(inbox_);
  if (!lock) return;
  for (const Report& r : reports) AppendLearnEvent(inbox_.view(), inbox_.viewSize(), r.first, r.second);
}

void LearningReporter::ReportWritten(std::u16string_view text) {
  if (paused_ || inbox_.view() == nullptr) return;
  std::vector<Report> reports;
  SplitWords(
      text, [&](std::u16string_view word) { reports.emplace_back(LearnKind::kWord, word); },
      [&] { reports.emplace_back(LearnKind::kSentenceEnd, u""); });
  Append(reports);
}

void LearningReporter::ReportForget(std::u16string_view word) {
  if (inbox_.view() != nullptr) Append({Report(LearnKind::kForget, word)});
}

void LearningReporter::ReportMistake(std::u16string_view typed, std::u16string_view word) {
  if (paused_ || inbox_.view() == nullptr || typed.empty() || word.empty()) return;
  if (typed.size() > kMaxLearnedLength || word.size() > kMaxLearnedLength) return;
  std::u16string both(typed);
  both += kPairSeparator;
  both += word;
  Append({Report(LearnKind::kMistake, both)});
}

}  // namespace quillet

// What tsfhost prints about the document and the candidate window: one item per line, UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet::tsfhost {

// Hidden: the text service has a candidate window for the composition open, not shown; none: no
// composition window (a window kept hidden between compositions counts as none).
enum class CandidateState { kNone, kHidden, kVisible };

struct Snapshot {
  std::u16string document;
  int32_t caret = 0;
  std::optional<std::pair<int32_t, int32_t>> composition;  // start, end
  CandidateState candidates = CandidateState::kNone;
  std::vector<std::u16string> rows;  // the rows shown, in order
};

// Line breaks become "\n" and backslashes "\\", so that one item stays on one line.
std::string EscapeText(std::u16string_view text);

// document TEXT / caret N / composition START END|none / candidates visible|hidden|none /
// row N TEXT for each row, each line ending in '\n'.
std::string FormatSnapshot(const Snapshot& snapshot);

}  // namespace quillet::tsfhost

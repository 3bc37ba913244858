// The word-list text: UTF-16LE after a byte-order mark, lines ended by CR (the unit after a CR is
// skipped, expected to be LF), up to four TAB-separated fields: word, display, commit, description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillet::lexforge {

constexpr char16_t kByteOrderMark = 0xFEFF;

// One entry as the builder stores it.
struct WordListEntry {
  std::u16string word;  // the first field as written
  std::u16string key;   // the word without apostrophes and hyphens; never empty
  std::u16string display;
  std::u16string commit;
  std::u16string description;
  uint64_t line = 0;  // 1-based line number in the word list
  bool HasInfo() const { return !display.empty() || !commit.empty() || !description.empty(); }
};

// True when the text's first code unit is U+FEFF.
bool HasByteOrderMark(const uint8_t* data, size_t size);

// Reads entries from a word list held in memory (typically a read-only mapping), without copying it.
// Lines that cannot give an entry (a field longer than 5119 code units, an empty key) are skipped.
class WordListParser {
 public:
  // `data` and `size` are the whole text including its byte-order mark, which the caller has checked;
  // an odd trailing byte is ignored.
  WordListParser(const uint8_t* data, size_t size);

  // Fills `entry` with the next entry (its strings keep their capacity between calls); false at the end.
  bool Next(WordListEntry* entry);
  uint64_t skippedLines() const { return skipped_; }

 private:
  const uint8_t* data_;
  size_t units_;
  size_t pos_ = 1;  // after the byte-order mark
  uint64_t line_ = 0;
  uint64_t skipped_ = 0;
};

}  // namespace quillet::lexforge

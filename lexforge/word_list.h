// The word-list text: UTF-16LE after a byte-order mark, lines ended by CR (the unit after a CR is
// skipped, expected to be LF), up to four TAB-separated fields: word, display, commit, description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillet::lexforge {

constexpr char16_t kByteOrderMark = 0xFEFF;

// Little-endian UTF-16 units where they lie (in the word list itself, or in the parser's storage when
// a field had to be rewritten); possibly unaligned.
struct Units {
  const uint8_t* bytes = nullptr;
  size_t length = 0;

  bool empty() const { return length == 0; }
  char16_t operator[](size_t i) const { return static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)); }
  std::u16string ToString() const;
};

// One entry as the builder stores it. Valid until the parser's next call.
struct WordListEntry {
  Units word;  // the first field as written
  Units key;   // the word without apostrophes and hyphens; never empty
  Units display;
  Units commit;
  Units description;
  uint64_t line = 0;  // 1-based line number in the word list
  bool HasInfo() const { return !display.empty() || !commit.empty() || !description.empty(); }
};

// True when the text's first code unit is U+FEFF.
bool HasByteOrderMark(const uint8_t* data, size_t size);

// Reads entries from a word list held in memory (typically a read-only mapping). Fields without
// double quotes are not copied. Lines that cannot give an entry (a field longer than 5119 code units,
// an empty key) are skipped.
class WordListParser {
 public:
  // `data` and `size` are the whole text including its byte-order mark, which the caller has checked;
  // an odd trailing byte is ignored.
  WordListParser(const uint8_t* data, size_t size);

  // Fills `entry` with the next entry; false at the end.
  bool Next(WordListEntry* entry);
  uint64_t skippedLines() const { return skipped_; }

 private:
  static constexpr size_t kFields = 4;
  struct Field {
    size_t start = 0;  // first unit in the text, while the field is a plain run of it
    size_t length = 0;
    bool owned = false;  // rewritten into `storage` (a double quote was dropped)
    std::vector<uint8_t> storage;
  };

  char16_t At(size_t i) const { return static_cast<char16_t>(data_[2 * i] | (data_[2 * i + 1] << 8)); }
  // The first unit from `from` on that ends a plain run: CR, TAB or a double quote (or the end).
  size_t PlainRunEnd(size_t from) const;
  // Splits the next line into the fields. False when a field was longer than kMaxTextLength.
  bool ReadLine();
  // The entry of the fields read; the key is the word without apostrophes and hyphens. False when
  // nothing is left of it.
  bool MakeEntry(WordListEntry* entry);
  void Append(Field& f, size_t from, size_t count);
  void MakeOwned(Field& f);
  void AppendUnit(Field& f, char16_t c);
  Units View(const Field& f) const;

  const uint8_t* data_;
  size_t units_;
  size_t pos_ = 1;  // after the byte-order mark
  uint64_t line_ = 0;
  uint64_t skipped_ = 0;
  Field fields_[kFields];
  std::vector<uint8_t> key_;
};

}  // namespace quillet::lexforge

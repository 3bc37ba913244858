#include "lexforge/word_list.h"

#include "common/dict_format.h"
#include "common/le.h"

namespace quillet::lexforge {

namespace {

constexpr char16_t kCr = 0x000D;
constexpr char16_t kTab = 0x0009;
constexpr char16_t kQuote = 0x0022;
constexpr char16_t kApostrophe = 0x0027;
constexpr char16_t kHyphen = 0x002D;
constexpr size_t kFieldCount = 4;

}  // namespace

bool HasByteOrderMark(const uint8_t* data, size_t size) {
  return data != nullptr && size >= 2 && LoadU16(data) == kByteOrderMark;
}

WordListParser::WordListParser(const uint8_t* data, size_t size) : data_(data), units_(data ? size / 2 : 0) {}

bool WordListParser::Next(WordListEntry* entry) {
  std::u16string* fields[kFieldCount] = {&entry->word, &entry->display, &entry->commit, &entry->description};
  while (pos_ < units_) {
    ++line_;
    for (auto* f : fields) f->clear();
    size_t field = 0;
    bool overflow = false;
    bool droppedQuote = false;  // the unit just before was a dropped double quote
    while (pos_ < units_) {
      const auto c = static_cast<char16_t>(LoadU16(data_ + 2 * pos_));
      ++pos_;
      if (c == kCr) {
        if (pos_ < units_) ++pos_;  // the LF of CR LF, whatever it is
        break;
      }
      if (c == kTab) {
        droppedQuote = false;
        ++field;
        continue;
      }
      if (field >= kFieldCount) continue;  // beyond the fourth field: ignored
      if (c == kQuote && !droppedQuote) {
        droppedQuote = true;
        continue;
      }
      droppedQuote = false;
      std::u16string& text = *fields[field];
      if (text.size() >= kMaxTextLength) {
        overflow = true;
        continue;
      }
      text.push_back(c);
    }
    if (overflow) {
      ++skipped_;
      continue;
    }
    entry->key.clear();
    for (char16_t c : entry->word) {
      if (c != kApostrophe && c != kHyphen) entry->key.push_back(c);
    }
    if (entry->key.empty()) {
      ++skipped_;
      continue;
    }
    if (entry->key.size() < entry->word.size()) {
      if (entry->display.empty()) entry->display = entry->word;
      if (entry->commit.empty()) entry->commit = entry->word;
    }
    entry->line = line_;
    return true;
  }
  return false;
}

}  // namespace quillet::lexforge

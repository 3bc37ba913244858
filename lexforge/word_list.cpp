#include "lexforge/word_list.h"

#include <cstring>

#include "common/dict_format.h"
#include "common/le.h"

namespace quillet::lexforge {

namespace {

constexpr char16_t kCr = 0x000D;
constexpr char16_t kTab = 0x0009;
constexpr char16_t kQuote = 0x0022;
constexpr char16_t kApostrophe = 0x0027;
constexpr char16_t kHyphen = 0x002D;

}  // namespace

std::u16string Units::ToString() const {
  std::u16string s(length, u'\0');
  for (size_t i = 0; i < length; ++i) s[i] = (*this)[i];
  return s;
}

bool HasByteOrderMark(const uint8_t* data, size_t size) {
  return data != nullptr && size >= 2 && LoadU16(data) == kByteOrderMark;
}

WordListParser::WordListParser(const uint8_t* data, size_t size) : data_(data), units_(data ? size / 2 : 0) {}

void WordListParser::Append(Field& f, size_t from, size_t count) {
  if (!f.owned) {
    if (f.length == 0) f.start = from;
    f.length += count;  // plain fields are one run: nothing was dropped inside them
    return;
  }
  f.storage.insert(f.storage.end(), data_ + 2 * from, data_ + 2 * (from + count));
  f.length += count;
}

void WordListParser::MakeOwned(Field& f) {
  if (f.owned) return;
  f.storage.assign(data_ + 2 * f.start, data_ + 2 * (f.start + f.length));
  f.owned = true;
}

void WordListParser::AppendUnit(Field& f, char16_t c) {
  MakeOwned(f);
  f.storage.push_back(static_cast<uint8_t>(c & 0xFF));
  f.storage.push_back(static_cast<uint8_t>(c >> 8));
  ++f.length;
}

Units WordListParser::View(const Field& f) const {
  if (f.length == 0) return {};
  return {f.owned ? f.storage.data() : data_ + 2 * f.start, f.length};
}

bool WordListParser::Next(WordListEntry* entry) {
  while (pos_ < units_) {
    ++line_;
    if (!ReadLine() || !MakeEntry(entry)) {
      ++skipped_;
      continue;
    }
    entry->line = line_;
    return true;
  }
  return false;
}

size_t WordListParser::PlainRunEnd(size_t from) const {
  while (from < units_) {
    const char16_t u = At(from);
    if (u <= kQuote && (u == kCr || u == kTab || u == kQuote)) break;  // letters are all above
    ++from;
  }
  return from;
}

bool WordListParser::ReadLine() {
  for (auto& f : fields_) {
    f.length = 0;
    f.owned = false;
    f.storage.clear();
  }
  size_t field = 0;
  bool overflow = false;
  bool droppedQuote = false;  // the unit just before was a dropped double quote
  // The field that text goes to: none past the fourth, or once one overflowed (the line is lost).
  const auto current = [&]() -> Field* { return field < kFields && !overflow ? &fields_[field] : nullptr; };
  while (pos_ < units_) {
    // Ordinary characters go over in runs; only CR, TAB and double quotes need a decision.
    const size_t end = PlainRunEnd(pos_);
    if (end > pos_) {
      droppedQuote = false;
      if (Field* f = current()) {
        if (f->length + (end - pos_) > kMaxTextLength) {
          overflow = true;
        } else {
          Append(*f, pos_, end - pos_);
        }
      }
      pos_ = end;
      if (pos_ >= units_) break;
    }
    const char16_t c = At(pos_);
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
    // A double quote: dropped unless the unit before was a dropped one.
    if (Field* f = current()) {
      if (!droppedQuote) {
        MakeOwned(*f);  // a dropped unit ends the plain run: from here on the field is rewritten
      } else if (f->length >= kMaxTextLength) {
        overflow = true;
      } else {
        AppendUnit(*f, c);
      }
    }
    droppedQuote = !droppedQuote;
  }
  return !overflow;
}

bool WordListParser::MakeEntry(WordListEntry* entry) {
  const Units word = View(fields_[0]);
  size_t keep = 0;
  for (size_t i = 0; i < word.length; ++i) {
    const char16_t c = word[i];
    if (c != kApostrophe && c != kHyphen) ++keep;
  }
  if (keep == 0) return false;
  entry->word = word;
  entry->display = View(fields_[1]);
  entry->commit = View(fields_[2]);
  entry->description = View(fields_[3]);
  if (keep == word.length) {
    entry->key = word;
    return true;
  }
  key_.clear();
  for (size_t i = 0; i < word.length; ++i) {
    const char16_t c = word[i];
    if (c == kApostrophe || c == kHyphen) continue;
    key_.push_back(word.bytes[2 * i]);
    key_.push_back(word.bytes[2 * i + 1]);
  }
  entry->key = {key_.data(), keep};
  // A word that is not its own key is shown and inserted as written.
  if (entry->display.empty()) entry->display = word;
  if (entry->commit.empty()) entry->commit = word;
  return true;
}

}  // namespace quillet::lexforge

// What a user's typing taught: per word (and per pair of words) a weight that decays as more is
// written, so recent words count more, and a count of uses. The store lives in memory where it is
// kept (the loader, or `lexforge lookup --history`) and is read by the lookups in its serialised
// form, in place, through LearnedView:
//
//   header (32 bytes)  tag "QLRN", u16 version, u16 0, u32 recordCount, u32 textUnits,
//                      u32 rankedCount, f32 wordTotal (sum of the single words' weights), u32 0
//   records            LearnedRecord (20 bytes) each, sorted by key then form
//   ranked             u32 per ranked record: single-word records by falling weight
//   text               UTF-16LE units that the records' keys and forms point into
//
// A record's key is the word's key (lowercase, no apostrophes or hyphens) or, for a pair, the first
// word's key, U+001F and the second's; its form is the (second) word as written. A misspelling that
// was corrected is kept as a pair whose first part is U+001D and the letters typed (A to Z folded, as
// the lookup folds them): older builds read it as a pair after no word they could ever write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/dictionary_view.h"

namespace quillet {

constexpr uint32_t kLearnedTag = 0x4E524C51;  // "QLRN"
constexpr uint16_t kLearnedVersion = 1;
constexpr size_t kLearnedHeaderSize = 32;
constexpr size_t kLearnedRecordSize = 20;
constexpr char16_t kPairSeparator = 0x1F;
constexpr char16_t kMistakeMark = 0x1D;
constexpr size_t kMaxLearnedLength = 40;  // code units; longer strings are not words
constexpr uint32_t kMaxRanked = 256;
// No store of kDefaultCapacity records comes near this (about 6 MB at most); a larger file is damage.
constexpr size_t kMaxLearnedFileSize = size_t{16} << 20;

// Whether `bytes` are a store that LearnedStore::Load takes: the check of the file it is kept in.
bool IsLearnedStore(const uint8_t* bytes, size_t size);

// What the keys of the words meant by the letters `typed` begin with (LearnedView::PrefixRange).
std::u16string MistakeKey(std::u16string_view typed);

struct LearnedRecord {
  TextRef key;
  TextRef form;
  float weight = 0;
  uint32_t uses = 0;
  bool pair() const;
};

class LearnedView {
 public:
  LearnedView() = default;
  // False when the bytes are not a learned store of this version or a table lies outside them.
  static bool FromBytes(const uint8_t* data, size_t size, LearnedView* out);

  uint32_t count() const { return count_; }
  float wordTotal() const { return wordTotal_; }
  // False when i is not a record or its texts lie outside the text area. A weight that is negative,
  // infinite or not a number reads as 0.
  bool Record(uint32_t i, LearnedRecord* out) const;
  // The records whose key begins with `prefix`: [*first, *end).
  void PrefixRange(std::u16string_view prefix, uint32_t* first, uint32_t* end) const;
  uint32_t rankedCount() const { return rankedCount_; }
  uint32_t Ranked(uint32_t k) const;  // a record index, kNone when damaged

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  uint32_t count_ = 0;
  uint32_t textUnits_ = 0;
  uint32_t rankedCount_ = 0;
  float wordTotal_ = 0;
  size_t rankedOffset_ = 0;
  size_t textOffset_ = 0;
};

class LearnedStore {
 public:
  static constexpr size_t kDefaultCapacity = 20000;
  // Each word written multiplies every weight by this: a word's weight halves over about 700 words.
  static constexpr double kDecay = 0.999;
  // No weight learning gives reaches this: a word written every time adds up to 1 / (1 - kDecay),
  // and the 32 bits it is kept in round it by far less than 1.
  static constexpr double kWeightLimit = 1 / (1 - kDecay) + 1;

  explicit LearnedStore(size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

  // A string that could be a word: 1 to 40 code units, no control character, blank or character that
  // could not be read (U+FFFD), at least one letter (so no number, no punctuation alone). The caller decides what is
  // never learned at all (password fields and the like).
  static bool IsLearnable(std::u16string_view word);

  // A word was written, after `previous` (empty at a sentence start). Strings that are not words are
  // ignored; so is the pair when `previous` is not a word. `sentenceStart`: the word's capital may be
  // the sentence's, so it does not replace the spelling the store knows.
  void Learn(std::u16string_view previous, std::u16string_view word, bool sentenceStart = false);
  // The person added `word` by hand: it counts as written twice (a word the dictionary lacks is
  // offered at once), with no word before it. False when it is not a word.
  bool AddWord(std::u16string_view word);
  // The person meant `word` by the letters `typed` (a corrected spelling was picked). Strings that are
  // not words are ignored. Like a pair, it fades as more is written.
  void LearnMistake(std::u16string_view typed, std::u16string_view word);
  // Drops the word (any spelling with its lowercase) and every pair it is part of, its misspellings
  // among them. False when absent.
  bool Forget(std::u16string_view word);
  void Clear();

  size_t size() const { return items_.size(); }
  // The word's decayed weight relative to the latest word written (which adds 1), 0 when unknown.
  double Weight(std::u16string_view word) const;
  uint32_t Uses(std::u16string_view word) const;

  std::vector<uint8_t> Serialize() const;
  // Replaces this store's contents with the serialised form; false (contents unchanged) when malformed
  // or holding what learning never gives (a form that is not a word, a weight of kWeightLimit or more).
  bool Load(const uint8_t* data, size_t size);

 private:
  struct Item {
    std::u16string key;
    std::u16string form;
    double weight = 0;  // in units of scale_
    uint32_t uses = 0;
    bool formFromSentenceStart = false;
  };
  static std::u16string Id(const std::u16string& key, std::u16string_view form);
  void Add(const std::u16string& key, std::u16string_view form, bool sentenceStart, bool pair);
  void Prune();

  size_t capacity_;
  std::map<std::u16string, Item> items_;  // by key, then lowercase form (the id)
  double scale_ = 1;                      // what the latest word added
};

}  // namespace quillet

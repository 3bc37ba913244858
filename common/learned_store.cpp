#include "common/learned_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/le.h"
#include "common/utf16.h"

namespace quillet {
namespace {

constexpr char16_t kIdSeparator = 0x1E;  // below kPairSeparator: a word sorts before its pairs
constexpr double kRenormaliseAt = 1e6;

// Letters of any script count; digits, punctuation and symbols of the common blocks do not.
bool IsLetterUnit(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) return true;
  if (c < 0xC0 || c == 0xD7 || c == 0xF7) return false;
  if ((c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) || c >= 0xFE00) return false;
  return true;
}

float LoadF32(const uint8_t* p) {
  const uint32_t bits = LoadU32(p);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

void StoreF32(uint8_t* p, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  StoreU32(p, bits);
}

// Where a key stands to a prefix: before it (-1), beginning with it (0) or after it (1).
int ComparePrefix(const TextRef& key, std::u16string_view prefix) {
  const size_t n = std::min<size_t>(key.length, prefix.size());
  for (size_t i = 0; i < n; ++i) {
    if (key[i] != prefix[i]) return key[i] < prefix[i] ? -1 : 1;
  }
  return key.length < prefix.size() ? -1 : 0;
}

}  // namespace

bool LearnedRecord::pair() const {
  for (size_t i = 0; i < key.length; ++i) {
    if (key[i] == kPairSeparator) return true;
  }
  return false;
}

bool LearnedView::FromBytes(const uint8_t* data, size_t size, LearnedView* out) {
  if (data == nullptr || size < kLearnedHeaderSize) return false;
  if (LoadU32(data) != kLearnedTag || LoadU16(data + 4) != kLearnedVersion) return false;
  LearnedView v;
  v.count_ = LoadU32(data + 8);
  v.textUnits_ = LoadU32(data + 12);
  v.rankedCount_ = LoadU32(data + 16);
  v.wordTotal_ = LoadF32(data + 20);
  if (!(v.wordTotal_ >= 0) || v.rankedCount_ > v.count_) return false;  // also rejects NaN
  const uint64_t records = kLearnedHeaderSize + uint64_t{kLearnedRecordSize} * v.count_;
  const uint64_t ranked = records + 4 * uint64_t{v.rankedCount_};
  const uint64_t end = ranked + 2 * uint64_t{v.textUnits_};
  if (end > size) return false;
  v.data_ = data;
  v.size_ = size;
  v.rankedOffset_ = static_cast<size_t>(records);
  v.textOffset_ = static_cast<size_t>(ranked);
  *out = v;
  return true;
}

bool LearnedView::Record(uint32_t i, LearnedRecord* out) const {
  if (i >= count_) return false;
  const uint8_t* p = data_ + kLearnedHeaderSize + size_t{i} * kLearnedRecordSize;
  const uint32_t keyOffset = LoadU32(p), formOffset = LoadU32(p + 8);
  const uint16_t keyLength = LoadU16(p + 4), formLength = LoadU16(p + 6);
  if (uint64_t{keyOffset} + keyLength > textUnits_ || uint64_t{formOffset} + formLength > textUnits_) return false;
  out->key = TextRef{data_ + textOffset_ + 2 * size_t{keyOffset}, keyLength};
  out->form = TextRef{data_ + textOffset_ + 2 * size_t{formOffset}, formLength};
  out->weight = LoadF32(p + 12);
  if (!(out->weight >= 0) || std::isinf(out->weight)) out->weight = 0;  // infinite ones would sum to NaN
  out->uses = LoadU32(p + 16);
  return true;
}

void LearnedView::PrefixRange(std::u16string_view prefix, uint32_t* first, uint32_t* end) const {
  // Records that cannot be read sort as empty keys: a damaged store gives a wrong range, never a crash.
  auto keyAt = [&](uint32_t i) {
    LearnedRecord r;
    return Record(i, &r) ? r.key : TextRef{};
  };
  uint32_t lo = 0, hi = count_;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (ComparePrefix(keyAt(mid), prefix) < 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  *first = lo;
  hi = count_;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (ComparePrefix(keyAt(mid), prefix) <= 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  *end = lo;
}

uint32_t LearnedView::Ranked(uint32_t k) const {
  if (k >= rankedCount_) return kNone;
  const uint32_t i = LoadU32(data_ + rankedOffset_ + 4 * size_t{k});
  return i < count_ ? i : kNone;
}

bool LearnedStore::IsLearnable(std::u16string_view word) {
  if (word.empty() || word.size() > kMaxLearnedLength) return false;
  bool letter = false;
  for (char16_t c : word) {
    if (c < 0x20 || (c >= 0x7F && c <= 0xA0) || c == u' ' || c == 0x2028 || c == 0x2029 || c == 0xFFFD) return false;
    if (IsLetterUnit(c)) letter = true;
  }
  return letter;
}

std::u16string LearnedStore::Id(const std::u16string& key, std::u16string_view form) {
  return key + kIdSeparator + LowerText(form);
}

void LearnedStore::Add(const std::u16string& key, std::u16string_view form, bool sentenceStart, bool pair) {
  const std::u16string id = Id(key, form);
  auto it = items_.find(id);
  if (it == items_.end()) {
    Item item;
    item.key = key;
    // A capital that may only be the sentence's is kept lowercase until the word is seen elsewhere.
    item.form = std::u16string(form);
    if (sentenceStart && !pair && LowerText(item.form.substr(1)) == item.form.substr(1)) {
      item.form[0] = SimpleLower(item.form[0]);
    }
    item.formFromSentenceStart = sentenceStart;
    it = items_.emplace(id, std::move(item)).first;
  } else if (!sentenceStart || pair) {
    it->second.form = std::u16string(form);
    it->second.formFromSentenceStart = false;
  }
  it->second.weight += scale_;
  if (it->second.uses < 0xFFFFFFFF) ++it->second.uses;
}

void LearnedStore::Learn(std::u16string_view previous, std::u16string_view word, bool sentenceStart) {
  if (!IsLearnable(word)) return;
  const std::u16string key = WordKey(word);
  if (key.empty()) return;
  scale_ /= kDecay;
  Add(key, word, sentenceStart, false);
  if (!previous.empty() && IsLearnable(previous)) {
    const std::u16string before = WordKey(previous);
    if (!before.empty()) Add(before + kPairSeparator + key, word, sentenceStart, true);
  }
  if (scale_ > kRenormaliseAt) {
    for (auto& [id, item] : items_) item.weight /= scale_;
    scale_ = 1;
  }
  if (items_.size() > capacity_) Prune();
}

bool LearnedStore::AddWord(std::u16string_view word) {
  if (!IsLearnable(word)) return false;
  const std::u16string key = WordKey(word);
  if (key.empty()) return false;
  // Twice the weight the latest word written got.
  Add(key, word, false, false);
  Add(key, word, false, false);
  if (items_.size() > capacity_) Prune();
  return true;
}

std::u16string MistakeKey(std::u16string_view typed) {
  std::u16string key(1, kMistakeMark);
  for (char16_t c : typed) key += FoldLower(c);
  return key + kPairSeparator;
}

void LearnedStore::LearnMistake(std::u16string_view typed, std::u16string_view word) {
  if (!IsLearnable(typed) || !IsLearnable(word)) return;
  const std::u16string key = WordKey(word);
  if (key.empty()) return;
  Add(MistakeKey(typed) + key, word, false, true);
  if (items_.size() > capacity_) Prune();
}

void LearnedStore::Prune() {
  // The weakest go, down to nine tenths of the capacity, so pruning is not paid on every word.
  std::vector<double> weights;
  weights.reserve(items_.size());
  for (const auto& [id, item] : items_) weights.push_back(item.weight);
  const size_t keep = capacity_ - capacity_ / 10;
  std::nth_element(weights.begin(), weights.begin() + (weights.size() - keep), weights.end());
  const double threshold = weights[weights.size() - keep];
  size_t excess = items_.size() - keep;
  for (auto it = items_.begin(); it != items_.end() && excess > 0;) {
    if (it->second.weight < threshold || (it->second.weight == threshold && excess > 0)) {
      it = items_.erase(it);
      --excess;
    } else {
      ++it;
    }
  }
}

bool LearnedStore::Forget(std::u16string_view word) {
  const std::u16string key = WordKey(word);
  const std::u16string lower = LowerText(word);
  bool found = false;
  for (auto it = items_.begin(); it != items_.end();) {
    const Item& item = it->second;
    const size_t separator = item.key.find(kPairSeparator);
    const bool single = separator == std::u16string::npos;
    const bool match =
        (single && item.key == key && LowerText(item.form) == lower) ||
        (!single && (item.key.compare(0, separator, key) == 0 && separator == key.size())) ||
        (!single && item.key.compare(separator + 1, std::u16string::npos, key) == 0 && LowerText(item.form) == lower);
    if (match) {
      found = found || single;
      it = items_.erase(it);
    } else {
      ++it;
    }
  }
  return found;
}

void LearnedStore::Clear() {
  items_.clear();
  scale_ = 1;
}

double LearnedStore::Weight(std::u16string_view word) const {
  const auto it = items_.find(Id(WordKey(word), word));
  return it == items_.end() ? 0 : it->second.weight / scale_;
}

uint32_t LearnedStore::Uses(std::u16string_view word) const {
  const auto it = items_.find(Id(WordKey(word), word));
  return it == items_.end() ? 0 : it->second.uses;
}

std::vector<uint8_t> LearnedStore::Serialize() const {
  // The text first, so that the whole form is laid out once, at its final size.
  size_t textUnits = 0;
  std::vector<uint32_t> single;
  std::vector<double> weightOf;
  weightOf.reserve(items_.size());
  double total = 0;
  for (const auto& [id, item] : items_) {
    textUnits += item.key.size() + item.form.size();
    const double weight = item.weight / scale_;
    if (item.key.find(kPairSeparator) == std::u16string::npos) {
      single.push_back(static_cast<uint32_t>(weightOf.size()));
      total += weight;
    }
    weightOf.push_back(weight);
  }
  std::stable_sort(single.begin(), single.end(), [&](uint32_t a, uint32_t b) { return weightOf[a] > weightOf[b]; });
  if (single.size() > kMaxRanked) single.resize(kMaxRanked);

  const size_t rankedAt = kLearnedHeaderSize + kLearnedRecordSize * items_.size();
  const size_t textAt = rankedAt + 4 * single.size();
  std::vector<uint8_t> out(textAt + 2 * textUnits);
  StoreU32(&out[0], kLearnedTag);
  StoreU16(&out[4], kLearnedVersion);
  StoreU32(&out[8], static_cast<uint32_t>(items_.size()));
  StoreU32(&out[12], static_cast<uint32_t>(textUnits));
  StoreU32(&out[16], static_cast<uint32_t>(single.size()));
  StoreF32(&out[20], static_cast<float>(total));
  uint32_t unit = 0;
  auto put = [&](const std::u16string& t) {
    for (char16_t c : t) StoreU16(&out[textAt + 2 * size_t{unit++}], c);
  };
  size_t i = 0;
  for (const auto& [id, item] : items_) {
    uint8_t* p = &out[kLearnedHeaderSize + kLearnedRecordSize * i];
    StoreU32(p, unit);
    StoreU16(p + 4, static_cast<uint16_t>(item.key.size()));
    put(item.key);
    StoreU16(p + 6, static_cast<uint16_t>(item.form.size()));
    StoreU32(p + 8, unit);
    put(item.form);
    StoreF32(p + 12, static_cast<float>(weightOf[i]));
    StoreU32(p + 16, item.uses);
    ++i;
  }
  for (size_t k = 0; k < single.size(); ++k) StoreU32(&out[rankedAt + 4 * k], single[k]);
  return out;
}

bool LearnedStore::Load(const uint8_t* data, size_t size) {
  LearnedView view;
  if (!LearnedView::FromBytes(data, size, &view)) return false;
  std::map<std::u16string, Item> items;
  for (uint32_t i = 0; i < view.count(); ++i) {
    LearnedRecord r;
    if (!view.Record(i, &r)) return false;
    Item item;
    item.key = r.key.ToString();
    item.form = r.form.ToString();
    // Only what the store itself could have learned is taken back.
    const size_t separator = item.key.find(kPairSeparator);
    const std::u16string second = separator == std::u16string::npos ? item.key : item.key.substr(separator + 1);
    if (!IsLearnable(item.form) || WordKey(item.form) != second || !(r.weight < kWeightLimit)) return false;
    if (!item.key.empty() && item.key[0] == kMistakeMark && !IsLearnable(item.key.substr(1, separator - 1))) {
      return false;
    }
    item.weight = r.weight;
    item.uses = r.uses;
    items[Id(item.key, item.form)] = std::move(item);
  }
  items_.swap(items);
  scale_ = 1;
  if (items_.size() > capacity_) Prune();
  return true;
}

bool IsLearnedStore(const uint8_t* bytes, size_t size) {
  LearnedStore check;
  return check.Load(bytes, size);
}

}  // namespace quillet

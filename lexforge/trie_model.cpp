#include "lexforge/trie_model.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_set>

#include "common/le.h"
#include "lexforge/mapping_result.h"
#include "platform/file.h"

namespace quillet::lexforge {
namespace {

constexpr char kTrieTag[] = "Trie Language Model";
constexpr size_t kTrieTagSize = sizeof(kTrieTag) - 1;
constexpr uint32_t kQuantBins = 1u << 16;  // 16-bit codes for probabilities and backoffs
constexpr size_t kUnigramSize = 12;        // prob, backoff (floats), first child
// Scores are kept as logarithms to the base 1.0001; ARPA wants base 10.
const double kToLog10 = std::log10(1.0001);

// A little-endian reader over the file that never moves past its end.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Take(size_t n, const uint8_t** out) {
    if (size_ - at_ < n) return false;
    *out = data_ + at_;
    at_ += n;
    return true;
  }
  bool U32(uint32_t* v) {
    const uint8_t* p;
    if (!Take(4, &p)) return false;
    *v = LoadU32(p);
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

float LoadF32(const uint8_t* p) {
  const uint32_t bits = LoadU32(p);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

uint8_t RequiredBits(uint32_t max) {
  uint8_t bits = 0;
  while (max != 0) {
    ++bits;
    max >>= 1;
  }
  return bits;
}

// Bit fields packed back to back, each read from the little-endian word that holds its first bit.
class BitArray {
 public:
  BitArray(const uint8_t* base, size_t size) : base_(base), size_(size) {}
  bool Read(uint64_t bit, uint8_t bits, uint32_t* out) const {
    const uint64_t byte = bit >> 3;
    if (byte > size_ || size_ - byte < 8) return false;
    uint64_t word = 0;
    for (int i = 7; i >= 0; --i) word = (word << 8) | base_[byte + i];
    const uint64_t mask = bits >= 32 ? uint64_t{0xFFFFFFFF} : (uint64_t{1} << bits) - 1;
    *out = static_cast<uint32_t>((word >> (bit & 7)) & mask);
    return true;
  }

 private:
  const uint8_t* base_;
  size_t size_;
};

// A packed table of one order: per record a word id, the quantised weights and (below the highest
// order) the index of its first child in the next table.
struct Level {
  BitArray bits{nullptr, 0};
  uint32_t count = 0;
  uint8_t wordBits = 0;
  uint8_t quantBits = 0;
  uint8_t nextBits = 0;
  uint32_t total() const { return uint32_t{wordBits} + quantBits + nextBits; }
};

uint64_t LevelSize(uint32_t entries, uint32_t totalBits) {
  // One extra record holds the end of the last child range; 8 bytes of slack keep word reads inside.
  return ((uint64_t{entries} + 1) * totalBits + 7) / 8 + 8;
}

// A weight that ARPA text cannot write (infinite or not a number) makes the model malformed.
bool Decode(const uint8_t* table, uint32_t code, float* out) {
  if (code >= kQuantBins) return false;
  const float value = LoadF32(table + 4 * size_t{code});
  if (!std::isfinite(value)) return false;
  *out = static_cast<float>(value * kToLog10);
  return true;
}

// Where the parts of a trie model lie in its bytes, each checked to lie inside them.
struct TrieLayout {
  int order = 0;
  uint32_t counts[3] = {0, 0, 0};
  // Per middle order a prob table and a backoff table, then the longest order's prob table, each of
  // kQuantBins floats.
  const uint8_t* quant = nullptr;
  const uint8_t* unigrams = nullptr;
  Level levels[2];  // bigrams, trigrams
  const uint8_t* wordText = nullptr;
  uint32_t wordTextSize = 0;
};

// The tag, the order and the count of each order.
bool ReadHeader(Cursor& in, size_t size, TrieLayout* layout) {
  const uint8_t* p;
  if (!in.Take(kTrieTagSize, &p) || std::memcmp(p, kTrieTag, kTrieTagSize) != 0) return false;
  if (!in.Take(1, &p)) return false;
  layout->order = *p;
  if (layout->order < 1 || layout->order > 3) return false;
  for (int i = 0; i < layout->order; ++i) {
    if (!in.U32(&layout->counts[i])) return false;
  }
  // Word ids are packed in at most 25 bits; larger counts cannot come from a real model.
  for (int i = 0; i < layout->order; ++i) {
    if (layout->counts[i] == 0 || layout->counts[i] >= (1u << 25)) return false;
  }
  return (uint64_t{layout->counts[0]} + 1) * kUnigramSize <= size;
}

// The quantisation tables (read in place), the unigram table, the packed levels and the word text.
bool ReadTables(Cursor& in, size_t size, TrieLayout* layout) {
  const int order = layout->order;
  if (order > 1) {
    uint32_t kind;
    if (!in.U32(&kind)) return false;
    const size_t tables = 2 * (order - 2) + 1;
    if (!in.Take(tables * kQuantBins * 4, &layout->quant)) return false;
  }
  if (!in.Take(static_cast<size_t>((uint64_t{layout->counts[0]} + 1) * kUnigramSize), &layout->unigrams)) return false;
  const uint8_t wordBits = RequiredBits(layout->counts[0]);
  for (int n = 2; n <= order; ++n) {
    Level& l = layout->levels[n - 2];
    l.count = layout->counts[n - 1];
    l.wordBits = wordBits;
    l.quantBits = n == order ? 16 : 32;
    l.nextBits = n == order ? 0 : RequiredBits(layout->counts[n]);
    const uint64_t bytes = LevelSize(l.count, l.total());
    const uint8_t* p;
    if (bytes > size || !in.Take(static_cast<size_t>(bytes), &p)) return false;
    l.bits = BitArray(p, static_cast<size_t>(bytes));
  }
  return in.U32(&layout->wordTextSize) && in.Take(layout->wordTextSize, &layout->wordText);
}

// The words, NUL-terminated one after the other. Each must stand as one word in ARPA text: not empty,
// no blank or control character, none listed twice.
bool ReadWords(const TrieLayout& layout, std::vector<std::string>* words) {
  const uint8_t* text = layout.wordText;
  const uint32_t size = layout.wordTextSize, count = layout.counts[0];
  words->reserve(count);
  for (size_t at = 0; at < size && words->size() < count;) {
    const void* nul = std::memchr(text + at, 0, size - at);
    if (nul == nullptr) return false;
    const size_t end = static_cast<const uint8_t*>(nul) - text;
    words->emplace_back(reinterpret_cast<const char*>(text + at), end - at);
    at = end + 1;
  }
  if (words->size() != count) return false;
  std::unordered_set<std::string_view> seen;
  seen.reserve(words->size());
  for (const std::string& w : *words) {
    if (w.empty() || !seen.insert(w).second) return false;
    for (const char c : w) {
      if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return false;
    }
  }
  return true;
}

bool ReadUnigrams(const TrieLayout& layout, std::vector<TrieNgram>* out) {
  out->reserve(layout.counts[0]);
  for (uint32_t w = 0; w < layout.counts[0]; ++w) {
    const uint8_t* u = layout.unigrams + kUnigramSize * size_t{w};
    const float prob = LoadF32(u), backoff = LoadF32(u + 4);
    if (!std::isfinite(prob) || !std::isfinite(backoff)) return false;
    TrieNgram g;
    g.words[0] = w;
    g.logProb = static_cast<float>(prob * kToLog10);
    g.logBackoff = static_cast<float>(backoff * kToLog10);
    out->push_back(g);
  }
  return true;
}

// One record of a level: its word, its quantised weights and (below the highest order) its first child.
bool ReadRecord(const Level& l, uint32_t index, uint32_t* word, uint32_t* quantCode, uint32_t* child) {
  const uint64_t at = uint64_t{index} * l.total();
  if (!l.bits.Read(at, l.wordBits, word)) return false;
  if (!l.bits.Read(at + l.wordBits, l.quantBits, quantCode)) return false;
  if (l.nextBits != 0 && !l.bits.Read(at + l.wordBits + l.quantBits, l.nextBits, child)) return false;
  return true;
}

// The bigrams and trigrams. The trie holds each n-gram reversed: under the predicted word come the words
// before it, the nearest first. A record's children are the range from its own child index to the next
// record's.
class HigherOrders {
 public:
  HigherOrders(const TrieLayout& layout, TrieModel* model)
      : layout_(layout),
        model_(*model),
        middleProb_(layout.quant),
        middleBackoff_(layout.quant + 4 * kQuantBins),
        longestProb_(layout.quant + (layout.order == 3 ? 2 : 0) * 4 * kQuantBins) {}

  bool Read() {
    const Level& bigrams = layout_.levels[0];
    model_.ngrams[1].reserve(bigrams.count);
    if (layout_.order == 3) model_.ngrams[2].reserve(layout_.levels[1].count);
    for (uint32_t w = 0; w < layout_.counts[0]; ++w) {
      const uint32_t begin = NextOf(w), end = NextOf(w + 1);
      if (begin > end || end > bigrams.count) return false;
      for (uint32_t b = begin; b < end; ++b) {
        if (!ReadBigram(w, b)) return false;
      }
    }
    return true;
  }

 private:
  // Where a unigram's bigrams begin.
  uint32_t NextOf(uint32_t w) const { return LoadU32(layout_.unigrams + kUnigramSize * size_t{w} + 8); }

  // Bigram record `b` under the word `w`, then (in a model of order 3) its trigrams.
  bool ReadBigram(uint32_t w, uint32_t b) {
    const Level& bigrams = layout_.levels[0];
    uint32_t previous, code, child = 0, childEnd = 0, ignored, ignoredCode;
    if (!ReadRecord(bigrams, b, &previous, &code, &child) || previous >= layout_.counts[0]) return false;
    TrieNgram g;
    g.words[0] = previous;
    g.words[1] = w;
    if (layout_.order == 2) {
      if (!Decode(longestProb_, code, &g.logProb)) return false;
    } else {
      // Middle records: the backoff code in the low 16 bits, the probability code above it.
      if (!Decode(middleProb_, code >> 16, &g.logProb) || !Decode(middleBackoff_, code & 0xFFFF, &g.logBackoff)) {
        return false;
      }
      if (!ReadRecord(bigrams, b + 1, &ignored, &ignoredCode, &childEnd)) return false;
    }
    model_.ngrams[1].push_back(g);
    return layout_.order < 3 || ReadTrigrams(previous, w, child, childEnd);
  }

  bool ReadTrigrams(uint32_t previous, uint32_t w, uint32_t first, uint32_t end) {
    const Level& trigrams = layout_.levels[1];
    if (first > end || end > trigrams.count) return false;
    for (uint32_t t = first; t < end; ++t) {
      uint32_t oldest, code, none;
      if (!ReadRecord(trigrams, t, &oldest, &code, &none) || oldest >= layout_.counts[0]) return false;
      TrieNgram h;
      h.words[0] = oldest;
      h.words[1] = previous;
      h.words[2] = w;
      if (!Decode(longestProb_, code, &h.logProb)) return false;
      model_.ngrams[2].push_back(h);
    }
    return true;
  }

  const TrieLayout& layout_;
  TrieModel& model_;
  const uint8_t* middleProb_;
  const uint8_t* middleBackoff_;
  const uint8_t* longestProb_;
};

}  // namespace

Result ReadTrieModel(const uint8_t* data, size_t size, TrieModel* out) {
  Cursor in(data, size);
  TrieLayout layout;
  if (!ReadHeader(in, size, &layout) || !ReadTables(in, size, &layout)) return Result::kMalformed;
  TrieModel m;
  m.order = layout.order;
  m.ngrams.resize(layout.order);
  if (!ReadWords(layout, &m.words) || !ReadUnigrams(layout, &m.ngrams[0])) return Result::kMalformed;
  if (layout.order > 1 && !HigherOrders(layout, &m).Read()) return Result::kMalformed;
  *out = std::move(m);
  return Result::kSuccess;
}

std::string FormatArpa(const TrieModel& model) {
  std::string text = "\\data\\\n";
  char line[512];
  for (int n = 1; n <= model.order; ++n) {
    std::snprintf(line, sizeof line, "ngram %d=%zu\n", n, model.ngrams[n - 1].size());
    text += line;
  }
  for (int n = 1; n <= model.order; ++n) {
    std::snprintf(line, sizeof line, "\n\\%d-grams:\n", n);
    text += line;
    for (const TrieNgram& g : model.ngrams[n - 1]) {
      std::snprintf(line, sizeof line, "%.4f\t", g.logProb);
      text += line;
      for (int k = 0; k < n; ++k) {
        if (k > 0) text += ' ';
        text += model.words[g.words[k]];
      }
      if (n < model.order) {
        std::snprintf(line, sizeof line, "\t%.4f", g.logBackoff);
        text += line;
      }
      text += '\n';
    }
  }
  text += "\n\\end\\\n";
  return text;
}

Result ConvertTrieModelToArpa(const std::u16string& source, const std::u16string& destination, ModelReport* report) {
  ModelReport ignored;
  ModelReport& seen = report != nullptr ? *report : ignored;
  seen = ModelReport{};
  auto fail = [&](Result r, const std::u16string& path) {
    seen.failedPath = path;
    return r;
  };
  platform::File in;
  if (!in.OpenRead(source, &seen.osError)) return fail(Result::kFileOpenFailed, source);
  platform::FileMapping bytes;
  if (const Result r = MapForReading(in, &bytes, &seen.osError); r != Result::kSuccess) return fail(r, source);
  TrieModel model;
  if (const Result r = ReadTrieModel(bytes.data(), bytes.size(), &model); r != Result::kSuccess) return fail(r, source);
  bytes.Unmap();
  in.Close();
  seen.order = model.order;
  for (int n = 0; n < model.order; ++n) seen.counts[n] = model.ngrams[n].size();
  const std::string text = FormatArpa(model);

  platform::File out;
  if (!out.Create(destination, &seen.osError)) return fail(Result::kFileOpenFailed, destination);
  size_t done = 0;
  if (!out.Write(text.data(), text.size(), &done, &seen.osError) || done != text.size() || !out.Close(&seen.osError)) {
    return fail(Result::kFileWriteFailed, destination);
  }
  return Result::kSuccess;
}

}  // namespace quillet::lexforge

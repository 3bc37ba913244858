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

}  // namespace

Result ReadTrieModel(const uint8_t* data, size_t size, TrieModel* out) {
  Cursor in(data, size);
  const uint8_t* p;
  if (!in.Take(kTrieTagSize, &p) || std::memcmp(p, kTrieTag, kTrieTagSize) != 0) return Result::kMalformed;
  if (!in.Take(1, &p)) return Result::kMalformed;
  const int order = *p;
  if (order < 1 || order > 3) return Result::kMalformed;
  uint32_t counts[3] = {0, 0, 0};
  for (int i = 0; i < order; ++i) {
    if (!in.U32(&counts[i])) return Result::kMalformed;
  }
  // Word ids are packed in at most 25 bits; larger counts cannot come from a real model.
  for (int i = 0; i < order; ++i) {
    if (counts[i] == 0 || counts[i] >= (1u << 25)) return Result::kMalformed;
  }
  const uint64_t unigramBytes = (uint64_t{counts[0]} + 1) * kUnigramSize;
  if (unigramBytes > size) return Result::kMalformed;

  // Per middle order a prob table and a backoff table, then the longest order's prob table, each of
  // kQuantBins floats: read in place.
  const uint8_t* quant = nullptr;
  if (order > 1) {
    uint32_t kind;
    if (!in.U32(&kind)) return Result::kMalformed;
    const size_t tables = 2 * (order - 2) + 1;
    if (!in.Take(tables * kQuantBins * 4, &quant)) return Result::kMalformed;
  }
  const uint8_t* unigrams;
  if (!in.Take(static_cast<size_t>(unigramBytes), &unigrams)) return Result::kMalformed;

  Level levels[2];
  const uint8_t wordBits = RequiredBits(counts[0]);
  for (int n = 2; n <= order; ++n) {
    Level& l = levels[n - 2];
    l.count = counts[n - 1];
    l.wordBits = wordBits;
    l.quantBits = n == order ? 16 : 32;
    l.nextBits = n == order ? 0 : RequiredBits(counts[n]);
    const uint64_t bytes = LevelSize(l.count, l.total());
    if (bytes > size) return Result::kMalformed;
    if (!in.Take(static_cast<size_t>(bytes), &p)) return Result::kMalformed;
    l.bits = BitArray(p, static_cast<size_t>(bytes));
  }
  uint32_t textSize;
  if (!in.U32(&textSize) || !in.Take(textSize, &p)) return Result::kMalformed;

  TrieModel m;
  m.order = order;
  m.words.reserve(counts[0]);
  for (size_t at = 0; at < textSize && m.words.size() < counts[0];) {
    const void* nul = std::memchr(p + at, 0, textSize - at);
    if (nul == nullptr) return Result::kMalformed;
    const size_t end = static_cast<const uint8_t*>(nul) - p;
    m.words.emplace_back(reinterpret_cast<const char*>(p + at), end - at);
    at = end + 1;
  }
  if (m.words.size() != counts[0]) return Result::kMalformed;
  // Each word must stand as one word in ARPA text: no blank or control character, none listed twice.
  std::unordered_set<std::string_view> seen;
  seen.reserve(m.words.size());
  for (const std::string& w : m.words) {
    if (w.empty() || !seen.insert(w).second) return Result::kMalformed;
    for (const char c : w) {
      if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return Result::kMalformed;
    }
  }

  m.ngrams.resize(order);
  auto next = [&](uint32_t i) { return LoadU32(unigrams + kUnigramSize * size_t{i} + 8); };
  m.ngrams[0].reserve(counts[0]);
  for (uint32_t w = 0; w < counts[0]; ++w) {
    const uint8_t* u = unigrams + kUnigramSize * size_t{w};
    const float prob = LoadF32(u), backoff = LoadF32(u + 4);
    if (!std::isfinite(prob) || !std::isfinite(backoff)) return Result::kMalformed;
    TrieNgram g;
    g.words[0] = w;
    g.logProb = static_cast<float>(prob * kToLog10);
    g.logBackoff = static_cast<float>(backoff * kToLog10);
    m.ngrams[0].push_back(g);
  }
  if (order == 1) {
    *out = std::move(m);
    return Result::kSuccess;
  }

  // The trie holds each n-gram reversed: under the predicted word come the words before it, the
  // nearest first. A record's children are the range from its own child index to the next record's.
  const uint8_t* middleProb = quant;
  const uint8_t* middleBackoff = quant + 4 * kQuantBins;
  const uint8_t* longestProb = quant + (order == 3 ? 2 : 0) * 4 * kQuantBins;
  auto readRecord = [](const Level& l, uint32_t index, uint32_t* word, uint32_t* quantCode, uint32_t* child) {
    const uint64_t at = uint64_t{index} * l.total();
    if (!l.bits.Read(at, l.wordBits, word)) return false;
    if (!l.bits.Read(at + l.wordBits, l.quantBits, quantCode)) return false;
    if (l.nextBits != 0 && !l.bits.Read(at + l.wordBits + l.quantBits, l.nextBits, child)) return false;
    return true;
  };
  const Level& bigrams = levels[0];
  m.ngrams[1].reserve(bigrams.count);
  if (order == 3) m.ngrams[2].reserve(levels[1].count);
  for (uint32_t w = 0; w < counts[0]; ++w) {
    const uint32_t begin = next(w), end = next(w + 1);
    if (begin > end || end > bigrams.count) return Result::kMalformed;
    for (uint32_t b = begin; b < end; ++b) {
      uint32_t previous, code, child = 0, childEnd = 0, ignored, ignoredCode;
      if (!readRecord(bigrams, b, &previous, &code, &child) || previous >= counts[0]) return Result::kMalformed;
      TrieNgram g;
      g.words[0] = previous;
      g.words[1] = w;
      if (order == 2) {
        if (!Decode(longestProb, code, &g.logProb)) return Result::kMalformed;
      } else {
        // Middle records: the backoff code in the low 16 bits, the probability code above it.
        if (!Decode(middleProb, code >> 16, &g.logProb) || !Decode(middleBackoff, code & 0xFFFF, &g.logBackoff)) {
          return Result::kMalformed;
        }
        if (!readRecord(bigrams, b + 1, &ignored, &ignoredCode, &childEnd)) return Result::kMalformed;
      }
      m.ngrams[1].push_back(g);
      if (order < 3) continue;
      const Level& trigrams = levels[1];
      if (child > childEnd || childEnd > trigrams.count) return Result::kMalformed;
      for (uint32_t t = child; t < childEnd; ++t) {
        uint32_t first, tcode, none;
        if (!readRecord(trigrams, t, &first, &tcode, &none) || first >= counts[0]) return Result::kMalformed;
        TrieNgram h;
        h.words[0] = first;
        h.words[1] = previous;
        h.words[2] = w;
        if (!Decode(longestProb, tcode, &h.logProb)) return Result::kMalformed;
        m.ngrams[2].push_back(h);
      }
    }
  }
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

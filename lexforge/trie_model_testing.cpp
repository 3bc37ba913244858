#include "lexforge/trie_model_testing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "common/le.h"

namespace quillet::lexforge::testing {
namespace {

constexpr char kTrieTag[] = "Trie Language Model";
constexpr uint32_t kTileCodes = kTrieQuantTileBytes / 4;
const double kToLog10 = std::log10(1.0001);

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
  uint8_t b[4];
  StoreU32(b, v);
  out->insert(out->end(), b, b + 4);
}

void PutF32(std::vector<uint8_t>* out, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  PutU32(out, bits);
}

uint32_t Code(float log10) {
  const long c = std::lround(-log10 / kToLog10 / 500);
  return static_cast<uint32_t>(std::clamp<long>(c, 0, kTileCodes - 1));
}

uint8_t Bits(uint32_t max) {
  uint8_t bits = 0;
  for (; max != 0; max >>= 1) ++bits;
  return bits;
}

// Fields packed back to back from bit 0 of the first byte.
class BitWriter {
 public:
  explicit BitWriter(size_t bytes) : bytes_(bytes, 0) {}
  void Put(uint64_t bit, uint8_t bits, uint32_t value) {
    for (uint8_t i = 0; i < bits; ++i, ++bit) {
      if ((value >> i) & 1) bytes_[bit >> 3] |= static_cast<uint8_t>(1u << (bit & 7));
    }
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

std::vector<uint8_t> WriteTrieModel(const TrieModel& m) {
  std::vector<uint8_t> out(kTrieTag, kTrieTag + sizeof kTrieTag - 1);
  out.push_back(static_cast<uint8_t>(m.order));
  uint32_t counts[3] = {};
  for (int n = 0; n < m.order; ++n) {
    counts[n] = static_cast<uint32_t>(m.ngrams[n].size());
    PutU32(&out, counts[n]);
  }
  if (m.order > 1) {
    PutU32(&out, 0);  // the quantisation kind, which the reader does not look at
    std::vector<uint8_t> tile;
    for (uint32_t code = 0; code < kTileCodes; ++code) PutF32(&tile, -500.0f * code);
    const uint32_t tables = 2 * (m.order - 2) + 1;
    for (uint32_t k = 0; k < tables * 65536 / kTileCodes; ++k) out.insert(out.end(), tile.begin(), tile.end());
  }
  // Unigrams, one more at the end: weights as floats, then the first of the bigrams ending in it.
  uint32_t bigram = 0;
  for (uint32_t w = 0; w <= counts[0]; ++w) {
    const TrieNgram g = w < counts[0] ? m.ngrams[0][w] : TrieNgram{};
    PutF32(&out, static_cast<float>(g.logProb / kToLog10));
    PutF32(&out, static_cast<float>(g.logBackoff / kToLog10));
    while (m.order > 1 && bigram < counts[1] && m.ngrams[1][bigram].words[1] < w) ++bigram;
    PutU32(&out, bigram);
  }
  // A bigram's first trigram: the trigrams under the bigrams before it come first.
  auto firstTrigram = [&](uint32_t b) {
    uint32_t before = 0;
    for (uint32_t t = 0; t < counts[2]; ++t) {
      const TrieNgram& g = m.ngrams[2][t];
      uint32_t context = 0;
      while (context < counts[1] &&
             (m.ngrams[1][context].words[0] != g.words[1] || m.ngrams[1][context].words[1] != g.words[2])) {
        ++context;
      }
      if (context < b) ++before;
    }
    return before;
  };
  const uint8_t wordBits = Bits(counts[0]);
  for (int n = 2; n <= m.order; ++n) {
    const uint8_t quantBits = n == m.order ? 16 : 32, nextBits = n == m.order ? 0 : Bits(counts[n]);
    const uint32_t total = wordBits + quantBits + nextBits;
    BitWriter bits(((uint64_t{counts[n - 1]} + 1) * total + 7) / 8 + 8);
    for (uint32_t i = 0; i <= counts[n - 1]; ++i) {
      const uint64_t at = uint64_t{i} * total;
      if (i < counts[n - 1]) {
        const TrieNgram& g = m.ngrams[n - 1][i];
        bits.Put(at, wordBits, g.words[0]);
        // Middle orders: the probability's code above the backoff's.
        bits.Put(at + wordBits, quantBits, n == m.order ? Code(g.logProb) : Code(g.logProb) << 16 | Code(g.logBackoff));
      }
      if (nextBits != 0) bits.Put(at + wordBits + quantBits, nextBits, firstTrigram(i));
    }
    out.insert(out.end(), bits.bytes().begin(), bits.bytes().end());
  }
  std::vector<uint8_t> text;
  for (const std::string& w : m.words) {
    text.insert(text.end(), w.begin(), w.end());
    text.push_back(0);
  }
  PutU32(&out, static_cast<uint32_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

}  // namespace quillet::lexforge::testing

// The ranking data of one dictionary (".rank" beside its ".dict"), used in place like the dictionary:
// fixed-size little-endian tables at offsets from the start of the file, no pointers.
//
//   RankHeader (64 bytes)
//   unigram costs      u16 per entry: how unlikely the entry is on its own
//   block bests        u32 per block of 2^blockShift entries: the block's best entry
//   sparse table       levelCount rows of blockCount u32: row k, cell j = best block of [j, j + 2^k)
//   contexts           ContextRecord (16 bytes) per context, sorted by (older, last)
//   followers          FollowerRecord (6 bytes), each context's run sorted by entry
//
// Costs are -log10(p) * kCostScale, so smaller is likelier; "best" means the lowest cost, the lower
// entry index on a tie. A context is the word before the one being typed (older = kNoWord) or the two
// before it; a sentence start counts as a word (kSentenceStart). Words are named by the dictionary
// entry that stands for them: the first entry whose commit text (else key), in lowercase, is the word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillet {

constexpr uint32_t kRankTag = 0x4B4E5251;  // "QRNK"
constexpr uint16_t kRankVersion = 1;
constexpr size_t kRankHeaderSize = 64;
constexpr size_t kContextRecordSize = 16;
constexpr size_t kFollowerRecordSize = 6;
constexpr uint32_t kNoWord = 0xFFFFFFFF;
constexpr uint32_t kSentenceStart = 0xFFFFFFFE;
constexpr double kCostScale = 2048.0;
constexpr uint16_t kWorstCost = 0xFFFF;  // also the cost of entries the model does not know
constexpr uint16_t kRankBlockShift = 6;

struct RankHeader {
  uint32_t tag = kRankTag;
  uint16_t version = kRankVersion;
  uint16_t blockShift = kRankBlockShift;
  uint64_t fingerprint = 0;  // of the dictionary it was made for (DictionaryFingerprint)
  uint32_t entryCount = 0;
  uint32_t levelCount = 0;
  uint32_t unigramOffset = 0;
  uint32_t blockOffset = 0;
  uint32_t sparseOffset = 0;
  uint32_t contextCount = 0;
  uint32_t contextOffset = 0;
  uint32_t followerCount = 0;
  uint32_t followerOffset = 0;
  // 52..63 reserved, zero
};

struct ContextRecord {
  uint32_t older = kNoWord;  // the word before `last`, kSentenceStart, or kNoWord for one word
  uint32_t last = 0;         // the word just before the one typed, or kSentenceStart
  uint32_t firstFollower = 0;
  uint16_t followerCount = 0;
  int16_t backoff = 0;  // log10 of the context's backoff weight * kCostScale (added to costs)
};

struct FollowerRecord {
  uint32_t entry = 0;
  uint16_t cost = 0;  // of the entry right after this context
};

static_assert(4 + 2 + 2 + 8 + 9 * 4 + 12 == kRankHeaderSize, "RankHeader is 64 bytes");
static_assert(4 + 4 + 4 + 2 + 2 == kContextRecordSize, "ContextRecord is 16 bytes");
static_assert(4 + 2 == kFollowerRecordSize, "FollowerRecord is 6 bytes");

RankHeader ReadRankHeader(const uint8_t* p);
void WriteRankHeader(uint8_t* p, const RankHeader& h);
ContextRecord ReadContextRecord(const uint8_t* p);
void WriteContextRecord(uint8_t* p, const ContextRecord& c);

// One context with its followers, as EncodeRankData takes it.
struct RankContext {
  uint32_t older = kNoWord;
  uint32_t last = 0;
  int16_t backoff = 0;
  std::vector<FollowerRecord> followers;  // sorted by entry, at most 65535
};

// The bytes of ranking data: `costs` per entry, the range maxima over them, and the contexts
// (sorted by ContextBefore). Empty when they would not be addressable with 32-bit offsets.
std::vector<uint8_t> EncodeRankData(uint64_t fingerprint, const std::vector<uint16_t>& costs,
                                    const std::vector<RankContext>& contexts);

// Orders contexts as the file stores them.
inline bool ContextBefore(uint32_t olderA, uint32_t lastA, uint32_t olderB, uint32_t lastB) {
  return olderA != olderB ? olderA < olderB : lastA < lastB;
}

}  // namespace quillet

// The bounds-checked reader of ranking data: a rank file's bytes, or a block holding them. The header's
// tables are checked against the span when the view is made; every value read from them (an entry, a
// block, a follower range) is checked again where it is used, so a damaged file gives a wrong order at
// worst, never a read outside the span.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/dictionary_view.h"
#include "common/rank_format.h"

namespace quillet {

class RankView {
 public:
  RankView() = default;

  // False when the span is not ranking data of this version or a table lies outside it.
  static bool FromBytes(const uint8_t* data, size_t size, RankView* out);

  // True when the data was made for this dictionary: same entry count and fingerprint.
  bool MadeFor(const DictionaryView& dictionary) const;
  // Made for the dictionary with this fingerprint and entry count.
  bool MadeFor(uint64_t fingerprint, uint32_t entryCount) const;

  const RankHeader& header() const { return header_; }
  const uint8_t* data() const { return data_; }
  uint32_t entryCount() const { return header_.entryCount; }
  uint16_t UnigramCost(uint32_t entry) const;  // kWorstCost beyond the entries

  // The best entry of [first, end) by unigram cost, the lower index on a tie; kNone when the range
  // holds no entry. Constant time plus at most two partial blocks.
  uint32_t BestInRange(uint32_t first, uint32_t end) const;

  // The context (older, last); false when the data has none. Its follower range lies inside the
  // follower table (a damaged one reads as empty).
  bool FindContext(uint32_t older, uint32_t last, ContextRecord* out) const;
  FollowerRecord Follower(const ContextRecord& context, uint32_t k) const;  // k < followerCount
  // The first follower k of the context whose entry is at least `entry` (followerCount when none).
  uint32_t LowerFollower(const ContextRecord& context, uint32_t entry) const;

 private:
  bool Better(uint32_t a, uint32_t b) const;  // entry a beats entry b
  uint32_t ScanBest(uint32_t first, uint32_t end) const;
  uint32_t BlockBest(uint32_t block) const;
  uint32_t SparseBlock(uint32_t level, uint32_t block) const;

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  RankHeader header_{};
  uint32_t blockCount_ = 0;
};

// A cheap fingerprint of a dictionary: its counts and the texts of up to 1024 entries spread over it.
// It tells ranking data made for another dictionary from that made for this one.
uint64_t DictionaryFingerprint(const DictionaryView& dictionary);

}  // namespace quillet

// The prefix index: 26-way nodes over runs of entries that share a prefix, made depth first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/dict_format.h"
#include "common/le.h"
#include "common/result.h"

namespace quillet::lexforge {

// The keys the index is made over: a position table (entry count + 1 records) and a key area, as
// the side files ".pos" and ".lst" hold them. Every read is checked against the two spans.
class KeyTable {
 public:
  // `positions` must hold at least `count` records.
  KeyTable(const uint8_t* positions, const uint8_t* keys, size_t keysSize, uint32_t count)
      : positions_(positions), keys_(keys), keysSize_(keysSize), count_(count) {}

  uint32_t count() const { return count_; }

  // The code unit of entry i's key at `depth`; false when the key is not longer than that (or lies
  // outside the key area).
  bool CharAt(uint32_t i, uint32_t depth, char16_t* c) const {
    if (i >= count_) return false;
    const uint64_t offset = LoadU32(positions_ + size_t{i} * kEntryPositionSize);
    if (offset + 2 > keysSize_) return false;
    const uint16_t length = LoadU16(keys_ + offset);
    const uint64_t at = offset + 2 + 2 * uint64_t{depth};
    if (length <= depth || at + 2 > keysSize_) return false;
    *c = static_cast<char16_t>(LoadU16(keys_ + at));
    return true;
  }

 private:
  const uint8_t* positions_;
  const uint8_t* keys_;
  size_t keysSize_;
  uint32_t count_;
};

// Builds the node table. At most count / 100 nodes are made; groups below 100 entries, and groups
// reached when the table is full, stay unindexed. kGeneralFailure when the entry count is beyond what
// node numbers can address. Keys need not be sorted; the result is then still deterministic, but
// readers will not find every entry.
Result BuildIndex(const KeyTable& keys, std::vector<IndexNode>* nodes);

}  // namespace quillet::lexforge

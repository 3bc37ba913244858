// The dictionary layout: a 24-byte header, a table of 26-way index nodes, one position record per
// entry plus a terminator, packed key strings and packed info records. Used in place, in files and
// in the shared dictionary block (where offsets count from the start of the block instead).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet {

constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint16_t kChildUnindexed = 0xFFFE;
constexpr uint16_t kChildAbsent = 0xFFFF;
constexpr size_t kDictHeaderSize = 24;
constexpr size_t kIndexNodeSize = 68;
constexpr size_t kEntryPositionSize = 8;
constexpr size_t kIndexLetters = 26;
constexpr size_t kMaxTextLength = 5119;    // code units in a key or any text
constexpr uint32_t kMaxEntries = 6553499;  // the index's node numbers must stay below 0xFFFE
constexpr uint32_t kEntriesPerNode = 100;  // groups smaller than this get no node

// Field order and meaning are shared by the file header and the block's directory entries.
struct DictHeader {
  uint32_t nodeCount = 0;
  uint32_t entryCount = 0;
  uint32_t nodeTableOffset = kNone;
  uint32_t positionTableOffset = 0;
  uint32_t keyAreaOffset = 0;
  uint32_t infoAreaOffset = kNone;
};

struct IndexNode {
  uint32_t rangeBegin = 0;
  uint32_t rangeEnd = 0;
  uint32_t lettersBegin = kNone;
  uint32_t lettersEnd = kNone;
  uint16_t children[kIndexLetters] = {};
};

struct EntryPosition {
  uint32_t keyOffset = 0;
  uint32_t infoOffset = kNone;
};

static_assert(6 * sizeof(uint32_t) == kDictHeaderSize, "DictHeader is six u32 fields");
static_assert(4 * sizeof(uint32_t) + kIndexLetters * sizeof(uint16_t) == kIndexNodeSize, "IndexNode is 68 bytes");
static_assert(2 * sizeof(uint32_t) == kEntryPositionSize, "EntryPosition is 8 bytes");

DictHeader ReadDictHeader(const uint8_t* p);
void WriteDictHeader(uint8_t* p, const DictHeader& h);
IndexNode ReadIndexNode(const uint8_t* p);
void WriteIndexNode(uint8_t* p, const IndexNode& n);
EntryPosition ReadEntryPosition(const uint8_t* p);
void WriteEntryPosition(uint8_t* p, const EntryPosition& e);

}  // namespace quillet

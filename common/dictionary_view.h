// The one bounds-checked reader of a dictionary image: a dictionary file's mapping or one dictionary
// inside the shared block. Every offset and length is checked against the span before it is read, so
// no input can make a reader touch memory outside it; a damaged entry reads as absent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/dict_format.h"
#include "common/le.h"

namespace quillet {

// A counted string where it lies; units may be unaligned.
struct TextRef {
  const uint8_t* units = nullptr;
  uint16_t length = 0;

  char16_t operator[](size_t i) const { return static_cast<char16_t>(LoadU16(units + 2 * i)); }
  std::u16string ToString() const;
};

struct InfoRef {
  TextRef display;
  TextRef commit;
  TextRef description;
};

class DictionaryView {
 public:
  DictionaryView() = default;

  // A dictionary whose section offsets count from `base` inside [data, data + size): 24 for a file,
  // 0 for the shared block. Fails when the header's tables do not lie inside the span.
  static bool Make(const uint8_t* data, size_t size, const DictHeader& header, size_t base, DictionaryView* out);
  // A whole dictionary file: header at byte 0.
  static bool FromFile(const uint8_t* data, size_t size, DictionaryView* out);

  const DictHeader& header() const { return header_; }
  const uint8_t* data() const { return data_; }
  uint32_t entryCount() const { return header_.entryCount; }
  uint32_t nodeCount() const { return header_.nodeCount; }
  bool hasIndex() const { return header_.nodeCount > 0; }
  bool hasInfo() const { return infoArea_ != kNone; }

  // False when k is not a node of this dictionary.
  bool Node(uint32_t k, IndexNode* out) const;
  // Only the child slot of a node, without reading the whole node (the keystroke path).
  uint16_t Child(uint32_t k, size_t letter) const;
  // False when i is not an entry or its key lies outside the span. Inline: the searches read keys in
  // their inner loops.
  bool Key(uint32_t i, TextRef* out) const {
    if (i >= header_.entryCount) return false;
    const uint32_t offset = LoadU32(data_ + positionTable_ + size_t{i} * kEntryPositionSize);
    return Text(keyArea_ + uint64_t{offset}, out);
  }
  // False when the entry has no info record (or the dictionary no info area, or it lies outside).
  bool Info(uint32_t i, InfoRef* out) const;
  EntryPosition Position(uint32_t i) const;  // i <= entryCount (the terminator included)

 private:
  bool Text(uint64_t at, TextRef* out) const {
    if (at > size_ || size_ - at < 2) return false;
    const uint16_t n = LoadU16(data_ + at);
    if ((size_ - at - 2) / 2 < n) return false;
    out->units = data_ + at + 2;
    out->length = n;
    return true;
  }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  DictHeader header_{};
  size_t nodeTable_ = 0;  // absolute offsets in the span
  size_t positionTable_ = 0;
  size_t keyArea_ = 0;
  uint64_t infoArea_ = kNone;
};

// The dictionary block, the form in which the loader publishes the dictionaries: two reserved bytes
// (the loader's generation), a u16 count, then one 24-byte directory entry per dictionary, each a
// dictionary header whose offsets count from the start of the block.
inline constexpr size_t kDirectoryEntriesOffset = 4;
inline constexpr size_t kDirectoryEntrySize = 24;
static_assert(kDirectoryEntrySize == kDictHeaderSize, "a directory entry is a dictionary header");

// The views of a dictionary block of `size` bytes, in block order: as many as its count says and the
// block holds entries for, an entry that points outside the block giving an empty view (so that
// positions still match the settings and nothing outside is read); a position beyond the directory
// reads as empty too. Empty for a block too small for a count.
std::vector<DictionaryView> ReadDictionaryDirectory(const uint8_t* block, size_t size);

// The dictionary block for whole dictionary files: each file's bytes after its header, directory
// offsets rebased to the block. Empty when there is no file, a file is shorter than its header, or the
// block would not be addressable with 32-bit offsets.
std::vector<uint8_t> DictionaryBlockImage(const std::vector<std::vector<uint8_t>>& files);

}  // namespace quillet

// Composition of the dictionary block that the loader publishes: a directory of one entry per
// dictionary of the settings record, in the record's order, then the bytes of each dictionary file
// after its 24-byte header, placed unchanged. A directory entry is the file's header with the body's
// block offset added to every offset that is not 0xFFFFFFFF. Each publication is a block of its own,
// never written once published.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/dict_format.h"
#include "common/result.h"

namespace quillet::warden {

constexpr size_t kMaxPublishedDictionaries = 12;
// Room for the largest directory; data starts past it, so a directory never overlaps any data.
constexpr size_t kDirectoryAreaSize = 320;
static_assert(4 + 24 * kMaxPublishedDictionaries <= kDirectoryAreaSize, "directory area holds 12 entries");
// Every offset in the block must fit in 32 bits, and every host, 32-bit ones too, maps the whole block.
constexpr size_t kMaxBlockSize = size_t{1} << 30;
constexpr size_t kBodyAlignment = 8;

// One dictionary ready to be placed: a whole valid file, or a zero-entry placeholder that stands in
// for a file that could not be read or is malformed (so positions still match the record).
struct PreparedDictionary {
  DictHeader header;                  // offsets relative to the start of the body
  std::vector<uint8_t> file;          // the whole file; the body starts at byte 24 (empty for a placeholder)
  Result problem = Result::kSuccess;  // why this is a placeholder
  std::vector<uint8_t> ranking;       // the ranking data made for it (the .rank file beside it); empty: none

  bool placeholder() const { return problem != Result::kSuccess; }
  size_t bodySize() const;
  const uint8_t* body() const;
};

// Takes a file's bytes: the dictionary itself when its header and tables lie inside the file (checked
// with the one bounds-checked reader), else a placeholder with Result::kMalformed.
PreparedDictionary PrepareDictionary(std::vector<uint8_t> file);
// A valid dictionary of no entries: a position table holding only the terminator record.
PreparedDictionary Placeholder(Result problem);

using DictionaryList = std::vector<const PreparedDictionary*>;

// Bytes that the bodies take in the data area, each starting on kBodyAlignment (saturating at
// kMaxBlockSize).
size_t DataSize(const DictionaryList& dictionaries);
size_t DataSize(const PreparedDictionary& dictionary);
// The size of the block for these dictionaries; 0 when they do not fit in kMaxBlockSize.
size_t ImageSize(const DictionaryList& dictionaries);

// Writes the directory (the count at byte 2, entries from byte 4) and the bodies after the directory
// area into `block`, of `size` bytes (ImageSize of the list; what does not fit is left out); bytes
// 0..1 get `generation`. Allocates nothing.
void WriteImage(uint8_t* block, size_t size, const DictionaryList& dictionaries, uint16_t generation);

DictionaryList ListOf(const std::vector<PreparedDictionary>& dictionaries);

// The generation stored by the last WriteImage, for diagnostics and tests.
uint16_t ImageGeneration(const uint8_t* block);

}  // namespace quillet::warden

// The sound index of a dictionary: its entries in the order of their keys' sound keys (see
// lookup/sound_key.h), so that the entries that sound like a typed word are one binary search away.
// Made from the dictionary alone, 4 bytes per entry:
//
//   tag u32 "QSND", version u16, reserved u16, fingerprint u64 (DictionaryFingerprint of the dictionary
//   it was made for), entryCount u32 (the dictionary's), count u32, then count u32 entry numbers.
//
// Read in place like the dictionary; every entry number read is checked again by whoever uses it, so a
// damaged index gives wrong or no matches, never a read outside the span.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/dictionary_view.h"

namespace quillet {

constexpr uint32_t kSoundIndexTag = 0x444E5351;  // "QSND"
constexpr uint16_t kSoundIndexVersion = 1;
constexpr size_t kSoundIndexHeaderSize = 24;

class SoundIndexView {
 public:
  SoundIndexView() = default;

  // False when the span is not a sound index of this version or its table does not fit in it.
  static bool FromBytes(const uint8_t* data, size_t size, SoundIndexView* out);

  // Made for this dictionary: same entry count and fingerprint (reads up to 1025 keys; check once).
  bool MadeFor(const DictionaryView& dictionary) const;

  const uint8_t* data() const { return data_; }
  uint64_t fingerprint() const { return fingerprint_; }
  uint32_t entryCount() const { return entryCount_; }  // of the dictionary it was made for
  uint32_t count() const { return count_; }
  // The k-th entry in sound order; kNone beyond the table.
  uint32_t EntryAt(uint32_t k) const;

 private:
  const uint8_t* data_ = nullptr;
  uint64_t fingerprint_ = 0;
  uint32_t entryCount_ = 0;
  uint32_t count_ = 0;
};

// The bytes of a sound index holding `order`.
std::vector<uint8_t> EncodeSoundIndex(uint64_t fingerprint, uint32_t entryCount, const std::vector<uint32_t>& order);

// The sound indexes of every dictionary of one publication of the dictionary block, as the loader
// publishes them beside it: a part image (common/part_image.h) of magic "QLSI". `indexes[i]` is the
// index of position i, null or empty for none; empty when no position has one.
std::vector<uint8_t> EncodeSoundImage(const std::vector<const std::vector<uint8_t>*>& indexes);
// The sound index of each position the image lists; nullopt for a position without one, or whose
// part is not a whole index. Whether it was made for the dictionary there is for the reader to check.
std::vector<std::optional<SoundIndexView>> ReadSoundImage(const uint8_t* image, size_t size);

}  // namespace quillet

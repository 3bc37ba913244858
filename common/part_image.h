// One part per dictionary position of a publication of the dictionary block, as the loader puts the
// parts beside it in a mapping of their own (the ranking data, the sound indexes): a four-byte magic
// saying which parts, u32 count, then per position a u32 offset and a u32 size (size 0: no part there),
// then each part's bytes unchanged, on 8-byte boundaries. Read with bounds checks: an entry that does
// not lie in the image reads as none.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace quillet {

// Positions beyond this are not read (the dictionary block holds at most 12).
constexpr size_t kMaxPartImageEntries = 64;

using PartMagic = std::array<uint8_t, 4>;

// `parts[i]` is the part of position i; null or empty for none. Empty when no position has any (there
// is then nothing to publish) or the image would not fit in 32-bit offsets.
std::vector<uint8_t> BuildPartImage(const PartMagic& magic, const std::vector<const std::vector<uint8_t>*>& parts);
// Each listed position's part as a span inside the image ({nullptr, 0} for none); empty when the image
// is not one of `magic` or its table does not fit in it.
std::vector<std::pair<const uint8_t*, size_t>> ReadPartImage(const PartMagic& magic, const uint8_t* image, size_t size);

// Each listed position's part read as a View (View::FromBytes); none where a part is missing or not one.
template <typename View>
std::vector<std::optional<View>> ReadPartViews(const PartMagic& magic, const uint8_t* image, size_t size) {
  const auto parts = ReadPartImage(magic, image, size);
  std::vector<std::optional<View>> views(parts.size());
  for (size_t i = 0; i < parts.size(); ++i) {
    View view;
    if (parts[i].first != nullptr && View::FromBytes(parts[i].first, parts[i].second, &view)) views[i] = view;
  }
  return views;
}

}  // namespace quillet

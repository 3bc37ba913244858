// The ranking data of every dictionary of one publication of the dictionary block, as the loader
// puts it in a mapping of its own: magic "QLRI", u32 count, then per dictionary position a u32 offset
// and a u32 size (size 0: no ranking data there), then each ranking file's bytes unchanged, on 8-byte
// boundaries. Read with bounds checks: an entry that does not lie in the image, or is not ranking
// data, reads as none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/rank_view.h"

namespace quillet {

// Positions beyond this are not read (the dictionary block holds at most 12).
constexpr size_t kMaxRankingImageEntries = 64;

// `files[i]` is the ranking data of dictionary position i; null or empty for none. Empty when no
// position has any (there is then nothing to publish) or the image would not fit in 32-bit offsets.
std::vector<uint8_t> BuildRankingImage(const std::vector<const std::vector<uint8_t>*>& files);
// The ranking data of each position the image lists; nullopt for a position without any.
std::vector<std::optional<RankView>> ReadRankingImage(const uint8_t* image, size_t size);

}  // namespace quillet

// The ranking data of every dictionary of one publication of the dictionary block, as the loader
// puts it in a mapping of its own: a part image (common/part_image.h) of magic "QLRI" holding each
// ranking file unchanged. An entry that is not ranking data reads as none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/part_image.h"
#include "common/rank_view.h"

namespace quillet {

// `files[i]` is the ranking data of dictionary position i; null or empty for none. Empty when no
// position has any (there is then nothing to publish) or the image would not fit in 32-bit offsets.
std::vector<uint8_t> BuildRankingImage(const std::vector<const std::vector<uint8_t>*>& files);
// The ranking data of each position the image lists; nullopt for a position without any.
std::vector<std::optional<RankView>> ReadRankingImage(const uint8_t* image, size_t size);

}  // namespace quillet

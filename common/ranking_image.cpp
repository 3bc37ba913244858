#include "common/ranking_image.h"

namespace quillet {
namespace {

constexpr PartMagic kMagic = {'Q', 'L', 'R', 'I'};

}  // namespace

std::vector<uint8_t> BuildRankingImage(const std::vector<const std::vector<uint8_t>*>& files) {
  return BuildPartImage(kMagic, files);
}

std::vector<std::optional<RankView>> ReadRankingImage(const uint8_t* image, size_t size) {
  return ReadPartViews<RankView>(kMagic, image, size);
}

}  // namespace quillet

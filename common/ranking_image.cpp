#include "common/ranking_image.h"

namespace quillet {
namespace {

constexpr PartMagic kMagic = {'Q', 'L', 'R', 'I'};

}  // namespace

std::vector<uint8_t> BuildRankingImage(const std::vector<const std::vector<uint8_t>*>& files) {
  return BuildPartImage(kMagic, files);
}

std::vector<std::optional<RankView>> ReadRankingImage(const uint8_t* image, size_t size) {
  const auto parts = ReadPartImage(kMagic, image, size);
  std::vector<std::optional<RankView>> views(parts.size());
  for (size_t i = 0; i < parts.size(); ++i) {
    RankView view;
    if (parts[i].first != nullptr && RankView::FromBytes(parts[i].first, parts[i].second, &view)) views[i] = view;
  }
  return views;
}

}  // namespace quillet

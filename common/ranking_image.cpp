#include "common/ranking_image.h"

#include <cstring>

#include "common/le.h"

namespace quillet {
namespace {

constexpr uint8_t kMagic[4] = {'Q', 'L', 'R', 'I'};
constexpr size_t kHeaderSize = 8;
constexpr size_t kEntrySize = 8;
constexpr size_t kAlignment = 8;

size_t Aligned(size_t n) { return (n + kAlignment - 1) / kAlignment * kAlignment; }

}  // namespace

std::vector<uint8_t> BuildRankingImage(const std::vector<const std::vector<uint8_t>*>& files) {
  if (files.empty() || files.size() > kMaxRankingImageEntries) return {};
  size_t total = Aligned(kHeaderSize + kEntrySize * files.size());
  bool any = false;
  for (const std::vector<uint8_t>* f : files) {
    if (f == nullptr || f->empty()) continue;
    any = true;
    total = Aligned(total + f->size());
    if (total > UINT32_MAX) return {};
  }
  if (!any) return {};
  std::vector<uint8_t> image(total, 0);
  std::memcpy(image.data(), kMagic, sizeof(kMagic));
  StoreU32(image.data() + 4, static_cast<uint32_t>(files.size()));
  size_t at = Aligned(kHeaderSize + kEntrySize * files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    const std::vector<uint8_t>* f = files[i];
    if (f == nullptr || f->empty()) continue;
    std::memcpy(image.data() + at, f->data(), f->size());
    StoreU32(image.data() + kHeaderSize + i * kEntrySize, static_cast<uint32_t>(at));
    StoreU32(image.data() + kHeaderSize + i * kEntrySize + 4, static_cast<uint32_t>(f->size()));
    at = Aligned(at + f->size());
  }
  return image;
}

std::vector<std::optional<RankView>> ReadRankingImage(const uint8_t* image, size_t size) {
  std::vector<std::optional<RankView>> views;
  if (image == nullptr || size < kHeaderSize || std::memcmp(image, kMagic, sizeof(kMagic)) != 0) return views;
  const size_t count = LoadU32(image + 4);
  if (count > kMaxRankingImageEntries || kHeaderSize + count * kEntrySize > size) return views;
  views.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const uint64_t offset = LoadU32(image + kHeaderSize + i * kEntrySize);
    const uint64_t length = LoadU32(image + kHeaderSize + i * kEntrySize + 4);
    RankView view;
    if (length == 0 || offset + length > size || !RankView::FromBytes(image + offset, length, &view)) continue;
    views[i] = view;
  }
  return views;
}

}  // namespace quillet

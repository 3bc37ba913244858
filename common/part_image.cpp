#include "common/part_image.h"

#include <cstring>

#include "common/le.h"

namespace quillet {
namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kEntrySize = 8;
constexpr size_t kAlignment = 8;

size_t Aligned(size_t n) { return (n + kAlignment - 1) / kAlignment * kAlignment; }

}  // namespace

std::vector<uint8_t> BuildPartImage(const PartMagic& magic, const std::vector<const std::vector<uint8_t>*>& parts) {
  if (parts.empty() || parts.size() > kMaxPartImageEntries) return {};
  size_t total = Aligned(kHeaderSize + kEntrySize * parts.size());
  bool any = false;
  for (const std::vector<uint8_t>* p : parts) {
    if (p == nullptr || p->empty()) continue;
    any = true;
    total = Aligned(total + p->size());
    if (total > UINT32_MAX) return {};
  }
  if (!any) return {};
  std::vector<uint8_t> image(total, 0);
  std::memcpy(image.data(), magic.data(), magic.size());
  StoreU32(image.data() + 4, static_cast<uint32_t>(parts.size()));
  size_t at = Aligned(kHeaderSize + kEntrySize * parts.size());
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::vector<uint8_t>* p = parts[i];
    if (p == nullptr || p->empty()) continue;
    std::memcpy(image.data() + at, p->data(), p->size());
    StoreU32(image.data() + kHeaderSize + i * kEntrySize, static_cast<uint32_t>(at));
    StoreU32(image.data() + kHeaderSize + i * kEntrySize + 4, static_cast<uint32_t>(p->size()));
    at = Aligned(at + p->size());
  }
  return image;
}

std::vector<std::pair<const uint8_t*, size_t>> ReadPartImage(const PartMagic& magic, const uint8_t* image,
                                                             size_t size) {
  std::vector<std::pair<const uint8_t*, size_t>> parts;
  if (image == nullptr || size < kHeaderSize || std::memcmp(image, magic.data(), magic.size()) != 0) return parts;
  const size_t count = LoadU32(image + 4);
  if (count > kMaxPartImageEntries || kHeaderSize + count * kEntrySize > size) return parts;
  parts.resize(count, {nullptr, 0});
  for (size_t i = 0; i < count; ++i) {
    const uint64_t offset = LoadU32(image + kHeaderSize + i * kEntrySize);
    const uint64_t length = LoadU32(image + kHeaderSize + i * kEntrySize + 4);
    if (length == 0 || offset + length > size) continue;
    parts[i] = {image + offset, static_cast<size_t>(length)};
  }
  return parts;
}

}  // namespace quillet

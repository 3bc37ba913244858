#include "common/sound_index.h"

#include "common/le.h"
#include "common/part_image.h"
#include "common/rank_view.h"

namespace quillet {
namespace {

uint64_t LoadU64(const uint8_t* p) { return LoadU32(p) | (uint64_t{LoadU32(p + 4)} << 32); }

void StoreU64(uint8_t* p, uint64_t v) {
  StoreU32(p, static_cast<uint32_t>(v));
  StoreU32(p + 4, static_cast<uint32_t>(v >> 32));
}

constexpr PartMagic kImageMagic = {'Q', 'L', 'S', 'I'};

}  // namespace

bool SoundIndexView::FromBytes(const uint8_t* data, size_t size, SoundIndexView* out) {
  if (data == nullptr || size < kSoundIndexHeaderSize) return false;
  if (LoadU32(data) != kSoundIndexTag || LoadU16(data + 4) != kSoundIndexVersion) return false;
  SoundIndexView v;
  v.data_ = data;
  v.fingerprint_ = LoadU64(data + 8);
  v.entryCount_ = LoadU32(data + 16);
  v.count_ = LoadU32(data + 20);
  if (v.count_ > (size - kSoundIndexHeaderSize) / 4) return false;
  *out = v;
  return true;
}

bool SoundIndexView::MadeFor(const DictionaryView& dictionary) const {
  return data_ != nullptr && entryCount_ == dictionary.entryCount() &&
         fingerprint_ == DictionaryFingerprint(dictionary);
}

uint32_t SoundIndexView::EntryAt(uint32_t k) const {
  if (k >= count_) return kNone;
  return LoadU32(data_ + kSoundIndexHeaderSize + 4 * size_t{k});
}

std::vector<uint8_t> EncodeSoundIndex(uint64_t fingerprint, uint32_t entryCount, const std::vector<uint32_t>& order) {
  std::vector<uint8_t> bytes(kSoundIndexHeaderSize + 4 * order.size());
  StoreU32(&bytes[0], kSoundIndexTag);
  StoreU16(&bytes[4], kSoundIndexVersion);
  StoreU64(&bytes[8], fingerprint);
  StoreU32(&bytes[16], entryCount);
  StoreU32(&bytes[20], static_cast<uint32_t>(order.size()));
  for (size_t k = 0; k < order.size(); ++k) StoreU32(&bytes[kSoundIndexHeaderSize + 4 * k], order[k]);
  return bytes;
}

std::vector<uint8_t> EncodeSoundImage(const std::vector<const std::vector<uint8_t>*>& indexes) {
  return BuildPartImage(kImageMagic, indexes);
}

std::vector<std::optional<SoundIndexView>> ReadSoundImage(const uint8_t* image, size_t size) {
  return ReadPartViews<SoundIndexView>(kImageMagic, image, size);
}

}  // namespace quillet

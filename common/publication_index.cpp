#include "common/publication_index.h"

#include <cstring>

#include "common/le.h"

namespace quillet {
namespace {

constexpr uint8_t kMagic[4] = {'Q', 'L', 'P', 'X'};
constexpr uint16_t kVersion = 1;
constexpr size_t kSequenceOffset = 8;
constexpr size_t kGenerationsOffset = 12;
constexpr size_t kLaterCountOffset = kGenerationsOffset + 2 * kFirstPublicationKinds;
constexpr size_t kStampOffset = 24;
constexpr size_t kLaterGenerationsOffset = 28;
constexpr size_t kLaterKinds = kPublicationKinds - kFirstPublicationKinds;
static_assert(kLaterCountOffset + 2 <= kStampOffset && kStampOffset % 4 == 0, "the stamp follows the first kinds");
static_assert(kLaterGenerationsOffset + 2 * kLaterKinds <= kPublicationIndexSize, "generations fit the index");
// A writer holds the sequence odd for a few stores; this many tries outlast any live one.
constexpr int kReadTries = 1000;

uint32_t* U32At(uint8_t* index, size_t offset) { return reinterpret_cast<uint32_t*>(index + offset); }
const uint32_t* U32At(const uint8_t* index, size_t offset) { return reinterpret_cast<const uint32_t*>(index + offset); }
uint16_t* U16At(uint8_t* index, size_t offset) { return reinterpret_cast<uint16_t*>(index + offset); }
const uint16_t* U16At(const uint8_t* index, size_t offset) { return reinterpret_cast<const uint16_t*>(index + offset); }

// Where the generation of kind k lies: the first kinds in the first layout, the later ones behind it.
size_t GenerationOffset(size_t k) {
  return k < kFirstPublicationKinds ? kGenerationsOffset + 2 * k
                                    : kLaterGenerationsOffset + 2 * (k - kFirstPublicationKinds);
}

}  // namespace

bool IsPublicationIndex(const uint8_t* index, size_t size) {
  // The atomics need the fields aligned; a mapping always is.
  return index != nullptr && size >= kPublicationIndexSize && reinterpret_cast<uintptr_t>(index) % 4 == 0 &&
         std::memcmp(index, kMagic, sizeof(kMagic)) == 0 && LoadU16(index + 4) == kVersion &&
         LoadU16(index + 6) == kFirstPublicationKinds;
}

void InitPublicationIndex(uint8_t* index, size_t size) {
  if (index == nullptr || size < kPublicationIndexSize) return;
  std::memset(index, 0, kPublicationIndexSize);
  std::memcpy(index, kMagic, sizeof(kMagic));
  StoreU16(index + 4, kVersion);
  StoreU16(index + 6, kFirstPublicationKinds);
}

bool ReadPublicationIndex(const uint8_t* index, size_t size, PublishedGenerations* out) {
  if (!IsPublicationIndex(index, size)) return false;
  for (int tries = 0; tries < kReadTries; ++tries) {
    const uint32_t before = __atomic_load_n(U32At(index, kSequenceOffset), __ATOMIC_ACQUIRE);
    if (before % 2 != 0) continue;
    PublishedGenerations read;
    for (size_t k = 0; k < kPublicationKinds; ++k) {
      read.of[k] = __atomic_load_n(U16At(index, GenerationOffset(k)), __ATOMIC_RELAXED);
    }
    const uint16_t laterCount = __atomic_load_n(U16At(index, kLaterCountOffset), __ATOMIC_RELAXED);
    const uint32_t stamp = __atomic_load_n(U32At(index, kStampOffset), __ATOMIC_RELAXED);
    __atomic_thread_fence(__ATOMIC_ACQUIRE);
    if (__atomic_load_n(U32At(index, kSequenceOffset), __ATOMIC_RELAXED) != before) continue;
    // Later kinds that the last writer did not write, or did not know, are none.
    for (size_t k = kFirstPublicationKinds; k < kPublicationKinds; ++k) {
      if (stamp != before || k - kFirstPublicationKinds >= laterCount) read.of[k] = 0;
    }
    *out = read;
    return true;
  }
  return false;
}

void WritePublicationIndex(uint8_t* index, size_t size, const PublishedGenerations& generations) {
  if (index == nullptr || size < kPublicationIndexSize || reinterpret_cast<uintptr_t>(index) % 4 != 0) return;
  if (!IsPublicationIndex(index, size)) InitPublicationIndex(index, size);
  uint32_t* sequenceAt = U32At(index, kSequenceOffset);
  uint32_t sequence = __atomic_load_n(sequenceAt, __ATOMIC_RELAXED);
  sequence += sequence % 2;  // even again after a writer that died half way
  __atomic_store_n(sequenceAt, sequence + 1, __ATOMIC_RELAXED);
  __atomic_thread_fence(__ATOMIC_RELEASE);
  for (size_t k = 0; k < kPublicationKinds; ++k) {
    __atomic_store_n(U16At(index, GenerationOffset(k)), generations.of[k], __ATOMIC_RELAXED);
  }
  __atomic_store_n(U16At(index, kLaterCountOffset), static_cast<uint16_t>(kLaterKinds), __ATOMIC_RELAXED);
  __atomic_store_n(U32At(index, kStampOffset), sequence + 2, __ATOMIC_RELAXED);
  __atomic_store_n(sequenceAt, sequence + 2, __ATOMIC_RELEASE);
}

}  // namespace quillet

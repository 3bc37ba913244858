#include "common/publication_index.h"

#include <cstring>

#include "common/le.h"

namespace quillet {
namespace {

constexpr uint8_t kMagic[4] = {'Q', 'L', 'P', 'X'};
constexpr uint16_t kVersion = 1;
constexpr size_t kSequenceOffset = 8;
constexpr size_t kGenerationsOffset = 12;
static_assert(kGenerationsOffset + 2 * kPublicationKinds <= kPublicationIndexSize, "generations fit the index");
// A writer holds the sequence odd for a few stores; this many tries outlast any live one.
constexpr int kReadTries = 1000;

uint32_t* Sequence(uint8_t* index) { return reinterpret_cast<uint32_t*>(index + kSequenceOffset); }
const uint32_t* Sequence(const uint8_t* index) { return reinterpret_cast<const uint32_t*>(index + kSequenceOffset); }
uint16_t* Generation(uint8_t* index, size_t k) { return reinterpret_cast<uint16_t*>(index + kGenerationsOffset) + k; }
const uint16_t* Generation(const uint8_t* index, size_t k) {
  return reinterpret_cast<const uint16_t*>(index + kGenerationsOffset) + k;
}

}  // namespace

bool IsPublicationIndex(const uint8_t* index, size_t size) {
  // The atomics need the fields aligned; a mapping always is.
  return index != nullptr && size >= kPublicationIndexSize && reinterpret_cast<uintptr_t>(index) % 4 == 0 &&
         std::memcmp(index, kMagic, sizeof(kMagic)) == 0 && LoadU16(index + 4) == kVersion &&
         LoadU16(index + 6) == kPublicationKinds;
}

void InitPublicationIndex(uint8_t* index, size_t size) {
  if (index == nullptr || size < kPublicationIndexSize) return;
  std::memset(index, 0, kPublicationIndexSize);
  std::memcpy(index, kMagic, sizeof(kMagic));
  StoreU16(index + 4, kVersion);
  StoreU16(index + 6, kPublicationKinds);
}

bool ReadPublicationIndex(const uint8_t* index, size_t size, PublishedGenerations* out) {
  if (!IsPublicationIndex(index, size)) return false;
  for (int tries = 0; tries < kReadTries; ++tries) {
    const uint32_t before = __atomic_load_n(Sequence(index), __ATOMIC_ACQUIRE);
    if (before % 2 != 0) continue;
    PublishedGenerations read;
    for (size_t k = 0; k < kPublicationKinds; ++k) read.of[k] = __atomic_load_n(Generation(index, k), __ATOMIC_RELAXED);
    __atomic_thread_fence(__ATOMIC_ACQUIRE);
    if (__atomic_load_n(Sequence(index), __ATOMIC_RELAXED) == before) {
      *out = read;
      return true;
    }
  }
  return false;
}

void WritePublicationIndex(uint8_t* index, size_t size, const PublishedGenerations& generations) {
  if (index == nullptr || size < kPublicationIndexSize || reinterpret_cast<uintptr_t>(index) % 4 != 0) return;
  if (!IsPublicationIndex(index, size)) InitPublicationIndex(index, size);
  uint32_t sequence = __atomic_load_n(Sequence(index), __ATOMIC_RELAXED);
  sequence += sequence % 2;  // even again after a writer that died half way
  __atomic_store_n(Sequence(index), sequence + 1, __ATOMIC_RELAXED);
  __atomic_thread_fence(__ATOMIC_RELEASE);
  for (size_t k = 0; k < kPublicationKinds; ++k) {
    __atomic_store_n(Generation(index, k), generations.of[k], __ATOMIC_RELAXED);
  }
  __atomic_store_n(Sequence(index), sequence + 2, __ATOMIC_RELEASE);
}

}  // namespace quillet

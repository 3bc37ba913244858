#include "common/learn_progress.h"

#include <cstring>

#include "common/le.h"

namespace quillet {
namespace {

constexpr uint8_t kMagic[4] = {'Q', 'L', 'F', 'P'};
constexpr uint16_t kVersion = 1;
constexpr size_t kHeaderSize = 16;
constexpr size_t kSlotSize = 40;
static_assert(kHeaderSize + kSlotSize * kLearnProgressSlots == kLearnProgressSize, "slots fill the block");

bool IsLearnProgress(const uint8_t* block, size_t size) {
  return block != nullptr && size >= kLearnProgressSize && std::memcmp(block, kMagic, sizeof kMagic) == 0 &&
         LoadU16(block + 4) == kVersion && LoadU16(block + 6) == kLearnProgressSlots;
}

uint64_t LoadU64(const uint8_t* p) { return uint64_t{LoadU32(p)} | uint64_t{LoadU32(p + 4)} << 32; }
void StoreU64(uint8_t* p, uint64_t v) {
  StoreU32(p, static_cast<uint32_t>(v));
  StoreU32(p + 4, static_cast<uint32_t>(v >> 32));
}

}  // namespace

const char* LearnFileResultText(LearnFileResult result) {
  switch (result) {
    case LearnFileResult::kLearned:
      return "learned";
    case LearnFileResult::kCannotOpen:
      return "the file cannot be opened";
    case LearnFileResult::kNotAFile:
      return "not a file";
    case LearnFileResult::kNetworkPath:
      return "files on other machines are not read";
    case LearnFileResult::kTooLarge:
      return "the file is larger than 64 MB";
    case LearnFileResult::kNotText:
      return "not a text file (UTF-8, or UTF-16 with a byte-order mark)";
    case LearnFileResult::kReadFailed:
      return "the file could not be read";
    case LearnFileResult::kBusy:
      return "another file is being learned; try again when it is done";
    case LearnFileResult::kCancelled:
      return "cancelled";
  }
  return "failed";
}

void InitLearnProgress(uint8_t* block, size_t size) {
  if (block == nullptr || size < kLearnProgressSize) return;
  std::memset(block, 0, kLearnProgressSize);
  std::memcpy(block, kMagic, sizeof kMagic);
  StoreU16(block + 4, kVersion);
  StoreU16(block + 6, kLearnProgressSlots);
}

void WriteLearnProgress(uint8_t* block, size_t size, const LearnFileProgress& progress) {
  if (!IsLearnProgress(block, size) || progress.ticket == 0) return;
  size_t slot = kLearnProgressSlots;
  for (size_t i = 0; i < kLearnProgressSlots; ++i) {
    if (LoadU32(block + kHeaderSize + kSlotSize * i) == progress.ticket) slot = i;
  }
  if (slot == kLearnProgressSlots) {
    slot = (LoadU32(block + 8) + 1) % kLearnProgressSlots;
    StoreU32(block + 8, static_cast<uint32_t>(slot));
  }
  uint8_t* p = block + kHeaderSize + kSlotSize * slot;
  StoreU32(p, progress.ticket);
  StoreU16(p + 4, static_cast<uint16_t>(progress.state));
  StoreU16(p + 6, static_cast<uint16_t>(progress.result));
  StoreU32(p + 8, progress.osError);
  StoreU32(p + 12, progress.words);
  StoreU32(p + 16, progress.sentences);
  StoreU32(p + 20, 0);
  StoreU64(p + 24, progress.done);
  StoreU64(p + 32, progress.total);
}

bool ReadLearnProgress(const uint8_t* block, size_t size, uint32_t ticket, LearnFileProgress* out) {
  if (!IsLearnProgress(block, size) || ticket == 0) return false;
  for (size_t i = 0; i < kLearnProgressSlots; ++i) {
    const uint8_t* p = block + kHeaderSize + kSlotSize * i;
    if (LoadU32(p) != ticket) continue;
    LearnFileProgress r;
    r.ticket = ticket;
    const uint16_t state = LoadU16(p + 4);
    r.state = state <= static_cast<uint16_t>(LearnFileState::kDone) ? static_cast<LearnFileState>(state)
                                                                    : LearnFileState::kDone;
    const uint16_t result = LoadU16(p + 6);
    r.result = result <= static_cast<uint16_t>(LearnFileResult::kCancelled) ? static_cast<LearnFileResult>(result)
                                                                            : LearnFileResult::kReadFailed;
    r.osError = LoadU32(p + 8);
    r.words = LoadU32(p + 12);
    r.sentences = LoadU32(p + 16);
    r.done = LoadU64(p + 24);
    r.total = LoadU64(p + 32);
    *out = r;
    return true;
  }
  return false;
}

}  // namespace quillet

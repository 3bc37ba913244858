// How the loader's learning of text files goes, for the party that asked (the settings sheet,
// `lexforge learn`): a small block the loader alone writes, under its lock, beside the learning
// inbox and as private as it. Requests and cancels travel the other way, through the inbox.
//
// Layout (little-endian): magic "QLFP", u16 version, u16 slot count (kLearnProgressSlots), u32 the
// slot written last, u32 0; then per slot (40 bytes): u32 ticket (0: unused), u16 state, u16 result,
// u32 OS error, u32 words, u32 sentences, u32 0, u64 bytes read, u64 bytes in the file. The slots
// keep the latest requests, so an answer outlives the next request of another party for a while.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet {

constexpr size_t kLearnProgressSlots = 4;
constexpr size_t kLearnProgressSize = 16 + 40 * kLearnProgressSlots;

enum class LearnFileState : uint16_t {
  kWaiting = 0,  // not taken up yet (the ticket is not in the block)
  kLearning = 1,
  kDone = 2,  // ended: result tells how
};

// How learning a file ended. The numbers are kept in the block.
enum class LearnFileResult : uint16_t {
  kLearned = 0,
  kCannotOpen = 1,   // missing, no right to read it, held by another program, a path too long
  kNotAFile = 2,     // a folder, a device, a pipe
  kNetworkPath = 3,  // on another machine: reading it would connect there as the user
  kTooLarge = 4,     // over kMaxLearnFileBytes
  kNotText = 5,      // not UTF-8 or UTF-16 text (it holds NUL characters)
  kReadFailed = 6,
  kBusy = 7,  // another file is being learned
  kCancelled = 8,
};

constexpr uint64_t kMaxLearnFileBytes = uint64_t{64} << 20;

struct LearnFileProgress {
  uint32_t ticket = 0;
  LearnFileState state = LearnFileState::kWaiting;
  LearnFileResult result = LearnFileResult::kLearned;
  uint32_t osError = 0;
  uint32_t words = 0;
  uint32_t sentences = 0;
  uint64_t done = 0;
  uint64_t total = 0;
};

// A short sentence for the person ("the file is not text", ...).
const char* LearnFileResultText(LearnFileResult result);

void InitLearnProgress(uint8_t* block, size_t size);
// Writes `progress` into the slot of its ticket, or into the next slot when it has none.
void WriteLearnProgress(uint8_t* block, size_t size, const LearnFileProgress& progress);
// The slot of `ticket`; false (nothing in *out) when the block is not one or holds no such ticket.
bool ReadLearnProgress(const uint8_t* block, size_t size, uint32_t ticket, LearnFileProgress* out);

}  // namespace quillet

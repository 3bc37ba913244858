#include "common/learn_inbox.h"

#include <cstring>

#include "common/le.h"
#include "common/learned_store.h"

namespace quillet {
namespace {

constexpr uint8_t kMagic[4] = {'Q', 'L', 'I', 'B'};
constexpr uint16_t kVersion = 1;
constexpr size_t kHeaderSize = 16;

}  // namespace

bool IsLearnInbox(const uint8_t* block, size_t size) {
  return block != nullptr && size >= kHeaderSize && std::memcmp(block, kMagic, sizeof(kMagic)) == 0 &&
         LoadU16(block + 4) == kVersion;
}

namespace {

size_t MaxLength(LearnKind kind) { return kind == LearnKind::kMistake ? kMaxMistakeLength : kMaxLearnedLength; }

// Bytes of records in use, never more than the area holds.
size_t Used(const uint8_t* block, size_t size) {
  const size_t used = LoadU32(block + 8);
  return used <= size - kHeaderSize ? used : size - kHeaderSize;
}

}  // namespace

void InitLearnInbox(uint8_t* block, size_t size) {
  if (block == nullptr || size < kHeaderSize) return;
  std::memset(block, 0, kHeaderSize);
  std::memcpy(block, kMagic, sizeof(kMagic));
  StoreU16(block + 4, kVersion);
}

bool AppendLearnEvent(uint8_t* block, size_t size, LearnKind kind, std::u16string_view word) {
  if (!IsLearnInbox(block, size)) return false;
  const bool wordless = kind == LearnKind::kSentenceEnd || kind == LearnKind::kClear;
  if (kind != LearnKind::kWord && kind != LearnKind::kForget && kind != LearnKind::kMistake && !wordless) return false;
  if (wordless ? !word.empty() : (word.empty() || word.size() > MaxLength(kind))) return false;
  const size_t used = Used(block, size);
  const size_t record = 2 + 2 * word.size();
  if (record > size - kHeaderSize - used) return false;
  uint8_t* at = block + kHeaderSize + used;
  at[0] = static_cast<uint8_t>(kind);
  at[1] = static_cast<uint8_t>(word.size());
  for (size_t i = 0; i < word.size(); ++i) StoreU16(at + 2 + 2 * i, word[i]);
  StoreU32(block + 8, static_cast<uint32_t>(used + record));
  return true;
}

std::vector<LearnEvent> TakeLearnEvents(uint8_t* block, size_t size) {
  std::vector<LearnEvent> events;
  if (!IsLearnInbox(block, size)) return events;
  const size_t used = Used(block, size);
  const uint8_t* area = block + kHeaderSize;
  for (size_t at = 0; at + 2 <= used;) {
    const uint8_t kind = area[at];
    const size_t length = area[at + 1];
    const bool wordless =
        kind == static_cast<uint8_t>(LearnKind::kSentenceEnd) || kind == static_cast<uint8_t>(LearnKind::kClear);
    const bool known = wordless || kind == static_cast<uint8_t>(LearnKind::kWord) ||
                       kind == static_cast<uint8_t>(LearnKind::kForget) ||
                       kind == static_cast<uint8_t>(LearnKind::kMistake);
    if (!known || (wordless != (length == 0)) || length > MaxLength(static_cast<LearnKind>(kind)) ||
        at + 2 + 2 * length > used) {
      break;
    }
    LearnEvent e;
    e.kind = static_cast<LearnKind>(kind);
    for (size_t i = 0; i < length; ++i) e.word += static_cast<char16_t>(LoadU16(area + at + 2 + 2 * i));
    events.push_back(std::move(e));
    at += 2 + 2 * length;
  }
  // What was taken is gone from the block, not only from its count: what the user wrote stays in no
  // shared memory longer than until the loader took it.
  std::memset(block + kHeaderSize, 0, used);
  StoreU32(block + 8, 0);
  return events;
}

}  // namespace quillet

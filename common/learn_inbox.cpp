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

size_t MaxLength(LearnKind kind) {
  switch (kind) {
    case LearnKind::kMistake:
      return kMaxMistakeLength;
    case LearnKind::kLearnFile:
      return 2 + kMaxLearnFilePath;
    case LearnKind::kCancelFile:
      return 2;
    default:
      return kMaxLearnedLength;
  }
}

bool Wordless(uint8_t kind) {
  return kind == static_cast<uint8_t>(LearnKind::kSentenceEnd) || kind == static_cast<uint8_t>(LearnKind::kClear);
}

bool Known(uint8_t kind) {
  return kind >= static_cast<uint8_t>(LearnKind::kWord) && kind <= static_cast<uint8_t>(LearnKind::kAddWord);
}

// Requests about files carry their ticket, so they are never shorter than it.
size_t MinLength(uint8_t kind) {
  if (Wordless(kind)) return 0;
  return kind == static_cast<uint8_t>(LearnKind::kLearnFile) || kind == static_cast<uint8_t>(LearnKind::kCancelFile)
             ? 2
             : 1;
}

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
  const auto k = static_cast<uint8_t>(kind);
  if (!Known(k)) return false;
  if (Wordless(k) ? !word.empty() : (word.size() < MinLength(k) || word.size() > MaxLength(kind))) return false;
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
    // A later build's kind, whole inside the area: passed over, so what follows is still learned.
    if (kind != 0 && !Known(kind) && at + 2 + 2 * length <= used) {
      at += 2 + 2 * length;
      continue;
    }
    if (!Known(kind) || (Wordless(kind) != (length == 0)) || length < MinLength(kind) ||
        length > MaxLength(static_cast<LearnKind>(kind)) || at + 2 + 2 * length > used) {
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

std::u16string LearnFileText(uint32_t ticket, std::u16string_view path) {
  std::u16string text;
  text += static_cast<char16_t>(ticket & 0xFFFF);
  text += static_cast<char16_t>(ticket >> 16);
  text += path;
  return text;
}

uint32_t TicketOf(std::u16string_view text) {
  if (text.size() < 2) return 0;
  return uint32_t{text[0]} | uint32_t{text[1]} << 16;
}

}  // namespace quillet

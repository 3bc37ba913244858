// The words text services report for learning, in a shared block of their own that the loader
// creates: a text service appends its records under the block's write lock, and the loader takes
// them all under the same lock, clearing them.
//
// Layout (little-endian): magic "QLIB", u16 version, u16 0, u32 bytes of records in use, u32 0, then
// records: u8 kind, u8 length in UTF-16 units (1 to kMaxLearnedLength; a mistake's two words up to
// kMaxMistakeLength, a file request up to 255), the units.
// Reading stops at the first record that does not lie whole inside the area or is not of this shape,
// so a damaged block loses what follows, never more; a record of a kind this build does not know (a
// later build's) is passed over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/learned_store.h"

namespace quillet {

constexpr size_t kLearnInboxSize = 16384;

enum class LearnKind : uint8_t {
  kWord = 1,         // a word the user wrote (picked, or typed through)
  kSentenceEnd = 2,  // a sentence ended (no word)
  kForget = 3,       // forget this word
  kClear = 4,        // forget everything learned (no word)
  kMistake = 5,      // the letters typed, U+001F and the word meant: a corrected spelling was picked
  kLearnFile = 6,    // learn a text file as if written: a ticket (two units, low first), then its path
  kCancelFile = 7,   // stop learning the file of this ticket (the ticket alone)
  kAddWord = 8,      // take this word as if it had been written twice
};

// The longest path a kLearnFile record carries (the record's length is one byte).
constexpr size_t kMaxLearnFilePath = 255 - 2;
// The text of a kLearnFile or kCancelFile record, and what a record's text says. TicketOf gives 0
// (no ticket) for a text shorter than two units.
std::u16string LearnFileText(uint32_t ticket, std::u16string_view path);
uint32_t TicketOf(std::u16string_view text);

constexpr size_t kMaxMistakeLength = 2 * kMaxLearnedLength + 1;

struct LearnEvent {
  LearnKind kind = LearnKind::kWord;
  std::u16string word;
};

// Makes `block` an empty inbox.
void InitLearnInbox(uint8_t* block, size_t size);
bool IsLearnInbox(const uint8_t* block, size_t size);
// Appends one record; false (nothing written) when the block is not an inbox, the record does not
// fit or the word is empty or too long (a sentence end takes no word).
bool AppendLearnEvent(uint8_t* block, size_t size, LearnKind kind, std::u16string_view word);
// The records in order; the area is empty (zero) afterwards. None from a block that is not an inbox.
std::vector<LearnEvent> TakeLearnEvents(uint8_t* block, size_t size);

}  // namespace quillet

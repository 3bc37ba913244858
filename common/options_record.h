// The options record: the options the settings record has no room for (it stays as it is). The input
// method's own options (the key that switches it on and off, learning paused) and, per tab, the
// order of its candidates, whether a pick offers the likely next words and whether words spelled
// a little differently from what was typed are offered too. Kept by the loader in
// options.dat, edited by the settings sheet, read by the text service.
//
// A fixed-size record; tab entries are keyed by tab id. Layout (little-endian): magic "QLTO", u16
// version, u16 entry count, u8 flags (bit 0: learning paused, bit 1: speak the highlighted word, bit 2:
// speak it while a screen reader runs too), u8 toggle key, 6 reserved bytes, then
// entries of 4 bytes: i16 tab id, u8 order, u8 flags (bit 0: next words, bit 1: forgive spelling
// mistakes). Files of this version are read by every earlier build (which sees the toggle key's byte
// as reserved and ignores flag bits it does not know, so a tab there keeps exact spelling) and every
// later one; a reader ignores unknown flag bits, and a record written before a flag existed reads it
// as clear. A
// record that is not of this shape (wrong size, magic or version, a count beyond capacity) reads as
// the defaults, as does a tab without an entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillet {

constexpr size_t kOptionsRecordSize = 256;
constexpr size_t kTabEntriesCapacity = (kOptionsRecordSize - 16) / 4;
constexpr uint16_t kOptionsRecordVersion = 1;

// The order of a tab's candidates. Dictionary order is the default and needs no data; the others
// need ranking data made for the dictionary and fall back to dictionary order without it.
enum class CandidateOrder : uint8_t {
  kDictionary = 0,
  kFrequent = 1,  // most likely first: how common a word is, and after the words before it
  kLearning = 2,  // the same, and what the user's typing taught
};

struct TabOptions {
  CandidateOrder order = CandidateOrder::kDictionary;
  bool nextWords = false;  // after a pick, offer the likely next words
  bool forgiving = false;  // also offer words that fix a spelling mistake in what was typed

  bool operator==(const TabOptions& o) const {
    return order == o.order && nextWords == o.nextWords && forgiving == o.forgiving;
  }
  bool operator!=(const TabOptions& o) const { return !(*this == o); }
};

// The key that opens and closes the input method. A lone Shift tap is the default; games see Shift
// pressed alone all the time, so their players may want another key or none.
enum class ToggleKey : uint8_t {
  kShift = 0,      // Shift pressed and released with no other key between
  kCtrlSpace = 1,  // Space pressed while Ctrl is held
  kNone = 2,       // only the language-bar button
};

// An empty record: every tab has the defaults.
std::vector<uint8_t> DefaultOptionsRecord();
// Whether `record` has the shape above (what the loader keeps is checked with this too).
bool ValidOptionsRecord(const uint8_t* record, size_t size);
// The options of tab `tabId`; the defaults for a tab without an entry or a record not of this
// shape. An order this build does not know reads as dictionary order.
TabOptions ReadTabOptions(const uint8_t* record, size_t size, int16_t tabId);
// Whether learning is paused for every tab (false for a record not of this shape), and setting it (a
// record not of this shape is made empty first; false when `size` is not the record's size).
bool LearningPaused(const uint8_t* record, size_t size);
bool SetLearningPaused(uint8_t* record, size_t size, bool paused);
// The toggle key (a lone Shift for a record not of this shape or a key this build does not know), and
// setting it, as for the pause.
ToggleKey ReadToggleKey(const uint8_t* record, size_t size);
bool SetToggleKey(uint8_t* record, size_t size, ToggleKey key);
// Whether Quillet speaks the highlighted and the inserted word, and whether it does so while a screen
// reader runs (which announces the list itself). Both off for a record not of this shape; setting
// them as for the pause.
struct SpeechOptions {
  bool speak = false;
  bool withScreenReader = false;

  bool operator==(const SpeechOptions& o) const { return speak == o.speak && withScreenReader == o.withScreenReader; }
  bool operator!=(const SpeechOptions& o) const { return !(*this == o); }
};
SpeechOptions ReadSpeechOptions(const uint8_t* record, size_t size);
bool SetSpeechOptions(uint8_t* record, size_t size, const SpeechOptions& options);
// Sets the options of tab `tabId` (an entry equal to the defaults is dropped); a record not of this
// shape is made empty first. False, and nothing changed, when the record is full or `size` is not
// the record's size.
bool WriteTabOptions(uint8_t* record, size_t size, int16_t tabId, const TabOptions& options);

}  // namespace quillet

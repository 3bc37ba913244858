// The two named shared blocks (dictionaries, settings) and the cross-process lock that guards each:
// an auto-reset read event as the single token and a manual-reset write event as the writers' gate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/dictionary_view.h"
#include "common/result.h"
#include "platform/named_objects.h"

namespace quillet {

inline constexpr std::u16string_view kDictionaryMappingName = u"Local\\@@DMFQLQX@@";
inline constexpr std::u16string_view kDictionaryReadEventName = u"Local\\@@DREQLQX@@";
inline constexpr std::u16string_view kDictionaryWriteEventName = u"Local\\@@DWEQLQX@@";
inline constexpr std::u16string_view kSettingsMappingName = u"Local\\@@SMFQLQX@@";
inline constexpr std::u16string_view kSettingsReadEventName = u"Local\\@@SREQLQX@@";
inline constexpr std::u16string_view kSettingsWriteEventName = u"Local\\@@SWEQLQX@@";

// Lock waits are bounded so that a party that died holding the token cannot freeze every application
// the user types in; a timed-out wait fails like any other (result 9).
inline constexpr uint32_t kLockTimeoutMs = 3000;

enum class HolderRole { kReader, kWriter };

struct SharedBlock {
  uint32_t lastError = 0;  // OS error of the last failing open step
  uint32_t waitError = 0;  // OS error of the last failed lock attempt, 0 after a good one
  HolderRole holderRole = HolderRole::kReader;
  platform::Event readEvent;
  platform::Event writeEvent;
  platform::Mapping mapping;
  // Dictionary block only: one view per dictionary, in block order. A directory entry that points
  // outside the block gives an empty view, so that positions still match the settings and nothing
  // outside the block is read. Kept here so that every close drops the views with the mapping.
  std::vector<DictionaryView> directory;

  const uint8_t* view() const { return mapping.data(); }
  uint8_t* view() { return mapping.data(); }
  size_t viewSize() const { return mapping.size(); }
};

struct DictionaryBlock : SharedBlock {};

// Both open sequences create (or open) the two events, take the lock as a reader, open and map the
// block, and release the lock. 0 also when the block is open already (nothing is re-read). Failures
// leave the block closed and the lock free: 2 events, 9 lock wait (time-out included), 6 no mapping
// (no loader), 7 no view, 18 no dictionary (count 0 or no room for one), 21 out of memory; the
// settings block gives 27 when it is smaller than a settings record.
Result OpenDictionaryBlock(DictionaryBlock& block);
Result OpenSettingsBlock(SharedBlock& block);
// Releases the lock first when `release` is set, then drops everything (the directory with the view).
void CloseBlock(SharedBlock& block, bool release);
// Take the block as a reader (waits for both events at once) or as a writer (shuts the writers' gate,
// then waits for the token). False with waitError set when the wait failed or timed out: nothing is
// held then, the block stays open, and the caller abandons only this operation (no candidates, 0 or
// -1); its next operation tries the lock again.
bool LockRead(SharedBlock& block);
bool LockWrite(SharedBlock& block);
// Gives the token back; a writer also reopens the gate.
void Unlock(SharedBlock& block);

// Dictionary block layout: two reserved bytes, a u16 count, then 24-byte directory entries.
inline constexpr size_t kDirectoryEntriesOffset = 4;
inline constexpr size_t kDirectoryEntrySize = 24;

}  // namespace quillet

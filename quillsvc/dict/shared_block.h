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

  const uint8_t* view() const { return mapping.data(); }
  uint8_t* view() { return mapping.data(); }
  size_t viewSize() const { return mapping.size(); }
};

struct DictionaryBlock : SharedBlock {
  // One view per dictionary, in block order. A directory entry that points outside the block gives an
  // empty view, so that positions still match the settings and nothing outside the block is read.
  std::vector<DictionaryView> directory;
};

Result OpenDictionaryBlock(DictionaryBlock& block);
Result OpenSettingsBlock(SharedBlock& block);
void CloseBlock(SharedBlock& block, bool release);
void CloseBlock(DictionaryBlock& block, bool release);
bool LockRead(SharedBlock& block);
bool LockWrite(SharedBlock& block);
void Unlock(SharedBlock& block);

// Dictionary block layout: two reserved bytes, a u16 count, then 24-byte directory entries.
inline constexpr size_t kDirectoryEntriesOffset = 4;
inline constexpr size_t kDirectoryEntrySize = 24;

}  // namespace quillet

// The two named shared blocks (dictionaries, settings) and the cross-process lock that guards each:
// an auto-reset read event as the single token and a manual-reset write event as the writers' gate.
// Every party takes a block's lock through BlockReadLock or BlockWriteLock, which give it back on
// every way out of their scope.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/dictionary_view.h"
#include "common/result.h"
#include "ipc/protocol.h"
#include "platform/named_objects.h"

namespace quillet {

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

struct DictionaryBlock : SharedBlock {
  uint16_t generation = 0;  // of the publication the directory was read from
};

// Creates (or opens) the block's two events with the kinds every party gives them: the token
// auto-reset, the gate manual-reset, both signalled. Result::kEventFailed with lastError and waitError
// set when either fails; neither is kept then.
Result CreateBlockEvents(SharedBlock& block, const BlockNames& names);

// Both open sequences create (or open) the two events, take the lock as a reader, open and map the
// block, and release the lock. Result::kSuccess also when the block is open already (nothing is
// re-read). A failure leaves the block closed and the lock free: kEventFailed, kWaitFailed (a lock
// wait failed or timed out), kMappingOpenFailed (no loader made the block), kViewFailed;
// OpenDictionaryBlock gives kNoDictionary for a count of 0 (or no room for one), OpenSettingsBlock
// kMalformed for a block smaller than a settings record. Allocation failure throws std::bad_alloc and
// leaves the block closed as well.
Result OpenDictionaryBlock(DictionaryBlock& block);
Result OpenSettingsBlock(SharedBlock& block);
// The tabs' options block (common/tab_options.h); kMalformed for a block smaller than the record.
Result OpenTabOptionsBlock(SharedBlock& block);
// The learning inbox (common/learn_inbox.h); kMalformed for a block smaller than it.
Result OpenLearnInboxBlock(SharedBlock& block);

// The ranking mapping of a publication of the dictionary block (see kRankingMappingPrefix), and a
// publication of the learned store (kLearnedMappingPrefix).
std::u16string RankingMappingName(uint16_t generation);
std::u16string LearnedMappingName(uint16_t generation);
// Opens and maps, read-only, the ranking mapping of the publication `block` was opened on; false when
// there is none (no dictionary of it has ranking data) or it cannot be mapped.
bool OpenRankingMapping(const DictionaryBlock& block, platform::Mapping* mapping);
// The generation of the learned store that the learning inbox names (read under its lock; 0 for
// none, or when the inbox is not open or its lock could not be had), and that publication mapped
// read-only (false for generation 0 or when it cannot be mapped).
uint16_t ReadLearnedGeneration(SharedBlock& inbox);
bool OpenLearnedMapping(uint16_t generation, platform::Mapping* mapping);

// Releases the lock first when `release` is set, then drops everything (the directory with the view).
void CloseBlock(SharedBlock& block, bool release);

// The lock primitives; take the lock through the guards below instead. Take the block as a reader
// (waits for both events at once) or as a writer (shuts the writers' gate, then waits for the token).
// False with waitError set when the wait failed or timed out: nothing is held then, the block stays
// open, and the caller abandons only this operation (no candidates, 0 or -1); its next operation tries
// the lock again.
bool LockRead(SharedBlock& block);
bool LockWrite(SharedBlock& block);
// Gives the token back; a writer also reopens the gate.
void Unlock(SharedBlock& block);

// Holds a block's lock for the guard's scope: taken on construction, given back on destruction when
// it was taken. Test with held() (or the guard itself) before touching the block.
class BlockLock {
 public:
  ~BlockLock() { Release(); }
  BlockLock(BlockLock&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  BlockLock& operator=(BlockLock&& other) noexcept;
  BlockLock(const BlockLock&) = delete;
  BlockLock& operator=(const BlockLock&) = delete;

  bool held() const { return block_ != nullptr; }
  explicit operator bool() const { return held(); }

 protected:
  BlockLock(SharedBlock& block, bool taken) : block_(taken ? &block : nullptr) {}

 private:
  void Release();

  SharedBlock* block_;  // null when not held
};

class BlockReadLock : public BlockLock {
 public:
  explicit BlockReadLock(SharedBlock& block) : BlockLock(block, LockRead(block)) {}
};

class BlockWriteLock : public BlockLock {
 public:
  explicit BlockWriteLock(SharedBlock& block) : BlockLock(block, LockWrite(block)) {}
};

// Dictionary block layout: two reserved bytes, a u16 count, then 24-byte directory entries.
inline constexpr size_t kDirectoryEntriesOffset = 4;
inline constexpr size_t kDirectoryEntrySize = 24;

// The directory of a dictionary block image of `size` bytes: `count` views in block order, an entry
// that lies outside the image or points outside it giving an empty view.
std::vector<DictionaryView> ReadDirectory(const uint8_t* block, size_t size, size_t count);

}  // namespace quillet

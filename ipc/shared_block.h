// The blocks that parties write under a cross-process lock: the settings and options blocks,
// where the settings sheet and the generator hand the loader a changed record, and the learning inbox,
// where text services report what the user wrote. Each lock is an auto-reset read event as the single
// token and a manual-reset write event as the writers' gate. Every party takes a lock through
// BlockReadLock or BlockWriteLock, which give it back on every way out of their scope. What text
// services read is published without locks instead (ipc/publications.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/result.h"
#include "ipc/protocol.h"
#include "platform/named_objects.h"

namespace quillet {

enum class HolderRole { kReader, kWriter };

// How long a party waits for a block's lock, and what it does when the wait runs out.
struct LockPolicy {
  uint32_t waitMs;
  // After a wait that ran out, lock attempts fail at once for this long (0: each attempt waits).
  uint32_t quietMs;
  // A wait that ran out means the holder died (no party holds a lock for kLockAbandonMs): the lock
  // is taken over, and given back as a writer gives it back, which restores the token and the gate.
  bool takeOverAbandoned;
};
// Text services, on a host application's thread: a key waits once, and then not for a while.
inline constexpr LockPolicy kHostLockPolicy{kHostLockWaitMs, kHostLockQuietMs, false};
// The settings sheet, also on a host's thread: each of the person's actions waits once, briefly;
// the person decides when to try again.
inline constexpr LockPolicy kSheetLockPolicy{kHostLockWaitMs, 0, false};
// The loader, which restores what a dead party left taken.
inline constexpr LockPolicy kLoaderLockPolicy{kLockAbandonMs, 0, true};
// Programs run from the command line.
inline constexpr LockPolicy kToolLockPolicy{kToolLockWaitMs, 0, false};

struct SharedBlock {
  uint32_t lastError = 0;  // OS error of the last failing open step
  uint32_t waitError = 0;  // OS error of the last failed lock attempt, 0 after a good one
  HolderRole holderRole = HolderRole::kReader;
  LockPolicy policy = kHostLockPolicy;
  std::chrono::steady_clock::time_point quietUntil{};
  platform::Event readEvent;
  platform::Event writeEvent;
  platform::Mapping mapping;

  const uint8_t* view() const { return mapping.data(); }
  uint8_t* view() { return mapping.data(); }
  size_t viewSize() const { return mapping.size(); }
};

// Creates (or opens) the block's two events with the kinds every party gives them: the token
// auto-reset, the gate manual-reset, both signalled. Result::kEventFailed with lastError and waitError
// set when either fails; neither is kept then.
Result CreateBlockEvents(SharedBlock& block, const BlockNames& names);

// The open sequences create (or open) the block's two events, take the lock as a reader, open and
// map the block, check its size and release the lock. Result::kSuccess also when the block is open
// already (nothing is re-read). A failure leaves the block closed and the lock free: kEventFailed,
// kWaitFailed (a lock wait failed or timed out), kMappingOpenFailed (no loader made the block),
// kViewFailed, kMalformed for a block smaller than its record. Allocation failure throws
// std::bad_alloc and leaves the block closed as well.
Result OpenSettingsBlock(SharedBlock& block);
// The options block (common/options_record.h).
Result OpenOptionsBlock(SharedBlock& block);
// The per-program rules (common/program_rules.h).
Result OpenProgramsBlock(SharedBlock& block);
// The learning inbox (common/learn_inbox.h).
Result OpenLearnInboxBlock(SharedBlock& block);
// The progress of learning text files (common/learn_progress.h).
Result OpenLearnProgressBlock(SharedBlock& block);

// Releases the lock first when `release` is set, then drops everything (the directory with the view).
void CloseBlock(SharedBlock& block, bool release);

// The lock primitives; take the lock through the guards below instead. Take the block as a reader
// (waits for both events at once) or as a writer (shuts the writers' gate, then waits for the token),
// as the block's policy says. False with waitError set when the wait failed or timed out (or the
// policy keeps quiet after one): nothing is held then, the block stays open, and the caller abandons
// only this operation.
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

}  // namespace quillet

#include "ipc/shared_block.h"

#include "common/learn_inbox.h"
#include "common/learn_progress.h"
#include "common/options_record.h"
#include "common/program_rules.h"
#include "common/settings_record.h"

namespace quillet {

namespace {

platform::OsError NonZero(platform::OsError e) { return e != 0 ? e : 1; }

// Closes a block on the way out of an open sequence unless it was kept; declared before the lock
// guard, so the lock is given back before the events are closed.
class CloseUnlessKept {
 public:
  explicit CloseUnlessKept(SharedBlock& block) : block_(block) {}
  ~CloseUnlessKept() {
    if (!kept_) CloseBlock(block_, false);
  }
  CloseUnlessKept(const CloseUnlessKept&) = delete;
  CloseUnlessKept& operator=(const CloseUnlessKept&) = delete;
  void Keep() { kept_ = true; }

 private:
  SharedBlock& block_;
  bool kept_ = false;
};

// Steps shared by every block: the two events, the read lock, the mapping and its view, then `check`
// on the mapped block while the lock is still held. Any failure, an exception included, releases the
// lock and leaves the block closed.
template <typename Check>
Result OpenBlock(SharedBlock& block, const BlockNames& names, Check check) {
  if (block.view() != nullptr) return Result::kSuccess;
  Result r = CreateBlockEvents(block, names);
  if (r != Result::kSuccess) return r;
  CloseUnlessKept closer(block);
  {
    BlockReadLock lock(block);
    if (!lock) return Result::kWaitFailed;
    platform::OsError error = 0;
    if (!block.mapping.Open(names.mapping, &error)) {
      block.lastError = error;
      return Result::kMappingOpenFailed;
    }
    if (!block.mapping.Map(&error)) {
      block.lastError = error;
      return Result::kViewFailed;
    }
    r = check(block);
  }
  if (r == Result::kSuccess) closer.Keep();
  return r;
}

}  // namespace

Result CreateBlockEvents(SharedBlock& block, const BlockNames& names) {
  platform::OsError error = 0;
  bool existed = false;
  if (!block.readEvent.CreateOrOpen(names.readEvent, /*manualReset=*/false, /*initiallySignalled=*/true, &existed,
                                    &error) ||
      !block.writeEvent.CreateOrOpen(names.writeEvent, /*manualReset=*/true, /*initiallySignalled=*/true, &existed,
                                     &error)) {
    block.lastError = block.waitError = error;
    block.readEvent.Close();
    block.writeEvent.Close();
    return Result::kEventFailed;
  }
  return Result::kSuccess;
}

Result OpenSettingsBlock(SharedBlock& block) {
  // Readers of the record rely on all of it being there.
  return OpenBlock(block, kSettingsBlockNames, [](SharedBlock& b) {
    return b.viewSize() < kSettingsRecordSize ? Result::kMalformed : Result::kSuccess;
  });
}

Result OpenOptionsBlock(SharedBlock& block) {
  return OpenBlock(block, kOptionsBlockNames, [](SharedBlock& b) {
    return b.viewSize() < kOptionsRecordSize ? Result::kMalformed : Result::kSuccess;
  });
}

Result OpenProgramsBlock(SharedBlock& block) {
  return OpenBlock(block, kProgramsBlockNames, [](SharedBlock& b) {
    return b.viewSize() < kProgramRulesSize ? Result::kMalformed : Result::kSuccess;
  });
}

Result OpenLearnInboxBlock(SharedBlock& block) {
  return OpenBlock(block, kLearnInboxBlockNames, [](SharedBlock& b) {
    return b.viewSize() < kLearnInboxSize ? Result::kMalformed : Result::kSuccess;
  });
}

Result OpenLearnProgressBlock(SharedBlock& block) {
  return OpenBlock(block, kLearnProgressBlockNames, [](SharedBlock& b) {
    return b.viewSize() < kLearnProgressSize ? Result::kMalformed : Result::kSuccess;
  });
}

void CloseBlock(SharedBlock& block, bool release) {
  if (release) Unlock(block);
  block.mapping.Close();
  block.readEvent.Close();
  block.writeEvent.Close();
}

namespace {

// Before a wait: false while the policy keeps quiet after a wait that ran out.
bool MayWait(SharedBlock& block) {
  if (block.policy.quietMs == 0 || std::chrono::steady_clock::now() >= block.quietUntil) return true;
  block.waitError = platform::TimedOutError();
  return false;
}

// After a wait that did not get the lock: true when the policy takes the lock over (the holder died);
// then the lock counts as the writer's, so that giving it back restores the token and the gate.
bool AfterFailedWait(SharedBlock& block, platform::WaitResult result, platform::OsError error) {
  if (result == platform::WaitResult::kTimedOut && block.policy.takeOverAbandoned) {
    block.holderRole = HolderRole::kWriter;
    block.waitError = 0;
    return true;
  }
  block.waitError = NonZero(error);
  if (result == platform::WaitResult::kTimedOut && block.policy.quietMs != 0) {
    block.quietUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(block.policy.quietMs);
  }
  return false;
}

}  // namespace

bool LockRead(SharedBlock& block) {
  block.holderRole = HolderRole::kReader;
  if (!MayWait(block)) return false;
  platform::OsError error = 0;
  const platform::WaitResult r = platform::WaitAll(block.readEvent, block.writeEvent, block.policy.waitMs, &error);
  if (r != platform::WaitResult::kSignalled) return AfterFailedWait(block, r, error);
  block.waitError = 0;
  return true;
}

bool LockWrite(SharedBlock& block) {
  block.holderRole = HolderRole::kWriter;
  if (!MayWait(block)) return false;
  if (!block.writeEvent.Reset()) {
    block.waitError = NonZero(platform::LastError());
    return false;
  }
  platform::OsError error = 0;
  const platform::WaitResult r = platform::Wait(block.readEvent, block.policy.waitMs, &error);
  if (r != platform::WaitResult::kSignalled) {
    if (AfterFailedWait(block, r, error)) return true;
    block.writeEvent.Set();
    return false;
  }
  block.waitError = 0;
  return true;
}

void Unlock(SharedBlock& block) {
  block.readEvent.Set();
  if (block.holderRole == HolderRole::kWriter) block.writeEvent.Set();
}

BlockLock& BlockLock::operator=(BlockLock&& other) noexcept {
  if (this != &other) {
    Release();
    block_ = other.block_;
    other.block_ = nullptr;
  }
  return *this;
}

void BlockLock::Release() {
  if (block_ != nullptr) Unlock(*block_);
  block_ = nullptr;
}

}  // namespace quillet

// The settings block's read lock for one scope, or no lock at all for a private record (the
// preview's). The wait is the block's bounded one: when it fails nothing is held and the caller
// skips its read.
#pragma once

#include <optional>

#include "ipc/shared_block.h"

namespace quillet {

class SettingsReadLock {
 public:
  explicit SettingsReadLock(SharedBlock* block) {
    if (block != nullptr) lock_.emplace(*block);
  }

  bool held() const { return !lock_ || lock_->held(); }

 private:
  std::optional<BlockReadLock> lock_;
};

}  // namespace quillet

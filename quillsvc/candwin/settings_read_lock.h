// The settings block's read lock for one scope. The wait is the block's bounded one: when it fails
// nothing is held and the caller skips its read. A null block means no locking (the preview reads a
// private record).
#pragma once

#include "quillsvc/dict/shared_block.h"

namespace quillet {

class SettingsReadLock {
 public:
  explicit SettingsReadLock(SharedBlock* block) : block_(block), held_(block == nullptr || LockRead(*block)) {}
  ~SettingsReadLock() {
    if (block_ != nullptr && held_) Unlock(*block_);
  }
  SettingsReadLock(const SettingsReadLock&) = delete;
  SettingsReadLock& operator=(const SettingsReadLock&) = delete;

  bool held() const { return held_; }

 private:
  SharedBlock* block_;
  bool held_;
};

}  // namespace quillet

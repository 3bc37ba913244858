#include "lexwarden/owned_block.h"

namespace quillet::warden {

Result CreateOwnedBlock(SharedBlock& block, const BlockNames& names, size_t size, bool* existed) {
  block.policy = kLoaderLockPolicy;
  const Result r = CreateBlockEvents(block, names);
  if (r != Result::kSuccess) return r;
  platform::OsError error = 0;
  if (!block.mapping.Create(names.mapping, size, existed, &error)) {
    block.lastError = error;
    CloseBlock(block, false);
    return Result::kMappingCreateFailed;
  }
  if (!block.mapping.Map(&error)) {
    block.lastError = error;
    CloseBlock(block, false);
    return Result::kViewFailed;
  }
  return Result::kSuccess;
}

}  // namespace quillet::warden

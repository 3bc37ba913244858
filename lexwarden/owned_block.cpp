#include "lexwarden/owned_block.h"

namespace quillet::warden {

Result CreateOwnedBlock(SharedBlock& block, const BlockNames& names, size_t size, bool* existed) {
  const Result r = CreateBlockEvents(block, names);
  if (r != Result::kSuccess) return r;
  return CreateOwnedMapping(block, names.mapping, size, existed);
}

Result CreateOwnedMapping(SharedBlock& block, std::u16string_view name, size_t size, bool* existed) {
  platform::OsError error = 0;
  if (!block.mapping.Create(name, size, existed, &error)) {
    block.lastError = error;
    return Result::kMappingCreateFailed;
  }
  if (!block.mapping.Map(&error)) {
    block.lastError = error;
    block.mapping.Close();
    return Result::kViewFailed;
  }
  return Result::kSuccess;
}

}  // namespace quillet::warden

#include "lexwarden/owned_block.h"

#include <cstring>
#include <utility>

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

bool CreatePublication(std::u16string (*name)(uint16_t), uint16_t after, const std::vector<uint8_t>& bytes,
                       platform::Mapping* mapping, uint16_t* generation) {
  uint16_t g = after;
  for (int tries = 0; tries < 64; ++tries) {
    g = static_cast<uint16_t>(g + 1 == 0x10000 ? 1 : g + 1);
    platform::Mapping made;
    bool existed = false;
    platform::OsError error = 0;
    if (!made.Create(name(g), bytes.size(), &existed, &error)) return false;
    if (existed) continue;
    if (!made.Map(&error) || made.size() < bytes.size()) return false;
    std::memcpy(made.data(), bytes.data(), bytes.size());
    *mapping = std::move(made);
    *generation = g;
    return true;
  }
  return false;
}

}  // namespace quillet::warden

// The loader's side of a shared block: it alone creates the mapping, which the other parties only
// open, and it may make the mapping anew at another size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "ipc/protocol.h"
#include "ipc/shared_block.h"
#include "platform/named_objects.h"

namespace quillet::warden {

// Creates (or opens) the block's two events and its mapping of `size` bytes, and maps it. *existed
// tells that the mapping was there already: readers of an earlier loader still hold it, at the size
// it had. Failures: kEventFailed, kMappingCreateFailed, kViewFailed, with the block's lastError set.
Result CreateOwnedBlock(SharedBlock& block, const BlockNames& names, size_t size, bool* existed);
// The mapping step alone, for a block whose events exist: kMappingCreateFailed or kViewFailed, and
// nothing kept, when it fails.
Result CreateOwnedMapping(SharedBlock& block, std::u16string_view name, size_t size, bool* existed);

// A publication that is never written after it is named: a mapping holding `bytes`, named
// name(g) for the first generation g after `after` (0 left out: it means none) that nobody holds,
// since readers of older publications, or of an earlier loader, may hold the names before. False,
// with nothing made, when no mapping could be made.
bool CreatePublication(std::u16string (*name)(uint16_t), uint16_t after, const std::vector<uint8_t>& bytes,
                       platform::Mapping* mapping, uint16_t* generation);

}  // namespace quillet::warden

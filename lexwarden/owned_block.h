// The loader's side of a block that parties write under its lock: it alone creates the mapping, which
// the other parties only open. Such blocks are private to the user's processes of medium integrity,
// and the loader takes their locks over from parties that died holding them.
#pragma once

#include <cstddef>

#include "common/result.h"
#include "ipc/protocol.h"
#include "ipc/shared_block.h"

namespace quillet::warden {

// Creates (or opens) the block's two events and its mapping of `size` bytes, and maps it, with the
// loader's lock policy. *existed tells that the mapping was there already: parties of an earlier
// loader still hold it, at the size it had. Failures: kEventFailed, kMappingCreateFailed (also for
// an existing one that the user's own processes did not make), kViewFailed, with lastError set.
Result CreateOwnedBlock(SharedBlock& block, const BlockNames& names, size_t size, bool* existed);

}  // namespace quillet::warden

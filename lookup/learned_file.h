// The learned store kept in a file: read whole and checked, written atomically (a temporary file
// beside it, then renamed over it) so that a crash leaves the old store or the new one, never half.
#pragma once

#include <string>

#include "common/learned_store.h"
#include "common/result.h"
#include "platform/error.h"

namespace quillet {

// A missing file is an empty store (kSuccess, nothing learned yet). A file that is not a store is set
// aside as PATH.damaged (so nothing is lost), the store is left empty and *damaged is set.
Result LoadLearnedStore(const std::u16string& path, LearnedStore* store, bool* damaged, platform::OsError* error);
Result SaveLearnedStore(const LearnedStore& store, const std::u16string& path, platform::OsError* error);

}  // namespace quillet

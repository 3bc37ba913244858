// The learned store kept in a file (platform/kept_file.h): read whole, up to its largest size, and
// checked; written durably, owner-only, so that a crash leaves the old store or the new one, never
// half.
#pragma once

#include <string>

#include "common/learned_store.h"
#include "common/result.h"
#include "platform/error.h"
#include "platform/kept_file.h"

namespace quillet {

// A missing file is an empty store (kSuccess, nothing learned yet). A file that is not a store, or is
// larger than any store, is set aside as PATH.damaged (or PATH.damaged.1, ... : an earlier damaged
// copy is never replaced), the store is left empty and *damaged is set. kFileReadFailed for a file
// that cannot be read.
Result LoadLearnedStore(const std::u16string& path, LearnedStore* store, bool* damaged, platform::OsError* error);
// Makes a KeptFile for the store at `path`, for a keeper that loads and saves it again and again.
platform::KeptFile LearnedFile(const std::u16string& path);
Result SaveLearnedStore(const LearnedStore& store, const std::u16string& path, platform::OsError* error);

}  // namespace quillet

// Where the loader's publications are (common/publication_index.h), and how a reader opens them:
// read-only, never under a lock, and only when the user's own processes made them.
#pragma once

#include <cstdint>
#include <string>

#include "common/publication_index.h"
#include "platform/named_objects.h"

namespace quillet {

// The mapping name of publication `generation` of `kind`: its prefix (ipc/protocol.h) and the
// generation in four hex digits.
std::u16string PublicationName(PublicationKind kind, uint16_t generation);
// Whether sandboxed hosts may read publications of `kind` (all but the learned store).
platform::ObjectAccess PublicationAccess(PublicationKind kind);

// The index, mapped read-only; false when there is none (no loader published one) or it cannot be.
bool OpenPublicationIndex(platform::Mapping* index, platform::OsError* error);
// Publication `generation` of `kind`, mapped read-only; false for generation 0 (none), or when it is
// gone or cannot be mapped. Closes *mapping first.
bool OpenPublication(PublicationKind kind, uint16_t generation, platform::Mapping* mapping, platform::OsError* error);

}  // namespace quillet

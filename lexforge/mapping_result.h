// Both conversions read their source through a read-only mapping and report its failures alike.
#pragma once

#include "common/result.h"
#include "platform/file.h"

namespace quillet::lexforge {

// Maps `file` whole: kSuccess, kMappingCreateFailed when no mapping could be made (an empty file),
// kViewFailed when it could not be viewed.
inline Result MapForReading(const platform::File& file, platform::FileMapping* mapping, platform::OsError* error) {
  switch (mapping->Map(file, error)) {
    case platform::FileMapping::Status::kMapped:
      return Result::kSuccess;
    case platform::FileMapping::Status::kCreateFailed:
      return Result::kMappingCreateFailed;
    case platform::FileMapping::Status::kViewFailed:
      break;
  }
  return Result::kViewFailed;
}

}  // namespace quillet::lexforge

#include "platform/error.h"

#include <cerrno>

namespace quillet::platform {

OsError LastError() { return static_cast<OsError>(errno); }

}  // namespace quillet::platform

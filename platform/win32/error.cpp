#include "platform/error.h"

#include <windows.h>

namespace quillet::platform {

OsError LastError() { return GetLastError(); }

}  // namespace quillet::platform

// The operating-system error kept beside a result code for diagnosis (GetLastError or errno).
#pragma once

#include <cstdint>

namespace quillet::platform {

using OsError = uint32_t;

// The calling thread's last OS error.
OsError LastError();

}  // namespace quillet::platform

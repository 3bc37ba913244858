// The operating-system error kept beside a result code for diagnosis (GetLastError or errno).
#pragma once

#include <cstdint>
#include <string>

namespace quillet::platform {

using OsError = uint32_t;

// The calling thread's last OS error.
OsError LastError();
// The system's code for "timed out" (ERROR_TIMEOUT, ETIMEDOUT), as a timed-out wait reports it.
OsError TimedOutError();
// The system's own message for an error, in UTF-8 ("No such file or directory").
std::string ErrorText(OsError error);

}  // namespace quillet::platform

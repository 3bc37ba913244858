#include "platform/error.h"

#include <cerrno>
#include <cstring>

namespace quillet::platform {

OsError TimedOutError() { return static_cast<OsError>(ETIMEDOUT); }

OsError LastError() { return static_cast<OsError>(errno); }

std::string ErrorText(OsError error) {
  char buffer[256];
  // The GNU strerror_r returns its text, which need not be in the buffer.
  const char* text = strerror_r(static_cast<int>(error), buffer, sizeof buffer);
  return text != nullptr ? std::string(text) : "error " + std::to_string(error);
}

}  // namespace quillet::platform

#include "platform/error.h"

#include <windows.h>

namespace quillet::platform {

OsError TimedOutError() { return ERROR_TIMEOUT; }

OsError LastError() { return GetLastError(); }

std::string ErrorText(OsError error) {
  wchar_t buffer[512];
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, buffer,
                                 static_cast<DWORD>(sizeof buffer / sizeof buffer[0]), nullptr);
  if (n == 0) return "error " + std::to_string(error);
  char utf8[1024];
  const int m = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), utf8, sizeof utf8, nullptr, nullptr);
  std::string text(utf8, m > 0 ? static_cast<size_t>(m) : 0);
  // The system's messages end in a full stop and a line break.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

}  // namespace quillet::platform

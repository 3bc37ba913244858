#include "platform/win32/wide.h"

#include <windows.h>

namespace quillet::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

std::wstring ToWide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::u16string FromWide(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

std::wstring TestNamespace() {
  wchar_t buffer[64];
  const DWORD n = GetEnvironmentVariableW(L"QUILLET_NAMESPACE", buffer, 64);
  if (n == 0 || n >= 64) return std::wstring();
  return std::wstring(buffer, n);
}

std::wstring ObjectName(std::u16string_view name) {
  std::wstring result = ToWide(name);
  const std::wstring ns = TestNamespace();
  if (!ns.empty()) result += L"." + ns;
  return result;
}

}  // namespace quillet::platform::win32

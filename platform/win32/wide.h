// The one place where portable UTF-16 text meets the Win32 wide-character API (both 16-bit here),
// and where object names get the optional test namespace.
#pragma once

#include <string>
#include <string_view>

namespace quillet::platform::win32 {

std::wstring ToWide(std::u16string_view text);
std::u16string FromWide(std::wstring_view text);

// The value of QUILLET_NAMESPACE, empty when unset. Tests set it so that their objects, and the
// loader window they talk to, cannot meet the ones of a loader the user runs.
std::wstring TestNamespace();
// `name` as given when no namespace is set, otherwise name + "." + namespace.
std::wstring ObjectName(std::u16string_view name);

}  // namespace quillet::platform::win32

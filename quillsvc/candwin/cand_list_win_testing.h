// Names shared by the window's tests and their helper process.
#pragma once

#include <string_view>

namespace quillet::testing {

inline constexpr std::u16string_view kLockedEventName = u"Local\\@@CWTESTLOCKED@@";
inline constexpr std::u16string_view kReleaseEventName = u"Local\\@@CWTESTRELEASE@@";

}  // namespace quillet::testing

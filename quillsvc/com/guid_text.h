// The text form of a GUID used in registry key names: "{" + 32 upper-case hexadecimal digits in groups
// of 8-4-4-4-12 + "}", 38 characters. The first three groups read the GUID's first four, next two and
// next two bytes in reverse (the fields are little-endian in memory); the last eight bytes in order.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

inline constexpr size_t kGuidTextLength = 38;

std::u16string GuidText(const uint8_t (&bytes)[16]);

}  // namespace quillet

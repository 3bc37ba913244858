// Names and data shared by the window's tests and their helper process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/dict_image_testing.h"

namespace quillet::testing {

// Twelve words under "aa" and five under "ba".
inline std::vector<uint8_t> WindowTestDictionary() {
  std::vector<ImageEntry> entries;
  for (char16_t c = u'b'; c <= u'm'; ++c) entries.push_back({std::u16string(u"aa") + c, u"", u"", u""});
  for (char16_t c = u'a'; c <= u'e'; ++c) entries.push_back({std::u16string(u"ba") + c, u"", u"", u""});
  return BuildDictionaryImage(entries);
}

// The helper's "window-size" answer: a window's size packed into its exit code.
inline int PackSize(int32_t width, int32_t height) { return static_cast<int>((width << 16) | (height & 0xFFFF)); }
inline int32_t PackedWidth(int code) { return (code >> 16) & 0xFFFF; }
inline int32_t PackedHeight(int code) { return code & 0xFFFF; }

}  // namespace quillet::testing

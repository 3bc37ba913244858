#include "quillsvc/com/guid_text.h"

namespace quillet {

std::u16string GuidText(const uint8_t (&bytes)[16]) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  // Byte positions in reading order; a dash follows the 4th, 6th, 8th and 10th byte read.
  static constexpr uint8_t kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::u16string text;
  text.reserve(kGuidTextLength);
  text += u'{';
  for (size_t i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += u'-';
    const uint8_t b = bytes[kOrder[i]];
    text += kDigits[b >> 4];
    text += kDigits[b & 0xF];
  }
  text += u'}';
  return text;
}

}  // namespace quillet

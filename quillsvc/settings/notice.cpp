#include "quillsvc/settings/notice.h"

namespace quillet::settings {

std::u16string DecimalText(long value) {
  std::u16string digits;
  unsigned long u = value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + u % 10));
    u /= 10;
  } while (u != 0);
  if (value < 0) digits.insert(digits.begin(), u'-');
  return digits;
}

std::u16string FormatWithNumber(std::u16string_view format, long value) {
  std::u16string text(format);
  const size_t at = text.find(u"%d");
  if (at != std::u16string::npos) text.replace(at, 2, DecimalText(value));
  return text;
}

}  // namespace quillet::settings

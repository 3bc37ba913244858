#include "quillsvc/com/guids.h"

#include <cstring>

#include "platform/win32/wide.h"
#include "quillsvc/com/guid_text.h"

namespace quillet {

std::wstring GuidKeyText(const GUID& guid) {
  static_assert(sizeof(GUID) == 16, "a GUID is 16 bytes");
  uint8_t bytes[16];
  std::memcpy(bytes, &guid, sizeof bytes);
  return platform::win32::ToWide(GuidText(bytes));
}

}  // namespace quillet

#include "common/file_names.h"

namespace quillet {

std::u16string ReplaceExtension(std::u16string_view path, std::u16string_view extension) {
  size_t dot = std::u16string_view::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    const char16_t c = path[i];
    if (c == u'\\' || c == u'/' || c == u' ') {
      dot = std::u16string_view::npos;
    } else if (c == u'.') {
      dot = i;
    }
  }
  std::u16string result(path.substr(0, dot == std::u16string_view::npos ? path.size() : dot));
  result += extension;
  return result;
}

}  // namespace quillet

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

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

bool NamesShare(std::u16string_view path) {
  if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
  // \\?\ and \\.\ give the rest of the path to the system as it is: a drive or a device is local.
  if (path.size() >= 4 && (path[2] == u'?' || path[2] == u'.') && IsSeparator(path[3])) {
    const std::u16string_view rest = path.substr(4);
    return rest.size() >= 4 && (rest[0] == u'U' || rest[0] == u'u') && (rest[1] == u'N' || rest[1] == u'n') &&
           (rest[2] == u'C' || rest[2] == u'c') && IsSeparator(rest[3]);
  }
  return true;
}

}  // namespace quillet

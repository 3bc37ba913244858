// File names made from other file names.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// `path` with the extension of its last component replaced by `extension` (which includes the dot),
// or with `extension` appended when it has none. As with the Windows shell helper, the extension is
// the part from the last dot that is not followed by a separator ('\\' or '/') or a blank.
std::u16string ReplaceExtension(std::u16string_view path, std::u16string_view extension);

// Whether `path` names a share on another machine: it begins with two separators (\\server\share,
// //server/share), except the local device forms \\?\X:\ and \\.\X:\ (\\?\UNC\ is a share).
bool NamesShare(std::u16string_view path);

}  // namespace quillet

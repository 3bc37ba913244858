// File names derived from a conversion's destination.
#pragma once

#include <string>
#include <string_view>

namespace quillet::lexforge {

// `path` with the extension of its last component replaced by `extension` (which includes the dot),
// or with `extension` appended when it has none. As with the Windows shell helper, the extension is
// the part from the last dot that is not followed by a separator ('\\' or '/') or a blank.
std::u16string ReplaceExtension(std::u16string_view path, std::u16string_view extension);

// The files one conversion of a word list touches, all made from its destination path.
struct BuildPaths {
  std::u16string dictionary;  // ".dict"
  std::u16string positions;   // ".pos"
  std::u16string keys;        // ".lst"
  std::u16string infos;       // ".inf"
  std::u16string temporary;   // ".dtmp": the new dictionary until it is complete
};

BuildPaths MakeBuildPaths(std::u16string_view destination);

}  // namespace quillet::lexforge

// File names derived from a conversion's destination.
#pragma once

#include <string>
#include <string_view>

#include "common/file_names.h"

namespace quillet::lexforge {

using quillet::ReplaceExtension;

// The files one conversion of a word list touches, all made from its destination path.
struct BuildPaths {
  std::u16string dictionary;  // ".dict"
  std::u16string positions;   // ".pos"
  std::u16string keys;        // ".lst"
  std::u16string infos;       // ".inf"
};

BuildPaths MakeBuildPaths(std::u16string_view destination);

}  // namespace quillet::lexforge

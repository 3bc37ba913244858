#include "lexforge/paths.h"

namespace quillet::lexforge {

BuildPaths MakeBuildPaths(std::u16string_view destination) {
  BuildPaths p;
  p.dictionary = ReplaceExtension(destination, u".dict");
  p.positions = ReplaceExtension(destination, u".pos");
  p.keys = ReplaceExtension(destination, u".lst");
  p.infos = ReplaceExtension(destination, u".inf");
  return p;
}

}  // namespace quillet::lexforge

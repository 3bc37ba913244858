// Dictionary reader and export on arbitrary files: a damaged dictionary is refused (and leaves no text
// behind) or exported; it never makes the export read outside the file.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_scratch.h"
#include "lexforge/export.h"

using namespace quillet;
using namespace quillet::lexforge;

namespace {

fuzz::Scratch& scratch() {
  static fuzz::Scratch s;
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto& s = scratch();
  if (!s.Write("in.dict", data, size)) return 0;
  std::remove(s.Path("out.txt").c_str());
  const Result r = ConvertDictionaryToText(s.U16("out.txt"), s.U16("in.dict"));
  const bool text = access(s.Path("out.txt").c_str(), F_OK) == 0;
  switch (r) {
    case Result::kSuccess: {
      const std::string out = s.Read("out.txt");
      if (!text || out.size() < 2 || out.compare(0, 2, "\xFF\xFE") != 0) std::abort();
      break;
    }
    case Result::kMappingCreateFailed:
      if (size != 0 || text) std::abort();
      break;
    case Result::kMalformed:
      if (text) std::abort();
      break;
    default:
      std::abort();
  }
  return 0;
}

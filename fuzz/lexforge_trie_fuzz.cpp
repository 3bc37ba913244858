// The arpa command's reader of binary trie language models on arbitrary files: a file is refused, or
// read into a model whose every n-gram names its words, and the ARPA text made of it is a model the
// rank command takes. One input in 64 also goes through the files (the command's conversion), which
// must give the same text.
//
// The quantisation tables of a model of order 2 or 3 are 256 KiB each, too large to mutate: an input
// holds only their first 256 bytes, repeated to fill them (fuzz/trie_input.h). Other inputs are the
// file as they are.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_scratch.h"
#include "fuzz/model_dictionary.h"
#include "fuzz/trie_input.h"
#include "lexforge/rank_builder.h"
#include "lexforge/trie_model.h"

using namespace quillet;
using namespace quillet::lexforge;

namespace {

fuzz::Scratch& scratch() {
  static fuzz::Scratch s;
  return s;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> file = fuzz::TrieFileFromInput(data, size);
  TrieModel model;
  const Result r = ReadTrieModel(file.data(), file.size(), &model);
  std::string text;
  if (r == Result::kSuccess) {
    Check(model.order >= 1 && model.order <= 3 && model.order == file[fuzz::kTrieTagSize]);
    Check(model.ngrams.size() == static_cast<size_t>(model.order) && !model.words.empty());
    for (int n = 1; n <= model.order; ++n) {
      for (const TrieNgram& g : model.ngrams[n - 1]) {
        for (int k = 0; k < n; ++k) Check(g.words[k] < model.words.size());
      }
    }
    text = FormatArpa(model);
    std::vector<uint8_t> rank;
    RankReport report;
    const Result ranked = BuildRankData(fuzz::TheModelDictionary().view, text, nullptr, RankOptions{}, &rank, &report);
    if (ranked != Result::kSuccess) {
      std::fprintf(stderr, "the rank command refuses the model's ARPA text: %s\n", report.problem.c_str());
      std::abort();
    }
  } else {
    Check(r == Result::kMalformed);
  }

  static uint32_t inputs = 0;
  if (inputs++ % 64 != 0) return 0;
  auto& s = scratch();
  if (!s.Write("model.lm.bin", file.data(), file.size())) return 0;
  std::remove(s.Path("model.arpa").c_str());
  ModelReport report;
  const Result onDisk = ConvertTrieModelToArpa(s.U16("model.lm.bin"), s.U16("model.arpa"), &report);
  Check(onDisk == (file.empty() ? Result::kMappingCreateFailed : r));
  if (onDisk == Result::kSuccess) {
    Check(s.Read("model.arpa") == text && report.order == model.order);
  } else {
    Check(access(s.Path("model.arpa").c_str(), F_OK) != 0);
  }
  return 0;
}

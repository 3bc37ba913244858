// The rank command's ARPA reader on arbitrary text, for a fixed dictionary: a model is refused with
// the line at fault, or gives ranking data made for the dictionary whose every context and follower
// names one of its entries. An input of odd length is its own cased text too. One input in 256 also
// goes through the files (the command's conversion), which must give the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "common/rank_view.h"
#include "fuzz/fuzz_scratch.h"
#include "fuzz/model_dictionary.h"
#include "lexforge/rank_builder.h"

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

void CheckRankData(const std::vector<uint8_t>& bytes, const DictionaryView& dictionary) {
  RankView view;
  Check(RankView::FromBytes(bytes.data(), bytes.size(), &view) && view.MadeFor(dictionary));
  const uint32_t n = dictionary.entryCount();
  std::vector<uint32_t> words{kNoWord, kSentenceStart};
  for (uint32_t e = 0; e < n; ++e) words.push_back(e);
  for (uint32_t older : words) {
    for (uint32_t last : words) {
      ContextRecord c;
      if (!view.FindContext(older, last, &c)) continue;
      Check(last != kNoWord);
      for (uint32_t k = 0; k < c.followerCount; ++k) {
        const FollowerRecord f = view.Follower(c, k);
        Check(f.entry < n && f.cost < kWorstCost);
        Check(k == 0 || view.Follower(c, k - 1).entry < f.entry);
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::ModelDictionary& dictionary = fuzz::TheModelDictionary();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bool cased = size % 2 == 1;
  CaseCounts cases;
  if (cased) cases.Add(text);
  std::vector<uint8_t> rank;
  RankReport report;
  const Result r = BuildRankData(dictionary.view, text, cased ? &cases : nullptr, RankOptions{}, &rank, &report);
  if (r == Result::kSuccess) {
    CheckRankData(rank, dictionary.view);
  } else {
    Check(r == Result::kMalformed && report.problem.compare(0, 5, "line ") == 0);
  }

  static uint32_t inputs = 0;
  if (inputs++ % 256 != 0) return 0;
  auto& s = scratch();
  if (!s.Write("words.dict", dictionary.bytes.data(), dictionary.bytes.size()) || !s.Write("model.arpa", data, size) ||
      !s.Write("cased.txt", data, size)) {
    return 0;
  }
  std::remove(s.Path("words.rank").c_str());
  RankReport fileReport;
  const Result onDisk = BuildRankFile(s.U16("words.dict"), s.U16("model.arpa"), cased ? s.U16("cased.txt") : u"",
                                      s.U16("words.rank"), RankOptions{}, &fileReport);
  // An empty file cannot be mapped.
  Check(onDisk == (size == 0 ? Result::kMappingCreateFailed : r));
  Check(access(s.Path("words.rank.tmp").c_str(), F_OK) != 0);
  if (onDisk == Result::kSuccess) {
    const std::string file = s.Read("words.rank");
    Check(file.size() == rank.size() && std::equal(rank.begin(), rank.end(), file.begin(),
                                                   [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }));
  }
  return 0;
}

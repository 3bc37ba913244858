// Ranking data for a dictionary from a language model in ARPA text form (any order up to 3): how
// likely each entry is on its own, and after one or two words. Keyed to the dictionary's entries: a
// model word stands for the entries whose commit text (else key), in lowercase, is that word. Entries
// that differ only in case share the word's probability in proportion to how often each spelling
// occurs in a cased text (so "I" wins over "i", "may" over "May"); without such a text, or for a
// spelling the text lacks, the lowercase one is preferred.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/dictionary_view.h"
#include "common/result.h"
#include "platform/error.h"

namespace quillet::lexforge {

struct RankOptions {
  uint32_t maxBigramFollowers = 64;   // per one-word context
  uint32_t maxTrigramFollowers = 24;  // per two-word context
  // A follower is kept only when its own probability beats what backing off would give by this much
  // (log10): others would rank no differently without it.
  double minGain = 0.02;
};

struct RankReport {
  platform::OsError osError = 0;
  std::u16string failedPath;
  std::string problem;  // what was wrong with a malformed model, with its line
  uint32_t entries = 0;
  uint32_t scoredEntries = 0;  // entries the model knows
  uint32_t caseGroups = 0;     // words with more than one spelling in the dictionary
  uint32_t contexts = 0;
  uint32_t followers = 0;
  uint64_t bytes = 0;
};

// Counts of each spelling of each word in a cased UTF-8 text, words that begin a sentence left out
// (their capital says nothing about the word).
class CaseCounts {
 public:
  void Add(std::string_view utf8);
  uint32_t Count(const std::u16string& spelling) const;
  size_t size() const { return counts_.size(); }

 private:
  std::unordered_map<std::u16string, uint32_t> counts_;
};

// The bytes of the rank file for `dictionary` from the ARPA text `arpa`. kMalformed (with
// report->problem) when the model is not ARPA text; kGeneralFailure when the data would exceed 4 GiB.
Result BuildRankData(const DictionaryView& dictionary, std::string_view arpa, const CaseCounts* cases,
                     const RankOptions& options, std::vector<uint8_t>* out, RankReport* report);

// Reads the dictionary file, the model and the optional cased text (empty path: none), and writes the
// rank file (atomically: a temporary file renamed over it).
Result BuildRankFile(const std::u16string& dictionary, const std::u16string& model, const std::u16string& caseText,
                     const std::u16string& destination, const RankOptions& options, RankReport* report);

}  // namespace quillet::lexforge

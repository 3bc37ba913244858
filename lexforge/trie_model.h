// Reads a language model in the binary trie form of the CMU speech tools (the form Debian's
// pocketsphinx-en-us ships) and writes it out as an ARPA text model, so that `lexforge rank` takes
// any model through one format. Every count, table and bit field is checked against the file's size
// before it is read: a damaged or foreign file gives kMalformed, never a read outside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"
#include "platform/error.h"

namespace quillet::lexforge {

// One n-gram as the model stores it: word ids oldest first, log10 probability and backoff weight.
struct TrieNgram {
  uint32_t words[3] = {0, 0, 0};
  float logProb = 0;
  float logBackoff = 0;  // 0 for the highest order
};

// The model in memory, as read from its bytes.
struct TrieModel {
  int order = 0;
  std::vector<std::string> words;              // by word id
  std::vector<std::vector<TrieNgram>> ngrams;  // [order - 1]: the n-grams of that order
};

// Parses the model's bytes. kMalformed when they are not a trie model of order 1 to 3 that lies
// wholly inside them, or when ARPA text could not carry it: a word that is empty, listed twice or
// holds a blank or control character, a weight that is infinite or not a number.
Result ReadTrieModel(const uint8_t* data, size_t size, TrieModel* out);

// The ARPA text of a model: \data\ counts, then each order's section, then \end\.
std::string FormatArpa(const TrieModel& model);

struct ModelReport {
  platform::OsError osError = 0;
  std::u16string failedPath;  // the file whose call failed
  uint64_t counts[3] = {0, 0, 0};
  int order = 0;
};

// Reads the trie model at `source` and writes it as ARPA text to `destination`.
Result ConvertTrieModelToArpa(const std::u16string& source, const std::u16string& destination, ModelReport* report);

}  // namespace quillet::lexforge

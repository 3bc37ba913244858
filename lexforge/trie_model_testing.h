// Writes binary trie language models for tests and fuzz seeds: the layout ReadTrieModel reads, with
// quantisation tables that repeat one 256-byte tile (code c stands for -500 * c in the file's units,
// about -0.0217 * c in log10), so that the weights above the unigrams are rounded to those 64 values.
#pragma once

#include <cstdint>
#include <vector>

#include "lexforge/trie_model.h"

namespace quillet::lexforge::testing {

constexpr size_t kTrieQuantTileBytes = 256;

// The file of `m`. Its bigrams come sorted by their last word, its trigrams in the order of their
// bigram (the two words before the last): the order ReadTrieModel gives them back in.
std::vector<uint8_t> WriteTrieModel(const TrieModel& m);

}  // namespace quillet::lexforge::testing

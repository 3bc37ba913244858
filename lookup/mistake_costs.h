// What one typing or spelling mistake costs: -log10 of its probability, scaled by kCostScale as the
// ranking data's costs are, so that a mistake's cost and a word's cost add up to the cost of the word
// typed that way. The table is derived from misspelling pairs by tools/mistake_costs and committed as
// generated source (mistake_cost_table.cpp); nothing here needs the data at build time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet {

// Rows and columns: the letters a to z, then one class for every other character; contexts add the
// start of the word.
constexpr size_t kCostLetters = 27;
constexpr size_t kOtherLetter = 26;
constexpr size_t kCostContexts = 28;
constexpr size_t kWordStart = 27;

struct MistakeCostTable {
  uint16_t substitution[kCostLetters][kCostLetters];   // [meant][typed instead]
  uint16_t transposition[kCostLetters][kCostLetters];  // [first][second] meant, typed the other way round
  uint16_t deletion[kCostContexts][kCostLetters];      // [letter meant before it, or start][meant, left out]
  uint16_t insertion[kCostContexts][kCostLetters];     // [letter typed before it, or start][typed, not meant]
  uint16_t minTransposition;                           // the cheapest transposition
  // What all but 1% of real misspellings within two edits cost: likelier than this is what the search
  // looks for.
  uint16_t ceiling;
};

extern const MistakeCostTable kMistakeCosts;

inline size_t CostLetter(char16_t c) { return c >= u'a' && c <= u'z' ? size_t{c} - u'a' : kOtherLetter; }

}  // namespace quillet

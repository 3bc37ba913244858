// Misspelling pairs from a plain list of "wrong->right" lines (the form of the common-misspellings
// list that Debian's codespell package ships). Used to derive the mistake costs and to measure the
// forgiving matcher on pairs the costs were not derived from.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quillet::tools {

struct Misspelling {
  std::string wrong;  // as typed: lowercase a-z
  std::string right;  // the word meant: lowercase a-z
};

struct MisspellingSet {
  std::vector<Misspelling> training;  // what the costs are derived from
  std::vector<Misspelling> heldOut;   // every tenth usable pair, for measuring only
  size_t lines = 0;                   // lines read
  size_t skipped = 0;                 // lines not used: several corrections, other characters, no change
};

// Reads the list at `path`. Lines offering several corrections are skipped (which one was meant is
// unknown); apostrophes and hyphens are dropped and letters lowered, as dictionary keys are made,
// and a pair with any other character left is skipped. False when the file cannot be read.
bool ReadMisspellings(const std::string& path, MisspellingSet* out);

// Where Debian's codespell package installs its list.
inline constexpr const char* kCodespellList = "/usr/lib/python3/dist-packages/codespell_lib/data/dictionary.txt";

}  // namespace quillet::tools

// The model behind the mistake costs: the matcher's edit operations counted on aligned misspelling
// pairs, and each operation's smoothed probability as a cost (see mistake_costs.cpp).
#pragma once

#include <string>

namespace quillet::tools {

constexpr int kLetters = 26;
constexpr int kOther = 26;             // rows and columns of the table: a-z, then any other character
constexpr int kStart = 27;             // the context before the first letter
constexpr double kCostScale = 2048.0;  // as the ranking data's costs

bool Neighbours(int a, int b);  // letters 0-25 whose keys are neighbours
bool SoundAlike(int a, int b);  // letters 0-25 that stand for close sounds

enum SubClass { kNeighbour, kSound, kBoth, kFar, kSubClasses };
inline const char* const kSubClassNames[] = {"keyboard neighbours", "sound-alike", "both", "other"};
enum InsClass { kDoubling, kBeside, kElse, kInsClasses };
inline const char* const kInsClassNames[] = {"doubling", "keyboard neighbour of the letter before", "other"};

// Operations counted on pairs of lowercase a-z words, in the matcher's contexts: a deletion after
// the letter meant before it, an insertion after the letter typed before it.
struct Counts {
  double unigram[kLetters] = {};             // letters of the words meant
  double bigram[kStart + 1][kLetters] = {};  // [previous or start][letter]
  double words = 0;
  double sub[kLetters][kLetters] = {};    // [meant][typed]
  double trans[kLetters][kLetters] = {};  // [first][second] meant
  double del[kStart + 1][kLetters] = {};  // [meant before or start][left out]
  double ins[kStart + 1][kLetters] = {};  // [typed before or start][not meant]
};

// Costs laid out as the matcher's table (lookup/mistake_costs.h), unrounded.
struct Costs {
  double sub[27][27], trans[27][27], del[28][27], ins[28][27];
};

// Optimal string alignment of `meant` typed as `typed` (lowercase a-z), with the matcher's
// contexts; adds the operations of one cheapest alignment to `counts` when given (ties: deletion,
// insertion, transposition, match or substitution). Returns the number of edits, and in *cost what
// they cost.
int Align(const std::string& meant, const std::string& typed, const Costs& c, Counts* counts, double* cost = nullptr);

// Counts the letters and bigrams of a word meant.
void CountLetters(const std::string& meant, Counts* counts);

struct Derived {
  Costs costs;
  double subRate[kSubClasses] = {};  // per opportunity
  double insShare[kInsClasses] = {};
  double totalSub = 0, totalDel = 0, totalIns = 0, totalTrans = 0, letters = 0;
};

// The costs of every operation from the counts, smoothed as mistake_costs.cpp describes.
Derived Derive(const Counts& k);

}  // namespace quillet::tools

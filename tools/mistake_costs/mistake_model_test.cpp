// The model counts each operation where the matcher charges it, so that the costs derived from the
// counts are the costs the matcher meets; unseen confusions cost what their kind suggests.
#include "tools/mistake_costs/mistake_model.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "lookup/forgiving.h"
#include "lookup/mistake_costs.h"

namespace quillet::tools {
namespace {

int L(char c) { return c - 'a'; }

Costs Uniform(double v) {
  Costs c;
  for (auto* t : {&c.sub, &c.trans}) {
    for (auto& row : *t) std::fill(std::begin(row), std::end(row), v);
  }
  for (auto* t : {&c.del, &c.ins}) {
    for (auto& row : *t) std::fill(std::begin(row), std::end(row), v);
  }
  return c;
}

double Total(const Counts& k) {
  double n = 0;
  for (int x = 0; x < kLetters; ++x) {
    for (int y = 0; y < kLetters; ++y) n += k.sub[x][y] + k.trans[x][y];
  }
  for (int p = 0; p <= kStart; ++p) {
    for (int x = 0; x < kLetters; ++x) n += k.del[p][x] + k.ins[p][x];
  }
  return n;
}

TEST(MistakeModelTest, CountsEachOperationInTheMatchersContext) {
  const auto one = [](const char* meant, const char* typed) {
    Counts k;
    EXPECT_EQ(Align(meant, typed, Uniform(1), &k), 1) << meant << " " << typed;
    EXPECT_EQ(Total(k), 1) << meant << " " << typed;
    return k;
  };
  // A doubled letter left out or added is the second copy, after the same letter.
  EXPECT_EQ(one("occurred", "occured").del[L('r')][L('r')], 1);
  EXPECT_EQ(one("until", "untill").ins[L('l')][L('l')], 1);
  EXPECT_EQ(one("about", "bout").del[kStart][L('a')], 1);
  EXPECT_EQ(one("cat", "xcat").ins[kStart][L('x')], 1);
  EXPECT_EQ(one("because", "becuase").trans[L('a')][L('u')], 1);
  EXPECT_EQ(one("separate", "seperate").sub[L('a')][L('e')], 1);
}

TEST(MistakeModelTest, MatcherChargesWhatTheModelAligns) {
  Costs table;
  for (int x = 0; x < 27; ++x) {
    for (int y = 0; y < 27; ++y) {
      table.sub[x][y] = kMistakeCosts.substitution[x][y];
      table.trans[x][y] = kMistakeCosts.transposition[x][y];
    }
  }
  for (int p = 0; p < 28; ++p) {
    for (int x = 0; x < 27; ++x) {
      table.del[p][x] = kMistakeCosts.deletion[p][x];
      table.ins[p][x] = kMistakeCosts.insertion[p][x];
    }
  }
  // Real misspellings, and random words with up to three random mistakes, often next to each other
  // where the letter before differs between meant and typed.
  std::vector<std::pair<std::string, std::string>> pairs = {
      {"occurred", "occured"}, {"until", "untill"},    {"because", "becuase"},       {"separate", "seperate"},
      {"about", "bout"},       {"receive", "recieve"}, {"definitely", "definately"}, {"phonetic", "fonetik"}};
  std::mt19937 rng(3);
  for (int n = 0; n < 2000; ++n) {
    std::string meant;
    for (size_t k = 3 + rng() % 8; k > 0; --k) meant += static_cast<char>('a' + rng() % 26);
    std::string typed = meant;
    for (int e = 1 + rng() % 3; e > 0 && typed.size() > 1; --e) {
      const size_t at = rng() % typed.size();
      const char letter = static_cast<char>('a' + rng() % 26);
      switch (rng() % 4) {
        case 0:
          typed[at] = letter;
          break;
        case 1:
          typed.insert(typed.begin() + at, letter);
          break;
        case 2:
          typed.erase(typed.begin() + at);
          break;
        default:
          if (at + 1 < typed.size()) std::swap(typed[at], typed[at + 1]);
      }
    }
    pairs.emplace_back(meant, typed);
  }
  for (const auto& [meant, typed] : pairs) {
    double cost = 0;
    Align(meant, typed, table, nullptr, &cost);
    ASSERT_EQ(MistakeCost(std::u16string(meant.begin(), meant.end()), std::u16string(typed.begin(), typed.end()), false,
                          kUnlimitedEdits),
              static_cast<uint32_t>(cost))
        << meant << " " << typed;
  }
}

TEST(MistakeModelTest, UnseenConfusionsCostWhatTheirKindSuggests) {
  Counts k;
  for (int x = 0; x < kLetters; ++x) {
    k.unigram[x] = 1000;
    for (int p = 0; p <= kStart; ++p) k.bigram[p][x] = 40;
  }
  k.words = 500;
  // d is confused with its keyboard neighbours s and f often, with far p once.
  k.sub[L('d')][L('s')] = 30;
  k.sub[L('d')][L('f')] = 20;
  k.sub[L('d')][L('p')] = 1;
  const Costs c = Derive(k).costs;
  const auto sub = [&](char x, char y) { return c.sub[L(x)][L(y)]; };
  EXPECT_LT(sub('d', 's'), sub('d', 'f'));
  EXPECT_LT(sub('d', 'f'), sub('d', 'e'));  // seen before unseen
  EXPECT_LT(sub('d', 'e'), sub('d', 'm'));  // an unseen neighbour before an unseen far letter
  EXPECT_LT(sub('d', 'p'), sub('d', 'm'));  // seen once before unseen of the same kind
}

}  // namespace
}  // namespace quillet::tools

// Forgiving matching: which mistakes are forgiven and what they cost, and that the trie walk with its
// skips finds exactly what comparing every key would.
#include "lookup/forgiving.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "common/dict_image_testing.h"
#include "lookup/mistake_costs.h"
#include "lookup/sound_key.h"

namespace quillet {
namespace {

struct Dictionary {
  explicit Dictionary(std::vector<std::u16string> keys) : keys(std::move(keys)) {
    image = testing::BuildDictionaryImage(this->keys);
    EXPECT_TRUE(DictionaryView::FromFile(image.data(), image.size(), &view));
  }
  std::vector<std::u16string> Words(const std::vector<ForgivingMatch>& matches) const {
    std::vector<std::u16string> words;
    for (const ForgivingMatch& m : matches) words.push_back(keys.at(m.entry));
    return words;
  }
  std::vector<std::u16string> keys;
  std::vector<uint8_t> image;
  DictionaryView view;
};

size_t L(char16_t c) { return CostLetter(c); }

// The cheapest way, with at most `edits` edits, to type `typed` for some prefix of `key`: the whole
// table, every prefix, no shortcut.
uint32_t ReferenceCost(const std::u16string& key, const std::u16string& typed, size_t edits) {
  const size_t n = key.size(), m = typed.size();
  const uint32_t inf = 1u << 30;
  std::vector<uint32_t> table((n + 1) * (m + 1) * (edits + 1), inf);
  const auto d = [&](size_t i, size_t j, size_t e) -> uint32_t& { return table[(i * (m + 1) + j) * (edits + 1) + e]; };
  const auto ctx = [](const std::u16string& s, size_t k) { return k >= 2 ? L(s[k - 2]) : kWordStart; };
  uint32_t best = inf;
  for (size_t i = 0; i <= n; ++i) {
    for (size_t j = 0; j <= m; ++j) {
      for (size_t e = 0; e <= edits; ++e) {
        uint32_t v = i == 0 && j == 0 ? 0 : inf;
        if (i > 0 && j > 0 && key[i - 1] == typed[j - 1]) v = std::min(v, d(i - 1, j - 1, e));
        if (e == 0) {
          d(i, j, e) = v;
          continue;
        }
        if (i > 0 && j > 0 && key[i - 1] != typed[j - 1]) {
          v = std::min(v, d(i - 1, j - 1, e - 1) + kMistakeCosts.substitution[L(key[i - 1])][L(typed[j - 1])]);
        }
        if (i > 0) v = std::min(v, d(i - 1, j, e - 1) + kMistakeCosts.deletion[ctx(key, i)][L(key[i - 1])]);
        if (j > 0) v = std::min(v, d(i, j - 1, e - 1) + kMistakeCosts.insertion[ctx(typed, j)][L(typed[j - 1])]);
        if (i > 1 && j > 1 && key[i - 1] == typed[j - 2] && key[i - 2] == typed[j - 1] && key[i - 1] != key[i - 2]) {
          v = std::min(v, d(i - 2, j - 2, e - 1) + kMistakeCosts.transposition[L(key[i - 2])][L(key[i - 1])]);
        }
        d(i, j, e) = v;
      }
    }
    best = std::min(best, d(i, m, edits));
  }
  return best;
}

// Every key compared: the cheapest `count`, the lower entry first on equal costs.
std::vector<ForgivingMatch> Reference(const Dictionary& dict, const std::u16string& typed, size_t count,
                                      uint16_t minWordLength, uint32_t maxCost, bool forgivenOnly = false,
                                      uint32_t beam = kNoMatch, bool runs = false) {
  const size_t edits = std::min<size_t>(2, typed.empty() ? 0 : typed.size() - 1);
  std::vector<ForgivingMatch> all;
  // The beam counts from the cheapest match; a run may stand for keys too short to be one.
  uint32_t cheapest = kNoMatch;
  for (uint32_t i = 0; i < dict.keys.size(); ++i) {
    if (forgivenOnly && dict.keys[i].compare(0, typed.size(), typed) == 0) continue;
    const uint32_t cost = ReferenceCost(dict.keys[i], typed, edits);
    if (cost >= (1u << 30) || cost > maxCost || (!runs && dict.keys[i].size() <= minWordLength)) continue;
    cheapest = std::min(cheapest, cost);
    if (dict.keys[i].size() > minWordLength) all.push_back({i, cost, cost == 0, false});
  }
  std::stable_sort(all.begin(), all.end(),
                   [](const ForgivingMatch& a, const ForgivingMatch& b) { return a.cost < b.cost; });
  if (beam != kNoMatch && cheapest != kNoMatch) {
    const uint64_t limit = uint64_t{cheapest} + beam;
    all.erase(std::find_if(all.begin(), all.end(), [&](const ForgivingMatch& m) { return m.cost > limit; }), all.end());
  }
  if (all.size() > count) all.resize(count);
  return all;
}

const std::vector<std::u16string> kWords = {
    u"about",   u"because", u"become",   u"bed",       u"bedroom", u"begin",  u"bicycle", u"bot",   u"cat",   u"dot",
    u"fanatic", u"phone",   u"phonetic", u"phonetics", u"receive", u"recipe", u"the",     u"their", u"there", u"they"};

TEST(ForgivingTest, ForgivesOneMistakeOfEachKindAtItsCostInContext) {
  const Dictionary dict(kWords);
  const auto first = [&](std::u16string_view typed) { return ForgivingMatches(dict.view, typed, 3).at(0); };
  // "because": the a after c left out, e typed as i, c and a swapped, an s added after s.
  const ForgivingMatch left = first(u"becuse"), wrong = first(u"bicause"), swapped = first(u"beacuse"),
                       added = first(u"becauss");
  for (const ForgivingMatch& m : {left, wrong, swapped, added}) {
    EXPECT_EQ(dict.keys[m.entry], u"because");
    EXPECT_FALSE(m.exact);
  }
  EXPECT_EQ(left.cost, kMistakeCosts.deletion[L(u'c')][L(u'a')]);
  EXPECT_EQ(wrong.cost, kMistakeCosts.substitution[L(u'e')][L(u'i')]);
  EXPECT_EQ(swapped.cost, kMistakeCosts.transposition[L(u'c')][L(u'a')]);
  EXPECT_EQ(added.cost, kMistakeCosts.insertion[L(u's')][L(u's')]);
  // Letters that begin keys cost nothing, upper case as typed.
  const auto exact = ForgivingMatches(dict.view, u"BEC", 10);
  ASSERT_GE(exact.size(), 2u);
  EXPECT_EQ(dict.Words({exact[0], exact[1]}), (std::vector<std::u16string>{u"because", u"become"}));
  EXPECT_TRUE(exact[0].exact && exact[1].exact && exact[0].cost == 0 && exact[1].cost == 0);
  EXPECT_FALSE(exact.back().exact);
}

TEST(ForgivingTest, ForgivesAtMostTwoEditsAndFewerInShortWords) {
  const Dictionary dict(kWords);
  // Two mistakes: found; three ("because" with e->a, a left out, s->z): not.
  EXPECT_EQ(dict.Words(ForgivingMatches(dict.view, u"bicuse", 1)), std::vector<std::u16string>{u"because"});
  const auto three = dict.Words(ForgivingMatches(dict.view, u"bacuze", 20));
  EXPECT_EQ(std::count(three.begin(), three.end(), u"because"), 0);
  // One letter is taken as typed; two allow one mistake.
  for (const ForgivingMatch& m : ForgivingMatches(dict.view, u"x", 20)) ADD_FAILURE() << m.entry;
  const auto two = dict.Words(ForgivingMatches(dict.view, u"tx", 20));
  EXPECT_EQ(two, (std::vector<std::u16string>{u"the", u"their", u"there", u"they"}));
  ForgivingQuery none;
  none.typed = u"becuse";
  none.maxEdits = 0;
  EXPECT_TRUE(ForgivingMatches(dict.view, none).empty());
}

std::vector<ForgivingMatch> Unlimited(const DictionaryView& view, std::u16string_view typed, size_t count) {
  ForgivingQuery query;
  query.typed = typed;
  query.maxResults = count;
  query.maxCost = kNoMatch;
  return ForgivingMatches(view, query);
}

TEST(ForgivingTest, CostsFollowTheData) {
  // x is beside d on the keyboard, far from b; k sounds as c does, l does not.
  const Dictionary dict({u"bot", u"dot"});
  EXPECT_EQ(dict.Words(Unlimited(dict.view, u"xot", 2)), (std::vector<std::u16string>{u"dot", u"bot"}));
  const Dictionary cat({u"cat"});
  const uint32_t sound = Unlimited(cat.view, u"kat", 1).at(0).cost;
  const uint32_t far = Unlimited(cat.view, u"lat", 1).at(0).cost;
  EXPECT_LT(sound, far);
  // Mistakes rarer than nearly all real ones are not forgiven unless asked for.
  ASSERT_GT(far, kMistakeCosts.ceiling);
  EXPECT_TRUE(ForgivingMatches(cat.view, u"lat", 1).empty());
}

TEST(ForgivingTest, FindsWholeWordsBySound) {
  const Dictionary dict(kWords);
  const std::vector<uint8_t> bytes = BuildSoundIndex(dict.view);
  SoundIndexView sounds;
  ASSERT_TRUE(SoundIndexView::FromBytes(bytes.data(), bytes.size(), &sounds));
  // Three edits away: only its sound finds it, at what its edits cost.
  EXPECT_TRUE(ForgivingMatches(dict.view, u"fonetik", 10).empty());
  const auto found = ForgivingMatches(dict.view, u"fonetik", 10, &sounds);
  ASSERT_EQ(dict.Words(found), (std::vector<std::u16string>{u"phonetic", u"fanatic"}));
  for (const ForgivingMatch& m : found) {
    EXPECT_TRUE(m.soundsLike);
    EXPECT_FALSE(m.exact);
    EXPECT_EQ(m.cost, MistakeCost(dict.keys[m.entry], u"fonetik", false, kUnlimitedEdits));
  }
  // A word found both ways keeps the cheaper cost, and the matches stay in cost order.
  const auto both = ForgivingMatches(dict.view, u"recieve", 10, &sounds);
  ASSERT_FALSE(both.empty());
  EXPECT_EQ(dict.keys[both[0].entry], u"receive");
  EXPECT_TRUE(both[0].soundsLike);
  EXPECT_EQ(both[0].cost, ForgivingMatches(dict.view, u"recieve", 1).at(0).cost);
  EXPECT_TRUE(std::is_sorted(both.begin(), both.end(), [](auto& a, auto& b) { return a.cost < b.cost; }));
  // An index made for another dictionary is not used.
  const Dictionary other({u"phonetic"});
  EXPECT_TRUE(ForgivingMatches(other.view, u"fonetik", 10, &sounds).empty());
}

// Random small dictionaries over few letters, so that keys share prefixes and mistakes land on other
// keys: the walk must give exactly the reference's matches and costs, whatever the page size, also
// when the keys that begin with the typed letters are left out.
TEST(ForgivingTest, WalkFindsWhatComparingEveryKeyFinds) {
  std::mt19937 rng(20240601);
  const std::u16string letters = u"abcdeé";
  const auto word = [&](size_t maxLength) {
    std::u16string w;
    for (size_t n = rng() % (maxLength + 1); n > 0; --n) w += letters[rng() % letters.size()];
    return w;
  };
  for (int round = 0; round < 150; ++round) {
    // Every tenth dictionary is large enough for index nodes below the root.
    std::vector<std::u16string> keys;
    for (size_t n = 1 + rng() % (round % 10 == 0 ? 1500 : 120); n > 0; --n) keys.push_back(word(7));
    std::sort(keys.begin(), keys.end());
    const Dictionary dict(keys);
    for (int q = 0; q < 12; ++q) {
      std::u16string typed = q % 2 ? word(6) : keys[rng() % keys.size()].substr(0, 1 + rng() % 6);
      if (q % 3 == 0 && !typed.empty()) typed[rng() % typed.size()] = letters[rng() % letters.size()];
      ForgivingQuery query;
      query.typed = typed;
      query.maxResults = 1 + rng() % 25;
      query.minWordLength = static_cast<uint16_t>(rng() % 3);
      query.maxCost = q % 4 == 0 ? kNoMatch : q % 4 == 1 ? rng() % 20000 : kUsualCeiling;
      query.forgivenOnly = q % 5 >= 3;
      query.beam = q % 3 == 1 ? rng() % 12000 : kNoMatch;
      const auto got = ForgivingMatches(dict.view, query);
      const uint32_t ceiling = query.maxCost == kUsualCeiling ? kMistakeCosts.ceiling : query.maxCost;
      const auto want =
          Reference(dict, typed, query.maxResults, query.minWordLength, ceiling, query.forgivenOnly, query.beam);
      ASSERT_EQ(got.size(), want.size()) << "typed " << std::string(typed.begin(), typed.end());
      for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].entry, want[i].entry) << i;
        EXPECT_EQ(got[i].cost, want[i].cost) << i;
        EXPECT_EQ(got[i].exact, want[i].exact) << i;
      }
      // As runs, cheapest first: the keys of each share a prefix and its cost, and all of them together
      // are every match.
      query.runs = true;
      query.maxResults = keys.size();
      std::vector<ForgivingMatch> expanded;
      uint32_t last = 0;
      for (const ForgivingMatch& run : ForgivingMatches(dict.view, query)) {
        ASSERT_GE(run.cost, last);
        last = run.cost;
        ASSERT_LT(run.entry, run.end);
        ASSERT_LE(run.end, keys.size());
        for (uint32_t e = run.entry; e < run.end; ++e) {
          ASSERT_EQ(keys[e].compare(0, run.depth, keys[run.entry], 0, run.depth), 0);
          if (keys[e].size() > query.minWordLength) expanded.push_back({e, run.cost});
        }
      }
      std::sort(expanded.begin(), expanded.end(), [](auto& a, auto& b) { return a.entry < b.entry; });
      auto all =
          Reference(dict, typed, keys.size(), query.minWordLength, ceiling, query.forgivenOnly, query.beam, true);
      std::sort(all.begin(), all.end(), [](auto& a, auto& b) { return a.entry < b.entry; });
      ASSERT_EQ(expanded.size(), all.size());
      for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(expanded[i].entry, all[i].entry);
        EXPECT_EQ(expanded[i].cost, all[i].cost);
      }
    }
  }
}

// A frontier kept from letter to letter (and across words, dictionaries and options, as a caller may
// leave it) changes no result: each search with it finds what the same search without it finds.
TEST(ForgivingTest, AFrontierKeptBetweenLettersChangesNoResult) {
  std::mt19937 rng(99);
  const std::u16string letters = u"abcde";
  ForgivingFrontier frontier;
  for (int round = 0; round < 60; ++round) {
    std::vector<std::u16string> keys;
    for (size_t n = 1 + rng() % (round % 6 == 0 ? 2000 : 200); n > 0; --n) {
      std::u16string w;
      for (size_t k = 1 + rng() % 9; k > 0; --k) w += letters[rng() % letters.size()];
      keys.push_back(w);
    }
    std::sort(keys.begin(), keys.end());
    const Dictionary dict(keys);
    for (int q = 0; q < 8; ++q) {
      std::u16string word = keys[rng() % keys.size()];
      for (size_t k = 0; k < 3; ++k) word.insert(rng() % (word.size() + 1), 1, letters[rng() % letters.size()]);
      ForgivingQuery query;
      query.maxResults = 1 + rng() % 20;
      query.maxCost = q % 3 == 0 ? rng() % 40000 : kUsualCeiling;
      query.forgivenOnly = q % 2 == 1;
      query.runs = q % 4 >= 2;
      for (size_t n = 1; n <= word.size(); ++n) {
        query.typed = std::u16string_view(word).substr(0, n);
        query.frontier = nullptr;
        const auto want = ForgivingMatches(dict.view, query);
        query.frontier = &frontier;
        const auto got = ForgivingMatches(dict.view, query);
        ASSERT_EQ(got.size(), want.size()) << "typed " << std::string(word.begin(), word.begin() + n);
        for (size_t i = 0; i < got.size(); ++i) {
          EXPECT_EQ(got[i].entry, want[i].entry) << i;
          EXPECT_EQ(got[i].cost, want[i].cost) << i;
          EXPECT_EQ(got[i].end, want[i].end) << i;
          EXPECT_EQ(got[i].depth, want[i].depth) << i;
        }
      }
    }
  }
}

// Damaged images that still pass the header check, a damaged sound index, nothing at all and a very
// long word: no crash, and only entries of the dictionary come back.
TEST(ForgivingTest, DamagedOrEmptyInputGivesAClearResult) {
  EXPECT_TRUE(ForgivingMatches(DictionaryView(), u"becuse", 10).empty());
  const Dictionary empty(std::vector<std::u16string>{});
  for (std::u16string_view typed : {u"becuse", u""}) EXPECT_TRUE(ForgivingMatches(empty.view, typed, 10).empty());

  const Dictionary dict(kWords);
  std::vector<uint8_t> sounds = BuildSoundIndex(dict.view);
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> image = dict.image;
    std::vector<uint8_t> index = sounds;
    for (int k = 0; k < 1 + round % 8; ++k) {
      image[kDictHeaderSize + rng() % (image.size() - kDictHeaderSize)] = static_cast<uint8_t>(rng());
      index[rng() % index.size()] = static_cast<uint8_t>(rng());
    }
    image.resize(image.size() - rng() % 64);
    DictionaryView view;
    SoundIndexView soundView;
    if (!DictionaryView::FromFile(image.data(), image.size(), &view)) continue;
    const bool withSounds = SoundIndexView::FromBytes(index.data(), index.size(), &soundView);
    for (std::u16string_view typed : {u"becuse", u"fonetik", u"the", u""}) {
      for (const ForgivingMatch& m : ForgivingMatches(view, typed, 10, withSounds ? &soundView : nullptr)) {
        EXPECT_LT(m.entry, view.entryCount());
      }
    }
  }

  const std::u16string longKey(5000, u'a');
  const Dictionary longDict({u"a", longKey, u"b"});
  std::u16string longTyped = longKey;
  longTyped[2500] = u'b';
  EXPECT_EQ(longDict.Words(ForgivingMatches(longDict.view, longTyped, 10)), std::vector<std::u16string>{longKey});
  EXPECT_TRUE(ForgivingMatches(longDict.view, std::u16string(20000, u'b'), 10).empty());
}

}  // namespace
}  // namespace quillet

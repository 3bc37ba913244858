// The ranked orders of a source: which entries the first page holds, what the pages after it hold,
// and when the ranking data is not used.
#include "lookup/ranking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/learned_store.h"
#include "common/rank_view.h"
#include "lookup/lookup_testing.h"
#include "lookup/tab_source.h"

namespace quillet {
namespace {

std::vector<std::u16string> Words(const TabSource& s) {
  std::vector<std::u16string> w;
  for (size_t i = 0; i < s.PageCount(); ++i) w.push_back(s.CandidateWord(i));
  return w;
}

// A dictionary with its ranking data, both in memory.
struct Ranked {
  std::vector<uint8_t> dictionary;
  std::vector<uint8_t> rankBytes;
  RankView rank;
  std::vector<uint8_t> learnedBytes;
  LearnedView learned;
  RankingData data;

  Ranked(const std::vector<testing::ImageEntry>& entries, const std::vector<uint16_t>& costs,
         const std::vector<RankContext>& contexts, uint64_t fingerprint = 0) {
    dictionary = testing::BuildDictionaryImage(entries);
    DictionaryView view;
    EXPECT_TRUE(DictionaryView::FromFile(dictionary.data(), dictionary.size(), &view));
    rankBytes = EncodeRankData(fingerprint != 0 ? fingerprint : DictionaryFingerprint(view), costs, contexts);
    EXPECT_TRUE(RankView::FromBytes(rankBytes.data(), rankBytes.size(), &rank));
    data.rank = &rank;
  }
  void Learn(const LearnedStore& store) {
    learnedBytes = store.Serialize();
    EXPECT_TRUE(LearnedView::FromBytes(learnedBytes.data(), learnedBytes.size(), &learned));
    data.learned = &learned;
  }
};

std::vector<testing::ImageEntry> Entries(const std::vector<std::u16string>& keys) {
  std::vector<testing::ImageEntry> e;
  for (const auto& k : keys) e.push_back({k, u"", u"", u""});
  return e;
}

// Random dictionaries and costs: the first page is the ten cheapest eligible entries of the run, the
// pages after it the rest of the run in dictionary order, each entry once; typing letter by letter
// gives what one SetPrefix gives.
TEST(RankedOrder, FirstPageIsTheBestOfTheRunAndTheRestFollowsInDictionaryOrder) {
  std::mt19937 rng(3);
  for (int round = 0; round < 30; ++round) {
    std::set<std::u16string> keySet;
    const size_t n = 50 + rng() % 900;
    while (keySet.size() < n) {
      std::u16string k;
      for (size_t len = 1 + rng() % 6; len > 0; --len) k += static_cast<char16_t>(u'a' + rng() % 4);
      keySet.insert(k);
    }
    const std::vector<std::u16string> keys(keySet.begin(), keySet.end());
    std::vector<uint16_t> costs(n);
    for (auto& c : costs) c = static_cast<uint16_t>(rng() % 200 == 0 ? kWorstCost : rng() % 300);
    Ranked r(Entries(keys), costs, {});
    const uint16_t minLength = static_cast<uint16_t>(rng() % 3);
    auto source = testing::MakeRankedSource(r.dictionary, minLength, &r.data);
    source->SetOrder(CandidateOrder::kFrequent);
    for (const std::u16string prefix : {u"a", u"b", u"ab", u"cd", u"dda", u""}) {
      std::vector<uint32_t> run;
      for (uint32_t i = 0; i < n; ++i) {
        if (keys[i].size() > minLength && keys[i].compare(0, prefix.size(), prefix) == 0) run.push_back(i);
      }
      std::vector<uint32_t> best = run;
      std::stable_sort(best.begin(), best.end(), [&](uint32_t a, uint32_t b) { return costs[a] < costs[b]; });
      best.resize(std::min<size_t>(best.size(), 10));
      std::vector<std::u16string> expected;
      for (uint32_t i : best) expected.push_back(keys[i]);

      ASSERT_EQ(source->SetPrefix(prefix), expected.size());
      ASSERT_EQ(Words(*source), expected) << "prefix " << prefix.size();
      EXPECT_EQ(source->ranked(), true);
      if (prefix.size() >= 2) {
        source->SetPrefix(prefix.substr(0, 1));
        for (size_t k = 1; k < prefix.size(); ++k) source->AppendLetter(prefix[k]);
        ASSERT_EQ(Words(*source), expected);
      }
      std::vector<std::u16string> all = Words(*source);
      while (source->NextPage() > 0) {
        const auto page = Words(*source);
        all.insert(all.end(), page.begin(), page.end());
      }
      std::vector<std::u16string> rest;
      for (uint32_t i : run) {
        if (std::find(best.begin(), best.end(), i) == best.end()) rest.push_back(keys[i]);
      }
      ASSERT_EQ(all.size(), run.size());
      EXPECT_TRUE(std::equal(rest.begin(), rest.end(), all.begin() + expected.size()));
    }
  }
}

TEST(RankedOrder, TheWordsBeforeDecideAndBackOffToTheWordsAlone) {
  // 0 a, 1 and, 2 ant, 3 any, 4 ape, 5 the, 6 to
  const std::vector<std::u16string> keys{u"a", u"and", u"ant", u"any", u"ape", u"the", u"to"};
  std::vector<uint16_t> costs{100, 200, 900, 300, 800, 150, 250};
  std::vector<RankContext> contexts;
  contexts.push_back({6, 5, -50, {{2, 120}}});                  // "to the" -> ant
  contexts.push_back({kNoWord, 5, -400, {{4, 150}}});           // "the" -> ape
  contexts.push_back({kNoWord, kSentenceStart, 0, {{5, 10}}});  // a sentence starts with "the"
  Ranked r(Entries(keys), costs, contexts);
  auto source = testing::MakeRankedSource(r.dictionary, 0, &r.data);
  source->SetOrder(CandidateOrder::kFrequent);
  WordHistory h;
  source->SetContext(h);
  source->SetPrefix(u"a");
  EXPECT_EQ(Words(*source), (std::vector<std::u16string>{u"a", u"and", u"any", u"ape", u"ant"}));
  ASSERT_EQ(source->NextWords(), 7u);
  EXPECT_EQ(source->CandidateWord(0), u"the");  // after a sentence start
  h.Write(u"The");                              // written with a capital: still the word "the"
  source->SetContext(h);
  source->SetPrefix(u"a");
  // ape: its cost after "the"; the others back off to their own cost with the weight of "the" (400).
  EXPECT_EQ(Words(*source), (std::vector<std::u16string>{u"ape", u"a", u"and", u"any", u"ant"}));
  WordHistory to;
  to.Write(u"to");
  to.Write(u"the");
  source->SetContext(to);
  source->SetPrefix(u"an");
  EXPECT_EQ(Words(*source), (std::vector<std::u16string>{u"ant", u"and", u"any"}));
  WordHistory unknown;
  unknown.Write(u"zebra");  // not in the dictionary: the words alone
  source->SetContext(unknown);
  source->SetPrefix(u"a");
  EXPECT_EQ(source->CandidateWord(0), u"a");
}

TEST(RankedOrder, DataMadeForAnotherDictionaryOrNoneMeansDictionaryOrder) {
  const std::vector<std::u16string> keys{u"ba", u"bb", u"bc", u"bd"};
  const std::vector<uint16_t> costs{40, 30, 20, 10};
  Ranked stale(Entries(keys), costs, {}, 12345);
  for (const RankingData* data :
       {static_cast<const RankingData*>(&stale.data), static_cast<const RankingData*>(nullptr)}) {
    auto source = testing::MakeRankedSource(stale.dictionary, 0, data);
    source->SetOrder(CandidateOrder::kLearning);
    source->SetPrefix(u"b");
    EXPECT_EQ(Words(*source), keys);
    EXPECT_FALSE(source->ranked());
    EXPECT_EQ(source->NextWords(), 0u);
  }
  Ranked current(Entries(keys), costs, {});
  auto source = testing::MakeRankedSource(current.dictionary, 0, &current.data);
  source->SetPrefix(u"b");  // dictionary order is the default
  EXPECT_EQ(Words(*source), keys);
  EXPECT_EQ(source->NextWords(), 0u);
  source->SetOrder(CandidateOrder::kFrequent);
  source->SetPrefix(u"b");
  EXPECT_EQ(Words(*source), (std::vector<std::u16string>{u"bd", u"bc", u"bb", u"ba"}));
}

TEST(RankedOrder, LearnedWordsRankUpAndNewWordsNeedTwoUses) {
  const std::vector<std::u16string> keys{u"qua", u"quack", u"quality", u"quiet", u"quite"};
  const std::vector<uint16_t> costs{5000, 6000, 3000, 3500, 2000};
  Ranked r(Entries(keys), costs, {});
  LearnedStore store;
  store.Learn(u"", u"quack");
  store.Learn(u"", u"Quillet");
  r.Learn(store);
  auto source = testing::MakeRankedSource(r.dictionary, 0, &r.data);
  source->SetOrder(CandidateOrder::kFrequent);  // does not learn
  source->SetPrefix(u"qu");
  EXPECT_EQ(source->CandidateWord(0), u"quite");
  source->SetOrder(CandidateOrder::kLearning);
  source->SetPrefix(u"qu");
  EXPECT_EQ(source->CandidateWord(0), u"quack");
  EXPECT_EQ(source->PageCount(), 5u);  // Quillet was written once only
  store.Learn(u"", u"Quillet");
  r.Learn(store);
  source->SetPrefix(u"qu");
  ASSERT_EQ(source->PageCount(), 6u);
  EXPECT_EQ(source->CandidateWord(0), u"quillet");
  EXPECT_EQ(source->CandidateCommit(0), u"Quillet");
  source->SetPrefix(u"qua");
  for (size_t i = 0; i < source->PageCount(); ++i) EXPECT_NE(source->CandidateWord(i), u"quillet");
  // The dictionary's own entries are never repeated by the pages after the first.
  EXPECT_EQ(source->NextPage(), 0u);
}

TEST(RankedOrder, AnAddedWordIsOfferedAtOnce) {
  Ranked r(Entries({u"qua", u"quack"}), {5000, 6000}, {});
  LearnedStore store;
  ASSERT_TRUE(store.AddWord(u"Quillet"));
  r.Learn(store);
  auto source = testing::MakeRankedSource(r.dictionary, 0, &r.data);
  source->SetOrder(CandidateOrder::kLearning);
  ASSERT_EQ(source->SetPrefix(u"qui"), 1u);
  EXPECT_EQ(source->CandidateCommit(0), u"Quillet");
}

TEST(RankedOrder, WordEntryFindsTheSpellingThatStandsForAWord) {
  std::vector<testing::ImageEntry> entries{
      {u"dont", u"", u"", u""}, {u"dont", u"don't", u"don't", u""}, {u"i", u"", u"", u""}, {u"i", u"I", u"I", u""}};
  const std::vector<uint8_t> image = testing::BuildDictionaryImage(entries);
  DictionaryView v;
  ASSERT_TRUE(DictionaryView::FromFile(image.data(), image.size(), &v));
  EXPECT_EQ(WordEntry(v, u"don't"), 1u);
  EXPECT_EQ(WordEntry(v, u"Dont"), 0u);
  EXPECT_EQ(WordEntry(v, u"I"), 2u);  // the first entry of the word: "i" and "I" are one word
  EXPECT_EQ(WordEntry(v, u"x"), kNone);
  EXPECT_EQ(WordEntry(v, u"'"), kNone);
}

}  // namespace
}  // namespace quillet

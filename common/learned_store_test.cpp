#include "common/learned_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/le.h"

namespace quillet {
namespace {

TEST(LearnedStore, LearnsOnlyWhatCouldBeAWord) {
  for (const char16_t* word : {u"don't", u"Zoë", u"C3PO"}) EXPECT_TRUE(LearnedStore::IsLearnable(word)) << word;
  for (const std::u16string& word : {std::u16string(u"a\0b", 3), std::u16string(u"a b"), std::u16string(u"3.14")})
    EXPECT_FALSE(LearnedStore::IsLearnable(word));
  EXPECT_TRUE(LearnedStore::IsLearnable(std::u16string(40, u'a')));
  EXPECT_FALSE(LearnedStore::IsLearnable(std::u16string(41, u'a')));

  LearnedStore store;
  store.Learn(u"", u"1234");
  store.Learn(u"1234", u"apples");  // the word is learnt, not the pair with the number
  EXPECT_EQ(store.size(), 1u);
  EXPECT_EQ(store.Uses(u"apples"), 1u);
}

TEST(LearnedStore, RecentWordsWeighMoreAndTheWeakestGoWhenFull) {
  LearnedStore store(100);
  store.Learn(u"", u"old");
  for (int i = 0; i < 50; ++i) store.Learn(u"", u"filler");
  store.Learn(u"", u"new");
  EXPECT_EQ(store.Uses(u"old"), 1u);
  EXPECT_NEAR(store.Weight(u"new"), 1.0, 1e-9);
  EXPECT_NEAR(store.Weight(u"old"), std::pow(LearnedStore::kDecay, 51), 1e-9);

  // Over capacity the store drops to nine tenths of it, the weakest first.
  for (int i = 0; i < 120; ++i)
    store.Learn(u"", u"w" + std::u16string(1, u'a' + i % 26) + std::u16string(i / 26 + 1, u'q'));
  EXPECT_LE(store.size(), 100u);
  EXPECT_EQ(store.Weight(u"old"), 0);
  EXPECT_GT(store.Weight(u"filler"), 0);  // fifty uses outweigh the newer single ones
}

TEST(LearnedStore, ForgetsAWordWithItsPairsAndClears) {
  LearnedStore store;
  store.Learn(u"", u"Quillet");
  store.Learn(u"Quillet", u"types");
  store.Learn(u"types", u"Quillet");
  store.Learn(u"types", u"fast");
  EXPECT_EQ(store.size(), 6u);  // three words, three pairs
  EXPECT_FALSE(store.Forget(u"nothing"));
  EXPECT_TRUE(store.Forget(u"quillet"));  // any spelling
  EXPECT_EQ(store.Weight(u"Quillet"), 0);
  EXPECT_EQ(store.size(), 3u);  // types, fast, and the pair types fast
  store.Clear();
  EXPECT_EQ(store.size(), 0u);
}

// A word added by hand counts as written twice, by the same word rules, and is forgotten like any.
TEST(LearnedStore, AnAddedWordCountsAsWrittenTwice) {
  LearnedStore store;
  store.Learn(u"", u"other");
  EXPECT_TRUE(store.AddWord(u"Zorblax"));
  EXPECT_EQ(store.Uses(u"Zorblax"), 2u);
  EXPECT_DOUBLE_EQ(store.Weight(u"Zorblax"), 2.0);
  EXPECT_FALSE(store.AddWord(u"1234"));
  EXPECT_FALSE(store.AddWord(u"two words"));
  EXPECT_FALSE(store.AddWord(u"bro\uFFFDken"));
  EXPECT_EQ(store.size(), 2u);
  EXPECT_TRUE(store.Forget(u"zorblax"));
  EXPECT_EQ(store.size(), 1u);
}

TEST(LearnedStore, KeepsTheSpellingSeenInsideASentence) {
  LearnedStore store;
  store.Learn(u"", u"Paris", true);  // a sentence start says nothing about the capital
  std::vector<uint8_t> bytes = store.Serialize();
  LearnedView v;
  ASSERT_TRUE(LearnedView::FromBytes(bytes.data(), bytes.size(), &v));
  LearnedRecord r;
  ASSERT_TRUE(v.Record(0, &r));
  EXPECT_EQ(r.form.ToString(), u"paris");
  store.Learn(u"in", u"Paris");
  bytes = store.Serialize();
  ASSERT_TRUE(LearnedView::FromBytes(bytes.data(), bytes.size(), &v));
  uint32_t first, end;
  v.PrefixRange(u"paris", &first, &end);
  ASSERT_EQ(end - first, 1u);
  ASSERT_TRUE(v.Record(first, &r));
  EXPECT_EQ(r.form.ToString(), u"Paris");
  EXPECT_EQ(r.uses, 2u);
}

// A corrected misspelling is kept as a pair found by the letters typed (any case), weighs nothing as
// a word, survives a round trip, and goes with its word; strings that are not words are not kept.
TEST(LearnedStore, KeepsCorrectedMisspellingsBesideTheWords) {
  LearnedStore store;
  store.Learn(u"", u"because");
  store.LearnMistake(u"Becuse", u"because");
  store.LearnMistake(u"becuse", u"because");
  store.LearnMistake(u"bec use", u"because");
  store.LearnMistake(u"becuse", u"1234");
  EXPECT_EQ(store.size(), 2u);
  const std::vector<uint8_t> bytes = store.Serialize();
  LearnedView v;
  ASSERT_TRUE(LearnedView::FromBytes(bytes.data(), bytes.size(), &v));
  uint32_t first, end;
  v.PrefixRange(MistakeKey(u"BECUSE"), &first, &end);
  ASSERT_EQ(end - first, 1u);
  LearnedRecord r;
  ASSERT_TRUE(v.Record(first, &r));
  EXPECT_EQ(r.form.ToString(), u"because");
  EXPECT_EQ(r.uses, 2u);
  EXPECT_TRUE(r.pair());
  EXPECT_EQ(v.rankedCount(), 1u);
  EXPECT_FLOAT_EQ(v.wordTotal(), 1.0f);
  v.PrefixRange(u"b", &first, &end);
  EXPECT_EQ(end - first, 1u);

  LearnedStore again;
  ASSERT_TRUE(again.Load(bytes.data(), bytes.size()));
  EXPECT_EQ(again.Serialize(), bytes);
  EXPECT_TRUE(again.Forget(u"because"));
  EXPECT_EQ(again.size(), 0u);
}

TEST(LearnedStore, SerialisedFormRoundTripsAndIsSearchedInPlace) {
  LearnedStore store;
  const std::u16string text[] = {u"the", u"cat", u"sat", u"on", u"the", u"mat", u"the", u"cat", u"don't"};
  std::u16string previous;
  for (const auto& w : text) {
    store.Learn(previous, w);
    previous = w;
  }
  const std::vector<uint8_t> bytes = store.Serialize();
  LearnedView v;
  ASSERT_TRUE(LearnedView::FromBytes(bytes.data(), bytes.size(), &v));
  uint32_t first, end;
  v.PrefixRange(u"th", &first, &end);
  ASSERT_EQ(end - first, 3u);  // the word, then its pairs: every key begins with the first word's
  LearnedRecord r;
  ASSERT_TRUE(v.Record(first, &r));
  EXPECT_FALSE(r.pair());
  ASSERT_TRUE(v.Record(first + 1, &r));
  EXPECT_TRUE(r.pair());
  v.PrefixRange(std::u16string(u"the") + kPairSeparator, &first, &end);
  EXPECT_EQ(end - first, 2u);            // the cat, the mat
  v.PrefixRange(u"dont", &first, &end);  // keys leave the apostrophe out, forms keep it
  ASSERT_TRUE(v.Record(first, &r));
  EXPECT_EQ(r.form.ToString(), u"don't");
  ASSERT_GE(v.rankedCount(), 1u);
  ASSERT_TRUE(v.Record(v.Ranked(0), &r));
  EXPECT_EQ(r.key.ToString(), u"the");  // the heaviest word first

  LearnedStore again;
  ASSERT_TRUE(again.Load(bytes.data(), bytes.size()));
  EXPECT_EQ(again.Serialize(), bytes);
}

TEST(LearnedStore, DamagedFormsAreRejectedWholeOrReadAsHarmless) {
  LearnedStore store;
  store.Learn(u"", u"alpha");
  store.Learn(u"alpha", u"beta");
  const std::vector<uint8_t> good = store.Serialize();
  LearnedView v;
  for (size_t cut = 0; cut < good.size(); ++cut) EXPECT_FALSE(LearnedView::FromBytes(good.data(), cut, &v)) << cut;
  std::vector<uint8_t> bad = good;
  StoreU32(&bad[kLearnedHeaderSize], 0xFFFFFFF0);  // a key outside the text
  ASSERT_TRUE(LearnedView::FromBytes(bad.data(), bad.size(), &v));
  LearnedRecord r;
  EXPECT_FALSE(v.Record(0, &r));
  LearnedStore loaded;
  loaded.Learn(u"", u"kept");
  EXPECT_FALSE(loaded.Load(bad.data(), bad.size()));
  EXPECT_EQ(loaded.Uses(u"kept"), 1u);  // a failed load changes nothing
  bad = good;
  StoreU16(&bad[kLearnedHeaderSize + 6], 0);  // an empty form: not something the store could learn
  EXPECT_FALSE(loaded.Load(bad.data(), bad.size()));
  // Weights no learning gives: an infinite one (which would make the ranking's sums NaN) reads as
  // nothing, and a store holding a finite one beyond the limit is refused.
  bad = good;
  StoreU32(&bad[kLearnedHeaderSize + 12], 0x7F800000);
  ASSERT_TRUE(LearnedView::FromBytes(bad.data(), bad.size(), &v));
  ASSERT_TRUE(v.Record(0, &r));
  EXPECT_EQ(r.weight, 0);
  StoreU32(&bad[kLearnedHeaderSize + 12], 0x4B000000);  // 2^23
  EXPECT_FALSE(loaded.Load(bad.data(), bad.size()));
}

}  // namespace
}  // namespace quillet

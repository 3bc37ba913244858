// A forgiving tab's first page: exact matches and forgiven words mixed by their cost in context plus
// the mistake's, or filled up by mistake cost in dictionary order (only the likelier mistakes beside
// exact words); the pages after it; typing on after nothing exact is left.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/learned_store.h"
#include "common/rank_format.h"
#include "common/rank_view.h"
#include "lookup/forgiving.h"
#include "lookup/lookup_testing.h"
#include "lookup/mistake_costs.h"
#include "lookup/sound_key.h"
#include "lookup/tab_source.h"

namespace quillet {
namespace {

struct Row {
  std::u16string word;
  bool forgiven;
  bool operator==(const Row& o) const { return word == o.word && forgiven == o.forgiven; }
};

std::ostream& operator<<(std::ostream& os, const Row& r) {
  return os << std::string(r.word.begin(), r.word.end()) << (r.forgiven ? "*" : "");
}

std::vector<Row> Rows(const TabSource& s) {
  std::vector<Row> rows;
  for (size_t i = 0; i < s.PageCount(); ++i) rows.push_back({s.CandidateWord(i), s.CandidateAt(i)->forgiven});
  return rows;
}

std::vector<Row> Typed(TabSource& s, const std::u16string& text) {
  s.SetPrefix(text.substr(0, 1));
  for (size_t k = 1; k < text.size(); ++k) s.AppendLetter(text[k]);
  return Rows(s);
}

const std::vector<std::u16string> kWords = {u"about",    u"because",   u"become", u"bed", u"bedroom", u"begin",
                                            u"bicycle",  u"bot",       u"cat",    u"dot", u"fanatic", u"phone",
                                            u"phonetic", u"phonetics", u"recipe", u"the", u"their",   u"there"};

TEST(ForgivingSource, DictionaryOrderFillsTheFirstPageAfterTheExactMatchesByMistakeCost) {
  const std::vector<uint8_t> image = testing::BuildDictionaryImage(kWords);
  DictionaryView view;
  ASSERT_TRUE(DictionaryView::FromFile(image.data(), image.size(), &view));
  auto source = testing::MakeSource(image, 0);
  source->SetForgiving(true);

  // `rows` filled up with the cheapest corrections of `typed` up to `maxCost` and within `beam` of the
  // cheapest.
  const uint32_t half = kMistakeCosts.ceiling / 2;
  const auto filled = [&](std::vector<Row> rows, std::u16string_view typed, uint32_t maxCost, uint32_t beam) {
    ForgivingQuery query;
    query.typed = typed;
    query.maxResults = TabSource::kPageSize - rows.size();
    query.forgivenOnly = true;
    query.maxCost = maxCost;
    query.beam = beam;
    for (const ForgivingMatch& m : ForgivingMatches(view, query)) rows.push_back({kWords[m.entry], true});
    return rows;
  };
  // Beside exact words only the likelier mistakes.
  source->SetPrefix(u"bec");
  const std::vector<Row> want = filled({{u"because", false}, {u"become", false}}, u"bec", half, half);
  ASSERT_GT(want.size(), 2u);
  EXPECT_EQ(Rows(*source), want);
  EXPECT_EQ(source->NextPage(), 0u);
  EXPECT_EQ(Typed(*source, u"bec"), want);
  // Without them the dearer ones too, up to the beam above the cheapest.
  const std::vector<Row> dear = filled({}, u"bwc", kUsualCeiling, half);
  ASSERT_GT(dear.size(), filled({}, u"bwc", half, half).size());
  source->SetPrefix(u"bwc");
  EXPECT_EQ(Rows(*source), dear);
  const std::vector<Row> beamed = filled({}, u"abot", kUsualCeiling, half);
  ASSERT_LT(beamed.size(), filled({}, u"abot", kUsualCeiling, kNoMatch).size());
  source->SetPrefix(u"abot");
  EXPECT_EQ(Rows(*source), beamed);

  // One letter is never forgiven, and a page the exact matches fill has no room.
  ASSERT_EQ(source->SetPrefix(u"b"), 7u);
  for (const Row& r : Rows(*source)) EXPECT_FALSE(r.forgiven);
  std::vector<std::u16string> many;
  for (char16_t c = u'a'; c <= u'l'; ++c) many.push_back(u"th" + std::u16string(1, c));
  auto full = testing::MakeSource(testing::BuildDictionaryImage(many), 0);
  full->SetForgiving(true);
  ASSERT_EQ(full->SetPrefix(u"th"), 10u);
  for (const Row& r : Rows(*full)) EXPECT_FALSE(r.forgiven);
  ASSERT_EQ(full->NextPage(), 2u);
}

// Typing on after no key begins with the letters: a forgiving tab still finds the word meant (also by
// its sound, with a sound index made for the dictionary); an exact one offers nothing.
TEST(ForgivingSource, TypingOnAfterNothingExactStillFindsTheWordMeant) {
  const std::vector<uint8_t> image = testing::BuildDictionaryImage(kWords);
  DictionaryView view;
  ASSERT_TRUE(DictionaryView::FromFile(image.data(), image.size(), &view));
  const std::vector<uint8_t> soundBytes = BuildSoundIndex(view);
  SoundIndexView sounds;
  ASSERT_TRUE(SoundIndexView::FromBytes(soundBytes.data(), soundBytes.size(), &sounds));
  RankingData data;
  data.sounds = &sounds;
  auto forgiving = testing::MakeRankedSource(image, 0, &data);
  forgiving->SetForgiving(true);
  auto exact = testing::MakeRankedSource(image, 0, &data);

  const std::vector<Row> rows = Typed(*forgiving, u"becuse");
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0], (Row{u"because", true}));
  EXPECT_EQ(forgiving->SetPrefix(u"becuse"), rows.size());
  EXPECT_EQ(Rows(*forgiving), rows);
  EXPECT_EQ(forgiving->NextPage(), 0u);
  EXPECT_TRUE(Typed(*exact, u"becuse").empty());
  EXPECT_EQ(exact->AppendLetter(u's'), 0u);

  // Three edits from "phonetic": only its sound finds it.
  forgiving->SetPrefix(u"fonetik");
  ASSERT_GE(forgiving->PageCount(), 1u);
  EXPECT_EQ(Rows(*forgiving)[0], (Row{u"phonetic", true}));
  data.sounds = nullptr;
  auto noSounds = testing::MakeRankedSource(image, 0, &data);
  noSounds->SetForgiving(true);
  EXPECT_EQ(noSounds->SetPrefix(u"fonetik"), 0u);
}

// Ranked: a correction pays its mistake and the chance of a mistake at all; it goes before an unlikely
// exact match, but no exact match the model does not know is put behind an even rarer correction (the
// dictionary lists it: people write it), also when many rare words lie behind a cheaper mistake. The
// pages after the first hold the rest of the exact run, each once.
TEST(ForgivingSource, RankedOrderMixesByCostInContextPlusTheMistake) {
  std::vector<std::u16string> keys{u"tea", u"the", u"their", u"thx", u"to"};
  for (char16_t c = u'a'; c <= u'l'; ++c) keys.push_back(u"tha" + std::u16string(1, c));
  // "tj" is a cheaper mistake for "th" than "to": twenty rare words behind it.
  for (char16_t c = u'a'; c <= u't'; ++c) keys.push_back(u"tja" + std::u16string(1, c));
  std::sort(keys.begin(), keys.end());
  const uint32_t m = MistakeCost(u"to", u"th", true, 1);
  const uint32_t misspelt = static_cast<uint32_t>(kCostScale);
  ASSERT_LT(MistakeCost(u"tjaa", u"th", true, 1), m);
  ASSERT_LT(m + 2 * misspelt, 8 * kCostScale);
  std::vector<uint16_t> costs(keys.size(), kWorstCost);
  const auto cost = [&](const char16_t* key, uint32_t c) {
    costs[std::find(keys.begin(), keys.end(), key) - keys.begin()] = static_cast<uint16_t>(c);
  };
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].compare(0, 2, u"tj") == 0) costs[i] = 40000;
  }
  cost(u"tea", 40000);
  cost(u"the", 100);
  cost(u"their", m + misspelt + 1000);
  cost(u"thx", m + 1000);
  cost(u"to", 50);
  const std::vector<uint8_t> image = testing::BuildDictionaryImage(keys);
  DictionaryView view;
  ASSERT_TRUE(DictionaryView::FromFile(image.data(), image.size(), &view));
  const std::vector<uint8_t> rankBytes = EncodeRankData(DictionaryFingerprint(view), costs, {});
  RankView rank;
  ASSERT_TRUE(RankView::FromBytes(rankBytes.data(), rankBytes.size(), &rank));
  RankingData data;
  data.rank = &rank;
  auto source = testing::MakeRankedSource(image, 0, &data);
  source->SetOrder(CandidateOrder::kFrequent);
  source->SetForgiving(true);

  ASSERT_EQ(source->SetPrefix(u"th"), 10u);
  const std::vector<Row> first{{u"the", false},  {u"thx", false},  {u"to", true},    {u"their", false},
                               {u"thaa", false}, {u"thab", false}, {u"thac", false}, {u"thad", false},
                               {u"thae", false}, {u"thaf", false}};
  EXPECT_EQ(Rows(*source), first);
  EXPECT_TRUE(source->ranked());
  EXPECT_EQ(Typed(*source, u"th"), first);
  ASSERT_EQ(source->NextPage(), 6u);
  EXPECT_EQ(
      Rows(*source),
      (std::vector<Row>{
          {u"thag", false}, {u"thah", false}, {u"thai", false}, {u"thaj", false}, {u"thak", false}, {u"thal", false}}));
  EXPECT_EQ(source->NextPage(), 0u);

  // The same tab without forgiveness: the exact matches alone.
  source->SetForgiving(false);
  source->SetPrefix(u"th");
  for (const Row& r : Rows(*source)) EXPECT_NE(r.word, u"to");
  EXPECT_EQ(Rows(*source)[1].word, u"thx");
}

// In the learning order a correction picked before for exactly these letters comes first: its mistake
// costs nothing now. Other orders do not read the learned store.
TEST(ForgivingSource, ALearnedMisspellingOffersItsWordFirst) {
  const std::vector<std::u16string> keys{u"the", u"their", u"there"};
  const std::vector<uint8_t> image = testing::BuildDictionaryImage(keys);
  DictionaryView view;
  ASSERT_TRUE(DictionaryView::FromFile(image.data(), image.size(), &view));
  const std::vector<uint8_t> rankBytes = EncodeRankData(DictionaryFingerprint(view), {1000, 1000, 1000}, {});
  RankView rank;
  ASSERT_TRUE(RankView::FromBytes(rankBytes.data(), rankBytes.size(), &rank));
  RankingData data;
  data.rank = &rank;
  auto source = testing::MakeRankedSource(image, 0, &data);
  source->SetOrder(CandidateOrder::kLearning);
  source->SetForgiving(true);
  source->SetPrefix(u"thier");
  const std::vector<Row> before = Rows(*source);
  ASSERT_GE(before.size(), 2u);

  LearnedStore store;
  store.LearnMistake(u"Thier", before[1].word);
  const std::vector<uint8_t> learnedBytes = store.Serialize();
  LearnedView learned;
  ASSERT_TRUE(LearnedView::FromBytes(learnedBytes.data(), learnedBytes.size(), &learned));
  data.learned = &learned;
  source->SetPrefix(u"thier");
  ASSERT_FALSE(Rows(*source).empty());
  EXPECT_EQ(Rows(*source)[0], before[1]);
  EXPECT_EQ(Rows(*source).size(), before.size());
  source->SetPrefix(u"thie");
  const std::vector<Row> shorter = Rows(*source);
  source->SetOrder(CandidateOrder::kFrequent);
  source->SetPrefix(u"thier");
  EXPECT_EQ(Rows(*source), before);
  source->SetPrefix(u"thie");
  EXPECT_EQ(Rows(*source), shorter) << "only for the letters it was picked for";
}

}  // namespace
}  // namespace quillet

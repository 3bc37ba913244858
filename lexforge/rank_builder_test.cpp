#include "lexforge/rank_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/le.h"
#include "common/rank_view.h"
#include "common/utf16.h"
#include "lexforge/command_line.h"
#include "lexforge/test_files.h"
#include "lexforge/trie_model.h"
#include "lexforge/trie_model_testing.h"
#include "platform/error.h"

namespace quillet::lexforge {
namespace {

// The system's own words for a missing file (error 2 is ENOENT and ERROR_FILE_NOT_FOUND alike).
const std::string kFileNotFoundText = platform::ErrorText(2);

using testing::TempDir;
using testing::WriteAll;

// 0 cat, 1 dog, 2 dont (don't), 3 i, 4 i (I), 5 may, 6 may (May), 7 the
std::vector<quillet::testing::ImageEntry> Entries() {
  return {{u"cat", u"", u"", u""},       {u"dog", u"", u"", u""}, {u"dont", u"don't", u"don't", u""},
          {u"i", u"", u"", u""},         {u"i", u"I", u"I", u""}, {u"may", u"", u"", u""},
          {u"may", u"May", u"May", u""}, {u"the", u"", u"", u""}};
}

constexpr char kModel[] =
    "\\data\\\nngram 1=8\nngram 2=4\nngram 3=1\n\n"
    "\\1-grams:\n-1.0\t<s>\t-0.5\n-1.0\t</s>\n-2.0\tcat\t-0.3\n-2.5\tdog\t-0.2\n-2.2\tdon't\n-1.5\ti\t-0.1\n"
    "-2.1\tmay\n-1.2\tthe\t-0.4\n\n"
    "\\2-grams:\n-0.5\t<s> the\t-0.2\n-0.3\tthe cat\n-3.0\tthe dog\n-0.1\ti don't\n\n"
    "\\3-grams:\n-0.05\t<s> the cat\n\n\\end\\\n";

struct Built {
  std::vector<uint8_t> dictionary, rank;
  DictionaryView dict;
  RankView view;
  RankReport report;
};

Built Build(const char* model, const CaseCounts* cases) {
  Built b;
  b.dictionary = quillet::testing::BuildDictionaryImage(Entries());
  EXPECT_TRUE(DictionaryView::FromFile(b.dictionary.data(), b.dictionary.size(), &b.dict));
  EXPECT_EQ(BuildRankData(b.dict, model, cases, RankOptions{}, &b.rank, &b.report), Result::kSuccess)
      << b.report.problem;
  EXPECT_TRUE(RankView::FromBytes(b.rank.data(), b.rank.size(), &b.view));
  return b;
}

uint16_t Cost(double log10p) { return static_cast<uint16_t>(std::lround(-log10p * kCostScale)); }

TEST(RankData, KeysTheModelToEntriesAndTheirContexts) {
  const Built b = Build(kModel, nullptr);
  EXPECT_TRUE(b.view.MadeFor(b.dict));
  EXPECT_EQ(b.view.UnigramCost(0), Cost(-2.0));
  EXPECT_EQ(b.view.UnigramCost(2), Cost(-2.2));  // don't, through its commit text
  EXPECT_EQ(b.view.UnigramCost(7), Cost(-1.2));
  // Spellings share the word; without a cased text the lowercase one is preferred 1 : 0.5.
  EXPECT_EQ(b.view.UnigramCost(3), Cost(-1.5 + std::log10(2.0 / 3)));
  EXPECT_EQ(b.view.UnigramCost(4), Cost(-1.5 + std::log10(1.0 / 3)));
  EXPECT_EQ(b.report.caseGroups, 2u);

  ContextRecord c;
  ASSERT_TRUE(b.view.FindContext(kNoWord, 7, &c));  // after "the"
  EXPECT_EQ(c.backoff, -static_cast<int16_t>(std::lround(0.4 * kCostScale)));
  // "the dog" is below what backing off gives (-0.4 - 2.5): it is not kept.
  ASSERT_EQ(c.followerCount, 1);
  EXPECT_EQ(b.view.Follower(c, 0).entry, 0u);
  EXPECT_EQ(b.view.Follower(c, 0).cost, Cost(-0.3));
  ASSERT_TRUE(b.view.FindContext(kNoWord, kSentenceStart, &c));
  EXPECT_EQ(b.view.Follower(c, 0).entry, 7u);
  ASSERT_TRUE(b.view.FindContext(kSentenceStart, 7, &c));
  EXPECT_EQ(c.backoff, -static_cast<int16_t>(std::lround(0.2 * kCostScale)));
  EXPECT_EQ(b.view.Follower(c, 0).entry, 0u);
  // "i" names the word in contexts: its first entry.
  ASSERT_TRUE(b.view.FindContext(kNoWord, 3, &c));
  EXPECT_EQ(b.view.Follower(c, 0).entry, 2u);
}

TEST(RankData, ACasedTextMakesTheUsualSpellingWin) {
  CaseCounts cases;
  cases.Add("Then I said that I may go. I think so. May I? In May we met.");
  EXPECT_EQ(cases.Count(u"I"), 3u);  // the sentence-initial ones do not count
  EXPECT_EQ(cases.Count(u"May"), 1u);
  const Built b = Build(kModel, &cases);
  EXPECT_LT(b.view.UnigramCost(4), b.view.UnigramCost(3));  // I over i
  EXPECT_LT(b.view.UnigramCost(5), b.view.UnigramCost(6));  // may (1 + 1) over May (1 + 0.5)
}

TEST(RankData, ANonModelIsRejectedWithItsLine) {
  std::vector<uint8_t> dictionary = quillet::testing::BuildDictionaryImage(Entries());
  DictionaryView d;
  ASSERT_TRUE(DictionaryView::FromFile(dictionary.data(), dictionary.size(), &d));
  std::vector<uint8_t> out;
  for (const char* bad :
       {"", "just some text\n", "\\data\\\n\\2-grams:\n", "\\data\\\n\\1-grams:\nx\tcat\n",
        "\\data\\\n\\1-grams:\n-1\tcat\n\\2-grams:\n-1\tcat zebra\n", "\\data\\\n\\1-grams:\n-1\tcat\n-1\tcat\n",
        // Weights beyond a double.
        "\\data\\\n\\1-grams:\n-1e999\tcat\n",
        "\\data\\\n\\1-grams:\n-1\tthe\t1e999\n-2\tcat\n\\2-grams:\n-0.3\tthe cat\n"}) {
    RankReport report;
    EXPECT_EQ(BuildRankData(d, bad, nullptr, RankOptions{}, &out, &report), Result::kMalformed) << bad;
    EXPECT_FALSE(report.problem.empty());
  }
  // Zero is zero however large its exponent, on every machine.
  RankReport report;
  EXPECT_EQ(BuildRankData(d, "\\data\\\n\\1-grams:\n-1\tthe\t0e999\n-2\tcat\n", nullptr, RankOptions{}, &out, &report),
            Result::kSuccess);
}

TEST(RankData, TheCommandWritesTheRankFileBesideTheDictionary) {
  TempDir dir;
  WriteAll(dir.Path("words.dict"), quillet::testing::BuildDictionaryImage(Entries()));
  WriteAll(dir.Path("model.arpa"), std::vector<uint8_t>(kModel, kModel + sizeof kModel - 1));
  std::ostringstream out, err;
  ASSERT_EQ(RunCommandLine({u"rank", dir.U16("words.dict"), dir.U16("model.arpa")}, out, err, nullptr), 0) << err.str();
  EXPECT_NE(out.str().find("words.rank: 8 of 8 entries scored"), std::string::npos) << out.str();
  const auto bytes = testing::ReadAll(dir.Path("words.rank"));
  RankView v;
  EXPECT_TRUE(RankView::FromBytes(bytes.data(), bytes.size(), &v));
  EXPECT_FALSE(testing::Exists(dir.Path("words.rank.tmp")));

  err.str("");
  EXPECT_EQ(RunCommandLine({u"rank", dir.U16("words.dict"), dir.U16("missing.arpa")}, out, err, nullptr), 1);
  EXPECT_NE(err.str().find("cannot open '" + ToUtf8(dir.U16("missing.arpa")) + "': " + kFileNotFoundText),
            std::string::npos)
      << err.str();
}

TrieNgram Gram(uint32_t a, uint32_t b, uint32_t c, float logProb, float logBackoff) {
  TrieNgram g;
  g.words[0] = a;
  g.words[1] = b;
  g.words[2] = c;
  g.logProb = logProb;
  g.logBackoff = logBackoff;
  return g;
}

// 0 <s>, 1 cat, 2 i, 3 the; the weights above the unigrams are those the written tables can hold.
TrieModel SmallModel() {
  TrieModel m;
  m.order = 3;
  m.words = {"<s>", "cat", "i", "the"};
  m.ngrams = {{Gram(0, 0, 0, -1.0f, -0.5f), Gram(1, 0, 0, -2.0f, -0.3f), Gram(2, 0, 0, -1.5f, -0.1f),
               Gram(3, 0, 0, -1.2f, -0.4f)},
              {Gram(3, 1, 0, -0.3f, -0.1f), Gram(0, 3, 0, -0.5f, -0.2f)},
              {Gram(0, 3, 1, -0.05f, 0)}};
  return m;
}

// What `lexforge arpa` writes, `lexforge rank` must take: a model whose words or weights ARPA text
// cannot carry is refused when it is read.
TEST(TrieModel, ReadsWhatArpaTextCarriesAndRefusesTheRest) {
  const TrieModel small = SmallModel();
  TrieModel m;
  std::vector<uint8_t> file = testing::WriteTrieModel(small);
  ASSERT_EQ(ReadTrieModel(file.data(), file.size(), &m), Result::kSuccess);
  ASSERT_EQ(m.words, small.words);
  ASSERT_EQ(m.ngrams[2].size(), 1u);
  EXPECT_NEAR(m.ngrams[1][0].logProb, -0.3, 0.011);
  std::vector<uint8_t> dictionary = quillet::testing::BuildDictionaryImage(Entries());
  DictionaryView d;
  ASSERT_TRUE(DictionaryView::FromFile(dictionary.data(), dictionary.size(), &d));
  std::vector<uint8_t> rank;
  RankReport report;
  EXPECT_EQ(BuildRankData(d, FormatArpa(m), nullptr, RankOptions{}, &rank, &report), Result::kSuccess)
      << report.problem;

  for (const char* word : {"", "two words", "tab\tbed", "line\nbreak", "cat"}) {
    TrieModel bad = small;
    bad.words[2] = word;
    file = testing::WriteTrieModel(bad);
    EXPECT_EQ(ReadTrieModel(file.data(), file.size(), &m), Result::kMalformed) << word;
  }
  TrieModel infinite = small;
  infinite.ngrams[0][1].logBackoff = -INFINITY;
  file = testing::WriteTrieModel(infinite);
  EXPECT_EQ(ReadTrieModel(file.data(), file.size(), &m), Result::kMalformed);
  // The middle order's probability table, behind the tag, the order, three counts and the kind.
  file = testing::WriteTrieModel(small);
  for (size_t at = 36; at < 36 + 65536 * 4; at += 4) StoreU32(&file[at], 0x7FC00000);  // NaN
  EXPECT_EQ(ReadTrieModel(file.data(), file.size(), &m), Result::kMalformed);
}

// The model Debian ships, when it is installed: known probabilities, and every cut of it rejected.
TEST(TrieModel, ReadsTheInstalledModelAndRejectsItsTruncations) {
  const char* path = "/usr/share/pocketsphinx/model/en-us/en-us.lm.bin";
  if (!testing::Exists(path)) GTEST_SKIP() << "pocketsphinx-en-us is not installed";
  const std::vector<uint8_t> bytes = testing::ReadAll(path);
  TrieModel m;
  ASSERT_EQ(ReadTrieModel(bytes.data(), bytes.size(), &m), Result::kSuccess);
  ASSERT_EQ(m.order, 3);
  EXPECT_EQ(m.ngrams[0].size(), 72547u);
  EXPECT_EQ(m.ngrams[2].size(), 1669625u);
  // Figures the speech tools' own scorer gives (log10).
  auto id = [&](const char* w) {
    return static_cast<uint32_t>(std::find(m.words.begin(), m.words.end(), w) - m.words.begin());
  };
  const uint32_t the = id("the"), of = id("of"), one = id("one");
  EXPECT_NEAR(m.ngrams[0][the].logProb, -31995 * std::log10(1.0001), 1e-3);
  bool bigram = false, trigram = false;
  for (const TrieNgram& g : m.ngrams[1]) {
    if (g.words[0] == the && g.words[1] == of) {
      EXPECT_NEAR(g.logProb, -86284 * std::log10(1.0001), 1e-3);
      bigram = true;
    }
  }
  for (const TrieNgram& g : m.ngrams[2]) {
    if (g.words[0] == one && g.words[1] == of && g.words[2] == the) {
      EXPECT_NEAR(g.logProb, -0.3058, 1e-3);
      trigram = true;
    }
  }
  EXPECT_TRUE(bigram && trigram);
  for (size_t cut : {size_t{0}, size_t{19}, size_t{24}, size_t{1000}, bytes.size() / 2, bytes.size() - 1}) {
    EXPECT_EQ(ReadTrieModel(bytes.data(), cut, &m), Result::kMalformed) << cut;
  }
  std::vector<uint8_t> bad(bytes.begin(), bytes.begin() + 40);
  bad[19] = 7;  // an order the format does not have
  EXPECT_EQ(ReadTrieModel(bad.data(), bad.size(), &m), Result::kMalformed);
}

}  // namespace
}  // namespace quillet::lexforge

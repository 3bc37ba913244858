#include "common/rank_view.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/le.h"

namespace quillet {
namespace {

uint32_t BruteBest(const std::vector<uint16_t>& costs, uint32_t first, uint32_t end) {
  uint32_t best = kNone;
  for (uint32_t i = first; i < end; ++i) {
    if (best == kNone || costs[i] < costs[best]) best = i;
  }
  return best;
}

TEST(RankView, BestInRangeAgreesWithAScanOnEveryKindOfRange) {
  std::mt19937 rng(11);
  for (uint32_t n : {1u, 63u, 64u, 65u, 129u, 1000u, 5000u}) {
    std::vector<uint16_t> costs(n);
    // Few distinct costs, so that ties (the lower entry wins) are common.
    for (auto& c : costs) c = static_cast<uint16_t>(rng() % 50);
    const std::vector<uint8_t> bytes = EncodeRankData(7, costs, {});
    RankView v;
    ASSERT_TRUE(RankView::FromBytes(bytes.data(), bytes.size(), &v)) << n;
    for (int k = 0; k < 400; ++k) {
      uint32_t a = rng() % (n + 1), b = rng() % (n + 1);
      if (a > b) std::swap(a, b);
      ASSERT_EQ(v.BestInRange(a, b), BruteBest(costs, a, b)) << n << " [" << a << ", " << b << ")";
    }
    EXPECT_EQ(v.BestInRange(0, n + 100), BruteBest(costs, 0, n));  // clipped to the entries
  }
}

TEST(RankView, FindsContextsAndFollowersByEntry) {
  std::vector<RankContext> contexts(3);
  contexts[0] = {5, 9, -300, {{2, 10}, {4, 20}, {8, 5}}};
  contexts[1] = {kNoWord, 9, -100, {{1, 40}}};
  contexts[2] = {kNoWord, kSentenceStart, 0, {{3, 1}, {6, 2}}};
  const std::vector<uint8_t> bytes = EncodeRankData(1, std::vector<uint16_t>(10, 100), contexts);
  RankView v;
  ASSERT_TRUE(RankView::FromBytes(bytes.data(), bytes.size(), &v));
  ContextRecord c;
  ASSERT_TRUE(v.FindContext(5, 9, &c));
  EXPECT_EQ(c.followerCount, 3);
  EXPECT_EQ(c.backoff, -300);
  EXPECT_EQ(v.LowerFollower(c, 3), 1u);
  EXPECT_EQ(v.Follower(c, 1).entry, 4u);
  EXPECT_EQ(v.Follower(c, 1).cost, 20);
  EXPECT_EQ(v.LowerFollower(c, 9), 3u);
  EXPECT_EQ(v.Follower(c, 3).entry, kNone);  // past the context's followers
  ASSERT_TRUE(v.FindContext(kNoWord, kSentenceStart, &c));
  EXPECT_EQ(v.Follower(c, 0).entry, 3u);
  EXPECT_FALSE(v.FindContext(kNoWord, 5, &c));
  EXPECT_FALSE(v.FindContext(9, 5, &c));
}

TEST(RankView, RejectsWhatIsNotWholeRankDataAndContainsDamage) {
  std::vector<RankContext> contexts{{kNoWord, 1, 0, {{0, 1}, {2, 3}}}};
  const std::vector<uint8_t> good = EncodeRankData(1, std::vector<uint16_t>(300, 9), contexts);
  RankView v;
  ASSERT_TRUE(RankView::FromBytes(good.data(), good.size(), &v));
  for (size_t cut : {size_t{0}, size_t{10}, kRankHeaderSize, good.size() / 2, good.size() - 1}) {
    EXPECT_FALSE(RankView::FromBytes(good.data(), cut, &v)) << cut;
  }
  for (size_t at : {size_t{0}, size_t{4}}) {  // tag, version
    std::vector<uint8_t> bad = good;
    bad[at] ^= 1;
    EXPECT_FALSE(RankView::FromBytes(bad.data(), bad.size(), &v)) << at;
  }
  // Values inside the tables that point elsewhere read as harmless ones.
  std::vector<uint8_t> bad = good;
  const RankHeader h = ReadRankHeader(bad.data());
  StoreU32(&bad[h.blockOffset], 0xFFFFFF00);        // a block's best outside it
  StoreU32(&bad[h.sparseOffset], 0x7FFFFFFF);       // a run's best block outside it
  StoreU32(&bad[h.contextOffset + 8], 0xFFFFFFF0);  // followers outside the table
  ASSERT_TRUE(RankView::FromBytes(bad.data(), bad.size(), &v));
  const uint32_t best = v.BestInRange(0, 300);
  EXPECT_LT(best, 300u);
  ContextRecord c;
  ASSERT_TRUE(v.FindContext(kNoWord, 1, &c));
  EXPECT_EQ(c.followerCount, 0);
}

TEST(RankView, FingerprintTellsAnotherDictionaryFromThisOne) {
  std::vector<testing::ImageEntry> entries;
  for (int i = 0; i < 3000; ++i)
    entries.push_back({u"w" + std::u16string(1, u'a' + i % 26) + std::u16string(i / 26 + 1, u'x'), u"", u"", u""});
  const std::vector<uint8_t> a = testing::BuildDictionaryImage(entries);
  entries[1500].commit = u"Changed";
  const std::vector<uint8_t> b = testing::BuildDictionaryImage(entries);
  entries.pop_back();
  const std::vector<uint8_t> c = testing::BuildDictionaryImage(entries);
  DictionaryView va, vb, vc;
  ASSERT_TRUE(DictionaryView::FromFile(a.data(), a.size(), &va));
  ASSERT_TRUE(DictionaryView::FromFile(b.data(), b.size(), &vb));
  ASSERT_TRUE(DictionaryView::FromFile(c.data(), c.size(), &vc));
  const std::vector<uint8_t> rank = EncodeRankData(DictionaryFingerprint(va), std::vector<uint16_t>(3000, 1), {});
  RankView v;
  ASSERT_TRUE(RankView::FromBytes(rank.data(), rank.size(), &v));
  EXPECT_TRUE(v.MadeFor(va));
  EXPECT_FALSE(v.MadeFor(vc));  // another entry count
  // Entry 1500 is one of the sampled ones (every second entry of 3000).
  EXPECT_FALSE(v.MadeFor(vb));
}

}  // namespace
}  // namespace quillet

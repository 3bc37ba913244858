#include "common/ranking_image.h"

#include <gtest/gtest.h>

#include "common/le.h"
#include "common/rank_format.h"

namespace quillet {
namespace {

TEST(RankingImage, EachPositionGetsItsOwnDataOrNone) {
  const std::vector<uint8_t> a = EncodeRankData(11, std::vector<uint16_t>(5, 7), {});
  const std::vector<uint8_t> b = EncodeRankData(22, std::vector<uint16_t>(300, 9), {});
  const std::vector<uint8_t> none;
  const std::vector<uint8_t> image = BuildRankingImage({&a, nullptr, &b, &none});
  ASSERT_FALSE(image.empty());
  const auto views = ReadRankingImage(image.data(), image.size());
  ASSERT_EQ(views.size(), 4u);
  ASSERT_TRUE(views[0] && views[2]);
  EXPECT_FALSE(views[1]);
  EXPECT_FALSE(views[3]);
  EXPECT_TRUE(views[0]->MadeFor(11, 5));
  EXPECT_TRUE(views[2]->MadeFor(22, 300));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(views[2]->data()) % 8, reinterpret_cast<uintptr_t>(image.data()) % 8);
  EXPECT_TRUE(BuildRankingImage({nullptr, &none}).empty()) << "nothing to publish";
}

TEST(RankingImage, DamageReadsAsNoneAndNeverOutsideTheImage) {
  const std::vector<uint8_t> a = EncodeRankData(11, std::vector<uint16_t>(50, 7), {});
  const std::vector<uint8_t> good = BuildRankingImage({&a, &a});
  // Cut short: only data that lies whole inside what is left reads.
  const size_t secondEnd = LoadU32(good.data() + 16) + LoadU32(good.data() + 20);
  for (size_t cut = 0; cut < secondEnd; cut += 7) {
    const std::vector<uint8_t> shortImage(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
    const auto views = ReadRankingImage(shortImage.data(), shortImage.size());
    if (views.size() == 2) {
      EXPECT_FALSE(views[1]) << cut;
    }
  }
  std::vector<uint8_t> bad = good;
  StoreU32(bad.data() + 8, 0xFFFFFFF0);  // first entry's offset beyond the image
  auto views = ReadRankingImage(bad.data(), bad.size());
  ASSERT_EQ(views.size(), 2u);
  EXPECT_FALSE(views[0]);
  EXPECT_TRUE(views[1]);
  bad = good;
  StoreU32(bad.data() + 4, 1000);  // a count beyond what any block holds
  EXPECT_TRUE(ReadRankingImage(bad.data(), bad.size()).empty());
  bad[0] = 'X';
  EXPECT_TRUE(ReadRankingImage(bad.data(), bad.size()).empty());
}

}  // namespace
}  // namespace quillet

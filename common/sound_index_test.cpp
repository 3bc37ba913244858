// The sound index's header is checked against its span; entry numbers beyond the table read as none.
// The image of every position's index reads back by position, and what is not a whole index as none.
#include "common/sound_index.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/rank_format.h"
#include "common/ranking_image.h"

namespace quillet {
namespace {

TEST(SoundIndexTest, RefusesWhatIsNotAWholeIndex) {
  const std::vector<uint8_t> bytes = EncodeSoundIndex(0x1234, 5, {4, 1, 3});
  SoundIndexView view;
  ASSERT_TRUE(SoundIndexView::FromBytes(bytes.data(), bytes.size(), &view));
  EXPECT_EQ(view.fingerprint(), 0x1234u);
  EXPECT_EQ(view.entryCount(), 5u);
  EXPECT_EQ(view.count(), 3u);
  EXPECT_EQ(view.EntryAt(0), 4u);
  EXPECT_EQ(view.EntryAt(2), 3u);
  EXPECT_EQ(view.EntryAt(3), kNone);

  EXPECT_FALSE(SoundIndexView::FromBytes(bytes.data(), bytes.size() - 1, &view));  // the table cut short
  EXPECT_FALSE(SoundIndexView::FromBytes(bytes.data(), kSoundIndexHeaderSize - 1, &view));
  EXPECT_FALSE(SoundIndexView::FromBytes(nullptr, bytes.size(), &view));
  for (size_t at : {size_t{0}, size_t{4}}) {  // tag, version
    std::vector<uint8_t> damaged = bytes;
    damaged[at] ^= 1;
    EXPECT_FALSE(SoundIndexView::FromBytes(damaged.data(), damaged.size(), &view));
  }
  std::vector<uint8_t> huge = bytes;
  huge[23] = 0xFF;  // a count far beyond the span
  EXPECT_FALSE(SoundIndexView::FromBytes(huge.data(), huge.size(), &view));
}

TEST(SoundIndexTest, TheImageHoldsEachPositionsIndexOrNone) {
  const std::vector<uint8_t> a = EncodeSoundIndex(11, 3, {2, 0, 1});
  const std::vector<uint8_t> b = EncodeSoundIndex(22, 1, {0});
  const std::vector<uint8_t> cut(b.begin(), b.end() - 1);
  const std::vector<uint8_t> image = EncodeSoundImage({&a, nullptr, &b, &cut});
  const auto views = ReadSoundImage(image.data(), image.size());
  ASSERT_EQ(views.size(), 4u);
  ASSERT_TRUE(views[0] && views[2]);
  EXPECT_FALSE(views[1]);
  EXPECT_FALSE(views[3]) << "not a whole index";
  EXPECT_EQ(views[0]->fingerprint(), 11u);
  EXPECT_EQ(views[0]->EntryAt(0), 2u);
  EXPECT_EQ(views[2]->fingerprint(), 22u);
  EXPECT_TRUE(EncodeSoundImage({nullptr}).empty()) << "nothing to publish";

  // Ranking data is not read as sound indexes, nor the other way round.
  const std::vector<uint8_t> rank = EncodeRankData(11, {1, 2, 3}, {});
  const std::vector<uint8_t> rankImage = BuildRankingImage({&rank});
  EXPECT_TRUE(ReadSoundImage(rankImage.data(), rankImage.size()).empty());
  EXPECT_TRUE(ReadRankingImage(image.data(), image.size()).empty());
}

}  // namespace
}  // namespace quillet

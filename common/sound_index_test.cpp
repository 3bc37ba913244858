// The sound index's header is checked against its span; entry numbers beyond the table read as none.
#include "common/sound_index.h"

#include <gtest/gtest.h>

#include <vector>

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

}  // namespace
}  // namespace quillet

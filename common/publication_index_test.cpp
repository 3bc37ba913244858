// The index as loaders of this build and of the build before it write it, and as readers of both read
// it: kinds added later never reach older readers, and never outlive a write by an older loader.
#include "common/publication_index.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "common/le.h"

namespace quillet {
namespace {

// An index in aligned memory, as a mapping is.
struct Index {
  std::vector<uint32_t> words = std::vector<uint32_t>(kPublicationIndexSize / 4, 0);
  uint8_t* data() { return reinterpret_cast<uint8_t*>(words.data()); }
};

// What a loader of the first layout writes: it makes the index when it is not one, then names its five
// kinds in one write.
void WriteAsFirstLayout(uint8_t* index, const std::array<uint16_t, kFirstPublicationKinds>& generations) {
  if (!IsPublicationIndex(index, kPublicationIndexSize)) InitPublicationIndex(index, kPublicationIndexSize);
  const uint32_t sequence = LoadU32(index + 8);
  StoreU32(index + 8, sequence + 1);
  for (size_t k = 0; k < kFirstPublicationKinds; ++k) StoreU16(index + 12 + 2 * k, generations[k]);
  StoreU32(index + 8, sequence + 2);
}

// What a reader of the first layout reads: nothing unless the header is the one it knows.
std::vector<uint16_t> ReadAsFirstLayout(const uint8_t* index) {
  if (LoadU16(index + 4) != 1 || LoadU16(index + 6) != kFirstPublicationKinds) return {};
  std::vector<uint16_t> generations;
  for (size_t k = 0; k < kFirstPublicationKinds; ++k) generations.push_back(LoadU16(index + 12 + 2 * k));
  return generations;
}

TEST(PublicationIndexTest, EveryKindReadsBackAndReadersOfTheFirstLayoutStillReadTheirs) {
  Index index;
  PublishedGenerations read;
  EXPECT_FALSE(ReadPublicationIndex(index.data(), kPublicationIndexSize, &read)) << "not an index yet";
  PublishedGenerations written;
  for (size_t k = 0; k < kPublicationKinds; ++k) written.of[k] = static_cast<uint16_t>(0x100 + k);
  WritePublicationIndex(index.data(), kPublicationIndexSize, written);
  WritePublicationIndex(index.data(), kPublicationIndexSize, written);
  ASSERT_TRUE(ReadPublicationIndex(index.data(), kPublicationIndexSize, &read));
  EXPECT_EQ(read, written);
  EXPECT_FALSE(ReadPublicationIndex(index.data(), kPublicationIndexSize - 1, &read));

  EXPECT_EQ(ReadAsFirstLayout(index.data()), std::vector<uint16_t>(written.of.begin(), written.of.begin() + 5));
}

TEST(PublicationIndexTest, AnOlderLoadersIndexNamesNoneOfTheLaterKinds) {
  // Made and written by an older loader: the later kinds were never there.
  Index index;
  WriteAsFirstLayout(index.data(), {1, 2, 3, 4, 5});
  PublishedGenerations read;
  ASSERT_TRUE(ReadPublicationIndex(index.data(), kPublicationIndexSize, &read));
  EXPECT_EQ(read[PublicationKind::kDictionaries], 1);
  EXPECT_EQ(read[PublicationKind::kLearned], 5);
  EXPECT_EQ(read[PublicationKind::kSounds], 0);

  // Taken up by this build's loader, then by an older one again: the sound indexes named for the
  // dictionaries of before must not be read beside the older loader's dictionaries.
  PublishedGenerations ours = read;
  ours[PublicationKind::kDictionaries] = 7;
  ours[PublicationKind::kSounds] = 9;
  WritePublicationIndex(index.data(), kPublicationIndexSize, ours);
  ASSERT_TRUE(ReadPublicationIndex(index.data(), kPublicationIndexSize, &read));
  EXPECT_EQ(read, ours);
  WriteAsFirstLayout(index.data(), {8, 2, 3, 4, 5});
  ASSERT_TRUE(ReadPublicationIndex(index.data(), kPublicationIndexSize, &read));
  EXPECT_EQ(read[PublicationKind::kDictionaries], 8);
  EXPECT_EQ(read[PublicationKind::kSounds], 0);
  EXPECT_EQ(ReadAsFirstLayout(index.data()), (std::vector<uint16_t>{8, 2, 3, 4, 5}));

  // A writer that knew fewer later kinds than this reader names none of the others, whatever their
  // bytes still hold.
  WritePublicationIndex(index.data(), kPublicationIndexSize, ours);
  StoreU16(index.data() + 22, 0);
  ASSERT_TRUE(ReadPublicationIndex(index.data(), kPublicationIndexSize, &read));
  EXPECT_EQ(read[PublicationKind::kSounds], 0);
  // The build that knew the sound indexes but not the program rules.
  ours[PublicationKind::kPrograms] = 11;
  WritePublicationIndex(index.data(), kPublicationIndexSize, ours);
  StoreU16(index.data() + 22, 1);
  ASSERT_TRUE(ReadPublicationIndex(index.data(), kPublicationIndexSize, &read));
  EXPECT_EQ(read[PublicationKind::kSounds], 9);
  EXPECT_EQ(read[PublicationKind::kPrograms], 0);
}

}  // namespace
}  // namespace quillet

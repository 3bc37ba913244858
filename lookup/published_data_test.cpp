// The sound indexes as a reader gets them from PublishedData: by dictionary position, only when made
// for the dictionary there, and damaged ones as none.
#include "lookup/published_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/sound_index.h"
#include "lookup/private_block.h"
#include "lookup/sound_key.h"

namespace quillet {
namespace {

using testing::BuildDictionaryImage;

const std::vector<std::u16string> kPhones = {u"fanatic", u"phone", u"phonetic"};
const std::vector<std::u16string> kThere = {u"the", u"their", u"there", u"they"};

// What a forgiving lookup asks of position i: the entries that sound like `typed`.
std::vector<uint32_t> Alikes(const PublishedData& published, size_t i, const std::u16string& typed) {
  const SoundIndexView* sounds = published.sounds(i);
  if (sounds == nullptr) return {};
  return SoundAlikes(published.directory()[i], *sounds, SoundKey(typed), 10);
}

TEST(PublishedDataSounds, EachDictionaryHasItsOwnAndNeverThoseOfAnother) {
  PublishedData published;
  ASSERT_EQ(PublishPrivateDictionaryFiles({BuildDictionaryImage(kPhones), BuildDictionaryImage(kThere)}, &published),
            Result::kSuccess);
  EXPECT_EQ(published.sounds(0), nullptr) << "none published";
  ASSERT_EQ(PublishPrivateSoundIndexes(&published), Result::kSuccess);
  EXPECT_EQ(Alikes(published, 0, u"fonetik"), (std::vector<uint32_t>{0, 2}));
  EXPECT_EQ(Alikes(published, 1, u"thare"), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(published.sounds(2), nullptr);

  // Other dictionaries with the same number of entries: the indexes of before are for another set.
  ASSERT_EQ(
      PublishPrivateDictionaryFiles(
          {BuildDictionaryImage({u"fanatics", u"phone", u"phonetics"}), BuildDictionaryImage(kPhones)}, &published),
      Result::kSuccess);
  EXPECT_EQ(published.sounds(0), nullptr);
  EXPECT_EQ(published.sounds(1), nullptr);
  ASSERT_EQ(PublishPrivateSoundIndexes(&published), Result::kSuccess);
  EXPECT_EQ(Alikes(published, 1, u"fonetik"), (std::vector<uint32_t>{0, 2}));
}

TEST(PublishedDataSounds, DamagedIndexesReadAsNoneOrFindOnlyRealEntries) {
  const std::vector<uint8_t> dictionary = BuildDictionaryImage(kThere);
  PublishedData published;
  ASSERT_EQ(PublishPrivateDictionaryFiles({dictionary}, &published), Result::kSuccess);
  const std::vector<uint8_t> good = BuildSoundImage(published.directory());
  ASSERT_FALSE(good.empty());

  // Cut short anywhere, or any byte changed: none, or an index of this dictionary whose every
  // answer is one of its entries (the reads stay inside the image under AddressSanitizer).
  auto check = [&](std::vector<uint8_t> image, size_t at) {
    ASSERT_EQ(published.UsePrivate(PublicationKind::kSounds, std::move(image)), Result::kSuccess);
    for (const std::u16string& typed : kThere) {
      for (uint32_t entry : Alikes(published, 0, typed)) EXPECT_LT(entry, kThere.size()) << at;
    }
  };
  for (size_t cut = 0; cut < good.size(); ++cut) {
    check(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)), cut);
    EXPECT_EQ(published.sounds(0), nullptr) << cut;
  }
  for (size_t at = 0; at < good.size(); ++at) {
    for (uint8_t flip : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
      std::vector<uint8_t> damaged = good;
      damaged[at] ^= flip;
      check(std::move(damaged), at);
    }
  }
  check(good, 0);
  EXPECT_EQ(Alikes(published, 0, u"thare"), (std::vector<uint32_t>{1, 2})) << "the whole one reads again";
}

}  // namespace
}  // namespace quillet

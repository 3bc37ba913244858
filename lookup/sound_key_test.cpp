// Sound keys: spellings that sound alike share a key, others do not; the index finds them.
#include "lookup/sound_key.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/dict_image_testing.h"

namespace quillet {
namespace {

TEST(SoundKeyTest, SpellingsThatSoundAlikeShareAKey) {
  const std::vector<std::vector<std::u16string>> alike = {
      {u"because", u"becuse", u"bicause", u"beacuse", u"BECAUSE"},
      {u"phonetic", u"fonetik"},
      {u"knowledge", u"nolij"},
      {u"night", u"nite"},
      {u"receive", u"recieve", u"reseve"},
      {u"school", u"skool"},
      {u"mission", u"mishun"},
      {u"nation", u"nashun"},
      {u"special", u"speshal"},
      {u"enough", u"enuf"},
      {u"write", u"rite"},
      {u"lamb", u"lam"},
      {u"accept", u"aksept"},
      {u"queen", u"kween"},
      {u"ghost", u"gost"},
      {u"xylophone", u"zilofone"},
      {u"edge", u"ej"},
      {u"which", u"wich"},
      {u"city", u"sity"},
      {u"gem", u"jem"},
      {u"there", u"their"},
      {u"sign", u"sine"},
  };
  for (const auto& group : alike) {
    for (const std::u16string& w : group) {
      EXPECT_EQ(SoundKey(w), SoundKey(group[0])) << std::string(w.begin(), w.end());
    }
  }
  const std::vector<std::pair<std::u16string, std::u16string>> apart = {
      {u"bat", u"pat"}, {u"thin", u"tin"},  {u"ship", u"sip"}, {u"cheap", u"keep"},
      {u"gem", u"gum"}, {u"rate", u"late"}, {u"cat", u"cast"}, {u"fan", u"van"}};
  for (const auto& [a, b] : apart) EXPECT_NE(SoundKey(a), SoundKey(b)) << std::string(a.begin(), a.end());
}

TEST(SoundKeyTest, KeepsTwelveSoundsAndIgnoresWhatIsNoLetter) {
  EXPECT_EQ(SoundKey(u"1234"), 0u);
  EXPECT_EQ(SoundCount(SoundKey(u"")), 0u);
  EXPECT_EQ(SoundCount(SoundKey(u"phonetic")), 7u);
  EXPECT_EQ(SoundKey(u"pho-ne'tic"), SoundKey(u"phonetic"));
  const std::u16string longWord = u"pneumonoultramicroscopicsilicovolcanoconiosis";
  EXPECT_EQ(SoundCount(SoundKey(longWord)), kSoundKeyLength);
  EXPECT_EQ(SoundKey(longWord), SoundKey(longWord + u"es"));
  EXPECT_EQ(SoundKey(std::u16string(100000, u'b')), SoundKey(u"b"));
}

TEST(SoundKeyTest, IndexFindsEveryEntryOfASoundAndIsMadeForItsDictionary) {
  const std::vector<std::u16string> keys = {u"fanatic", u"phone", u"phonetic", u"the", u"their", u"there", u"they"};
  const std::vector<uint8_t> image = testing::BuildDictionaryImage(keys);
  DictionaryView view;
  ASSERT_TRUE(DictionaryView::FromFile(image.data(), image.size(), &view));
  const std::vector<uint8_t> bytes = BuildSoundIndex(view);
  SoundIndexView index;
  ASSERT_TRUE(SoundIndexView::FromBytes(bytes.data(), bytes.size(), &index));
  EXPECT_TRUE(index.MadeFor(view));
  EXPECT_EQ(index.count(), keys.size());
  EXPECT_EQ(SoundAlikes(view, index, SoundKey(u"thare"), 10), (std::vector<uint32_t>{4, 5}));
  EXPECT_EQ(SoundAlikes(view, index, SoundKey(u"fonetik"), 10), (std::vector<uint32_t>{0, 2}));
  EXPECT_EQ(SoundAlikes(view, index, SoundKey(u"fonetik"), 1), (std::vector<uint32_t>{0}));
  EXPECT_TRUE(SoundAlikes(view, index, SoundKey(u"zebra"), 10).empty());

  const std::vector<uint8_t> otherImage = testing::BuildDictionaryImage({u"fanatic", u"phone", u"phonetics"});
  DictionaryView other;
  ASSERT_TRUE(DictionaryView::FromFile(otherImage.data(), otherImage.size(), &other));
  EXPECT_FALSE(index.MadeFor(other));
}

}  // namespace
}  // namespace quillet

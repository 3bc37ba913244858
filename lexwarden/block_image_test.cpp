#include "lexwarden/block_image.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/dictionary_view.h"
#include "common/le.h"
#include "lexwarden/warden_testing.h"

namespace quillet::warden {
namespace {

using testing::MakeDictionary;
using testing::MakePlainDictionary;

std::vector<std::u16string> Keys(const DictionaryView& v) {
  std::vector<std::u16string> keys;
  for (uint32_t i = 0; i < v.entryCount(); ++i) {
    TextRef t;
    if (!v.Key(i, &t)) return {u"<unreadable>"};
    keys.push_back(t.ToString());
  }
  return keys;
}

// The views a text service builds from the block's directory.
std::vector<DictionaryView> Directory(const std::vector<uint8_t>& block) {
  return ReadDictionaryDirectory(block.data(), block.size());
}

TEST(BlockImage, TheDirectoryReadsLikeTheFilesAndTheBodiesAreUnchanged) {
  // 250 entries get an index and info texts; 5 entries have neither.
  std::vector<PreparedDictionary> dicts;
  dicts.push_back(PrepareDictionary(MakeDictionary(u"alpha", 250)));
  dicts.push_back(PrepareDictionary(MakePlainDictionary(u"b", 5)));
  const std::vector<uint8_t> files[] = {MakeDictionary(u"alpha", 250), MakePlainDictionary(u"b", 5)};
  ASSERT_FALSE(dicts[0].placeholder());
  ASSERT_GT(dicts[0].header.nodeCount, 0u);

  std::vector<uint8_t> block(ImageSize(ListOf(dicts)));
  WriteImage(block.data(), block.size(), ListOf(dicts), 7);
  EXPECT_EQ(ImageGeneration(block.data()), 7);
  ASSERT_EQ(LoadU16(block.data() + 2), 2);

  size_t x = kDirectoryAreaSize;
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_TRUE(std::equal(files[i].begin() + 24, files[i].end(), block.begin() + static_cast<long>(x)));
    x = (x + files[i].size() - 24 + 7) / 8 * 8;
  }
  EXPECT_EQ(x, block.size()) << "the image is exactly as large as it needs to be";

  // Read through the rebased headers, as a text service reads them.
  const std::vector<DictionaryView> views = Directory(block);
  EXPECT_FALSE(views[1].hasInfo());
  DictionaryView fromFile;
  ASSERT_TRUE(DictionaryView::FromFile(files[0].data(), files[0].size(), &fromFile));
  EXPECT_EQ(Keys(views[0]), Keys(fromFile));
  InfoRef info;
  ASSERT_TRUE(views[0].Info(3, &info));
  EXPECT_EQ(info.display.ToString(), u"Dalpha0000003");
  IndexNode root;
  EXPECT_TRUE(views[0].Node(0, &root));
  EXPECT_EQ(root.rangeEnd, 250u);
}

TEST(BlockImage, BadFilesBecomeEmptyPlaceholdersThatKeepTheirPosition) {
  std::vector<uint8_t> truncated = MakeDictionary(u"c", 120);
  truncated.resize(truncated.size() / 2);
  std::vector<uint8_t> outside = MakeDictionary(u"d", 3);
  StoreU32(outside.data() + 12, 0x7FFFFFF0);  // position table far outside the file
  const std::vector<std::vector<uint8_t>> inputs = {truncated, {1, 2, 3}, {}, outside};
  std::vector<PreparedDictionary> dicts;
  for (const auto& bytes : inputs) {
    dicts.push_back(PrepareDictionary(bytes));
    EXPECT_TRUE(dicts.back().placeholder());
    EXPECT_EQ(dicts.back().problem, Result::kMalformed);
  }
  dicts.insert(dicts.begin() + 1, PrepareDictionary(MakeDictionary(u"ok", 2)));

  std::vector<uint8_t> block(ImageSize(ListOf(dicts)));
  WriteImage(block.data(), block.size(), ListOf(dicts), 1);
  const std::vector<DictionaryView> views = Directory(block);
  ASSERT_EQ(views.size(), 5u);
  for (size_t i : {0, 2, 3, 4}) {
    EXPECT_EQ(views[i].entryCount(), 0u);
    EXPECT_FALSE(views[i].hasIndex());
    EXPECT_FALSE(views[i].hasInfo());
    EXPECT_EQ(views[i].Position(0).keyOffset, kNone);  // the terminator record
  }
  EXPECT_EQ(Keys(views[1]), (std::vector<std::u16string>{u"ok0000000", u"ok0000001"}));
}

}  // namespace
}  // namespace quillet::warden

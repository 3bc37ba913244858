#include "lexwarden/block_image.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/dictionary_view.h"
#include "common/le.h"
#include "lexwarden/test_support.h"

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
  std::vector<DictionaryView> views;
  const uint16_t count = LoadU16(block.data() + 2);
  for (size_t i = 0; i < count; ++i) {
    DictionaryView v;
    EXPECT_TRUE(DictionaryView::Make(block.data(), block.size(), ReadDictHeader(block.data() + 4 + 24 * i), 0, &v))
        << "entry " << i;
    views.push_back(v);
  }
  return views;
}

TEST(BlockImage, DirectoryIsTheFileHeaderRebasedAndTheBodyIsUnchanged) {
  // 250 entries get an index and info texts; 5 entries have neither.
  std::vector<PreparedDictionary> dicts;
  dicts.push_back(PrepareDictionary(MakeDictionary(u"alpha", 250)));
  dicts.push_back(PrepareDictionary(MakePlainDictionary(u"b", 5)));
  const std::vector<uint8_t> files[] = {MakeDictionary(u"alpha", 250), MakePlainDictionary(u"b", 5)};
  ASSERT_FALSE(dicts[0].placeholder());
  ASSERT_GT(dicts[0].header.nodeCount, 0u);

  const size_t capacity = CapacityFor(DataSize(ListOf(dicts)));
  std::vector<uint8_t> block(capacity);
  const Region r = WriteImage(block.data(), block.size(), ListOf(dicts), kDirectoryAreaSize, 7);
  EXPECT_EQ(r.begin, kDirectoryAreaSize);
  EXPECT_EQ(ImageGeneration(block.data()), 7);
  ASSERT_EQ(LoadU16(block.data() + 2), 2);

  size_t x = kDirectoryAreaSize;
  for (size_t i = 0; i < 2; ++i) {
    const DictHeader file = ReadDictHeader(files[i].data());
    const DictHeader entry = ReadDictHeader(block.data() + 4 + 24 * i);
    auto rebased = [&](uint32_t o) { return o == kNone ? kNone : static_cast<uint32_t>(o + x); };
    EXPECT_EQ(entry.nodeCount, file.nodeCount);
    EXPECT_EQ(entry.entryCount, file.entryCount);
    EXPECT_EQ(entry.nodeTableOffset, rebased(file.nodeTableOffset));
    EXPECT_EQ(entry.positionTableOffset, rebased(file.positionTableOffset));
    EXPECT_EQ(entry.keyAreaOffset, rebased(file.keyAreaOffset));
    EXPECT_EQ(entry.infoAreaOffset, rebased(file.infoAreaOffset));
    EXPECT_TRUE(std::equal(files[i].begin() + 24, files[i].end(), block.begin() + static_cast<long>(x)));
    x = (x + files[i].size() - 24 + 7) / 8 * 8;
  }
  EXPECT_EQ(ReadDictHeader(block.data() + 4 + 24).infoAreaOffset, kNone);

  const std::vector<DictionaryView> views = Directory(block);
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

  std::vector<uint8_t> block(kMinBlockCapacity);
  WriteImage(block.data(), block.size(), ListOf(dicts), kDirectoryAreaSize, 1);
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

TEST(BlockImage, ANewPublicationLeavesTheDataOfThePreviousOneUntouched) {
  std::vector<PreparedDictionary> first;
  first.push_back(PrepareDictionary(MakeDictionary(u"first", 400)));
  std::vector<PreparedDictionary> second;
  second.push_back(PrepareDictionary(MakeDictionary(u"second", 300)));
  second.push_back(PrepareDictionary(MakeDictionary(u"third", 30)));

  const size_t capacity = CapacityFor(DataSize(ListOf(first)));
  std::vector<uint8_t> block(capacity);
  size_t begin = 0;
  ASSERT_TRUE(PlaceBeside(capacity, Region{}, DataSize(ListOf(first)), &begin));
  const Region r1 = WriteImage(block.data(), capacity, ListOf(first), begin, 1);
  const std::vector<uint8_t> snapshot = block;
  const std::vector<DictionaryView> oldViews = Directory(snapshot);  // a reader that opened before

  ASSERT_TRUE(PlaceBeside(capacity, r1, DataSize(ListOf(second)), &begin));
  const Region r2 = WriteImage(block.data(), capacity, ListOf(second), begin, 2);
  EXPECT_TRUE(r2.begin >= r1.end || r2.end <= r1.begin);
  EXPECT_TRUE(std::equal(snapshot.begin() + static_cast<long>(r1.begin), snapshot.begin() + static_cast<long>(r1.end),
                         block.begin() + static_cast<long>(r1.begin)));
  // The old reader's views, now over the live block, still read the first set whole.
  DictionaryView stale;
  ASSERT_TRUE(DictionaryView::Make(block.data(), block.size(), oldViews[0].header(), 0, &stale));
  EXPECT_EQ(Keys(stale).size(), 400u);
  EXPECT_EQ(Keys(stale)[399], u"first0000399");
  const std::vector<DictionaryView> fresh = Directory(block);
  ASSERT_EQ(fresh.size(), 2u);
  EXPECT_EQ(Keys(fresh[1])[29], u"third0000029");

  // A third publication goes back to the front, beside the second.
  ASSERT_TRUE(PlaceBeside(capacity, r2, DataSize(ListOf(first)), &begin));
  EXPECT_EQ(begin, kDirectoryAreaSize);
}

TEST(BlockImage, PlacementAndCapacityLimits) {
  size_t begin = 0;
  // Nothing in use: the data area, if it fits at all.
  EXPECT_TRUE(PlaceBeside(1000, Region{}, 1000 - kDirectoryAreaSize, &begin));
  EXPECT_EQ(begin, kDirectoryAreaSize);
  EXPECT_FALSE(PlaceBeside(1000, Region{}, 1001 - kDirectoryAreaSize, &begin));
  EXPECT_FALSE(PlaceBeside(100, Region{}, 0, &begin));
  // In use in the middle: before it, or after it (aligned), never over it.
  EXPECT_TRUE(PlaceBeside(2000, Region{800, 1201}, 480, &begin));
  EXPECT_EQ(begin, kDirectoryAreaSize);
  EXPECT_TRUE(PlaceBeside(2000, Region{800, 1201}, 790, &begin));
  EXPECT_EQ(begin, 1208u);
  EXPECT_FALSE(PlaceBeside(2000, Region{800, 1201}, 793, &begin));

  for (size_t data : {size_t{0}, size_t{1000}, size_t{5} << 20, size_t{100} << 20, size_t{400} << 20}) {
    const size_t c = CapacityFor(data);
    EXPECT_GE(c, kMinBlockCapacity);
    EXPECT_LE(c, kMaxBlockSize);
    EXPECT_GE(c, kDirectoryAreaSize + 2 * data) << data;
  }
  // Too large for any block: refused rather than wrapped.
  EXPECT_EQ(CapacityFor(kMaxBlockSize), 0u);
  EXPECT_GE(CapacityFor(kMaxBlockSize - kDirectoryAreaSize), kMaxBlockSize - 1);
}

}  // namespace
}  // namespace quillet::warden

#include "common/dictionary_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace quillet {
namespace {

// The two-entry dictionary "cat\tCat\t\tan animal" + "don't", laid out by hand.
std::vector<uint8_t> TwoEntryFile() {
  std::vector<uint8_t> f(122, 0);
  WriteDictHeader(f.data(), {0, 2, kNone, 0, 24, 42});
  WriteEntryPosition(&f[24], {0, 0});
  WriteEntryPosition(&f[32], {8, 30});
  WriteEntryPosition(&f[40], {kNone, kNone});
  size_t at = 48;
  auto put = [&](std::u16string_view s) {
    StoreU16(&f[at], static_cast<uint16_t>(s.size()));
    at += 2;
    for (char16_t c : s) {
      StoreU16(&f[at], c);
      at += 2;
    }
  };
  for (auto s : {u"cat", u"dont", u"Cat", u"", u"an animal", u"don't", u"don't", u""}) put(s);
  EXPECT_EQ(at, f.size());
  return f;
}

TEST(DictionaryView, ReadsKeysAndInfoOfAWellFormedFile) {
  const auto f = TwoEntryFile();
  DictionaryView v;
  ASSERT_TRUE(DictionaryView::FromFile(f.data(), f.size(), &v));
  EXPECT_EQ(v.entryCount(), 2u);
  EXPECT_FALSE(v.hasIndex());
  TextRef key;
  ASSERT_TRUE(v.Key(1, &key));
  EXPECT_EQ(key.ToString(), u"dont");
  InfoRef info;
  ASSERT_TRUE(v.Info(0, &info));
  EXPECT_EQ(info.display.ToString(), u"Cat");
  EXPECT_EQ(info.commit.length, 0);
  EXPECT_EQ(info.description.ToString(), u"an animal");
  EXPECT_FALSE(v.Key(2, &key));
  IndexNode node;
  EXPECT_FALSE(v.Node(0, &node));
}

TEST(DictionaryView, RejectsHeadersThatPointOutside) {
  auto f = TwoEntryFile();
  DictionaryView v;
  EXPECT_FALSE(DictionaryView::FromFile(f.data(), 23, &v));
  WriteDictHeader(f.data(), {0, 0xFFFFFFF0u, kNone, 0, 24, 42});  // position table would wrap
  EXPECT_FALSE(DictionaryView::FromFile(f.data(), f.size(), &v));
  WriteDictHeader(f.data(), {3, 2, 0, 0, 24, 42});  // node table larger than the file
  EXPECT_FALSE(DictionaryView::FromFile(f.data(), f.size(), &v));
  WriteDictHeader(f.data(), {0, 2, kNone, 0, 24, 0x7FFFFFFF});
  EXPECT_FALSE(DictionaryView::FromFile(f.data(), f.size(), &v));
}

TEST(DictionaryView, ThePositionTablesTerminatorMustLieInside) {
  const auto f = TwoEntryFile();  // positions at 24, 32 and the terminator at 40
  const DictHeader keysOverPositions{0, 2, kNone, 0, 0, kNone};
  // A span that ends right after the last entry's record: the terminator would lie one past it.
  const std::vector<uint8_t> cut(f.begin(), f.begin() + 40);
  DictionaryView v;
  EXPECT_FALSE(DictionaryView::Make(cut.data(), cut.size(), keysOverPositions, kDictHeaderSize, &v));
  const std::vector<uint8_t> whole(f.begin(), f.begin() + 48);
  ASSERT_TRUE(DictionaryView::Make(whole.data(), whole.size(), keysOverPositions, kDictHeaderSize, &v));
  EXPECT_EQ(v.Position(2).keyOffset, kNone);
}

TEST(DictionaryView, DamagedEntriesReadAsAbsent) {
  auto f = TwoEntryFile();
  StoreU32(&f[32], 0x7FFFFFF0);  // key offset far outside
  StoreU16(&f[66], 500);         // first info record claims 500 units
  DictionaryView v;
  ASSERT_TRUE(DictionaryView::FromFile(f.data(), f.size(), &v));
  TextRef key;
  EXPECT_TRUE(v.Key(0, &key));
  EXPECT_FALSE(v.Key(1, &key));
  InfoRef info;
  EXPECT_FALSE(v.Info(0, &info));
  EXPECT_TRUE(v.Info(1, &info));
}

std::u16string KeyOf(const DictionaryView& v, uint32_t i) {
  TextRef t;
  return v.Key(i, &t) ? t.ToString() : u"<none>";
}

// A block of the two-entry file with entries of every kind of damage behind it: positions must keep
// matching the settings, and nothing outside the block may be read.
TEST(DictionaryDirectory, EntriesPointingOutsideGiveEmptyViewsAtTheirPositions) {
  std::vector<uint8_t> block = DictionaryBlockImage({TwoEntryFile()});
  ASSERT_FALSE(block.empty());
  const DictHeader good = ReadDictHeader(&block[kDirectoryEntriesOffset]);
  block.insert(block.begin() + kDirectoryEntriesOffset + kDirectoryEntrySize, 3 * kDirectoryEntrySize, 0);
  auto rebased = [&](DictHeader h) {
    for (uint32_t* o : {&h.nodeTableOffset, &h.positionTableOffset, &h.keyAreaOffset, &h.infoAreaOffset}) {
      if (*o != kNone) *o += 3 * kDirectoryEntrySize;
    }
    return h;
  };
  DictHeader noInfo = rebased(good);
  noInfo.infoAreaOffset = kNone;
  DictHeader pastTheEnd = rebased(good);
  pastTheEnd.keyAreaOffset = 0xFFFFFF00;
  WriteDictHeader(&block[kDirectoryEntriesOffset], rebased(good));
  WriteDictHeader(&block[kDirectoryEntriesOffset + kDirectoryEntrySize], noInfo);
  WriteDictHeader(&block[kDirectoryEntriesOffset + 2 * kDirectoryEntrySize], pastTheEnd);
  WriteDictHeader(&block[kDirectoryEntriesOffset + 3 * kDirectoryEntrySize], DictHeader{1, 1, 4090, 0, 0, kNone});
  StoreU16(&block[2], 6);  // two more than there are: they lie over the data

  const std::vector<DictionaryView> directory = ReadDictionaryDirectory(block.data(), block.size());
  ASSERT_EQ(directory.size(), 6u);
  EXPECT_EQ(KeyOf(directory[0], 1), u"dont");
  EXPECT_TRUE(directory[0].hasInfo());
  EXPECT_EQ(KeyOf(directory[1], 0), u"cat");
  EXPECT_FALSE(directory[1].hasInfo());
  EXPECT_EQ(directory[2].entryCount(), 0u);
  EXPECT_EQ(directory[3].entryCount(), 0u);
  // Whatever the entries over the data decode to, reading through them stays inside the block.
  for (const DictionaryView& v : directory) {
    TextRef key;
    InfoRef info;
    for (uint32_t i = 0; i < std::min<uint32_t>(v.entryCount(), 4); ++i) {
      v.Key(i, &key);
      v.Info(i, &info);
    }
  }
  EXPECT_TRUE(ReadDictionaryDirectory(block.data(), 3).empty()) << "no room for a count";
}

}  // namespace
}  // namespace quillet

#include "lookup/tab_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/dict_format.h"
#include "common/dict_image_testing.h"
#include "common/le.h"
#include "lookup/lookup_testing.h"

namespace quillet {
namespace {

using testing::BuildDictionaryImage;
using testing::ImageEntry;
using testing::LockState;
using testing::MakeSource;

std::vector<std::u16string> Page(const TabSource& s) {
  std::vector<std::u16string> words;
  for (size_t i = 0; i < s.PageCount(); ++i) words.push_back(s.CandidateWord(i));
  return words;
}

std::u16string Letters(size_t i, size_t width) {
  std::u16string s(width, u'a');
  for (size_t k = width; k-- > 0; i /= 26) s[k] = static_cast<char16_t>(u'a' + i % 26);
  return s;
}

// 120 keys beginning with a, then 130 with b, all of three letters and no second-letter group of 100:
// the root indexes a (node 1) but the table is full when b is reached.
std::vector<uint8_t> TwoLetterGroups() {
  std::vector<std::u16string> keys;
  for (int i = 0; i < 120; ++i) keys.push_back(u"a" + Letters(i, 2));
  for (int i = 0; i < 130; ++i) keys.push_back(u"b" + Letters(i, 2));
  return BuildDictionaryImage(keys);
}

TEST(TabSource, FindsKeysBeginningWithThePrefixAndCopiesTheirTexts) {
  const auto image = BuildDictionaryImage(std::vector<ImageEntry>{{u"a", u"", u"", u""},
                                                                  {u"ab", u"Ab", u"", u"first"},
                                                                  {u"abc", u"", u"a.b.c", u""},
                                                                  {u"abd", u"", u"", u""},
                                                                  {u"b", u"", u"", u""}});
  LockState lock;
  auto all = MakeSource(image, 0, &lock);
  EXPECT_EQ(all->SetPrefix(u"ab"), 3u);
  EXPECT_EQ(Page(*all), (std::vector<std::u16string>{u"ab", u"abc", u"abd"}));
  EXPECT_EQ(all->CandidateDisplay(0), u"Ab");
  EXPECT_EQ(all->CandidateDescription(0), u"first");
  EXPECT_EQ(all->CandidateCommit(1), u"a.b.c");
  EXPECT_EQ(all->CandidateDisplay(2), u"");
  EXPECT_EQ(all->CandidateWord(3), u"");
  EXPECT_EQ(all->CandidateCommit(10), u"");
  EXPECT_EQ(all->matchBegin(), 1u);

  auto longer = MakeSource(image, 2, &lock);
  EXPECT_EQ(longer->SetPrefix(u"ab"), 2u);
  EXPECT_EQ(Page(*longer), (std::vector<std::u16string>{u"abc", u"abd"}));
  EXPECT_EQ(longer->matchBegin(), 2u);
  EXPECT_EQ(lock.held, 0);
}

TEST(TabSource, PagesFetchedOnceAreTurnedAgainWithoutASearch) {
  std::vector<std::u16string> keys{u"a"};
  for (int i = 0; i < 25; ++i) keys.push_back(u"m" + Letters(i, 2));
  keys.push_back(u"n");
  LockState lock;
  auto s = MakeSource(BuildDictionaryImage(keys), 0, &lock);
  EXPECT_EQ(s->SetPrefix(u"m"), 10u);
  EXPECT_EQ(s->NextPage(), 10u);
  EXPECT_EQ(s->NextPage(), 5u);
  const int reads = lock.acquired;
  EXPECT_EQ(s->PreviousPage(), 10u);
  EXPECT_EQ(s->PreviousPage(), 10u);
  EXPECT_EQ(s->NextPage(), 10u);
  EXPECT_EQ(s->NextPage(), 5u);
  EXPECT_EQ(lock.acquired, reads);
  EXPECT_EQ(s->candidateCount(), 25u);
}

TEST(TabSource, AFailedLockChangesNothing) {
  const auto image = BuildDictionaryImage(std::vector<std::u16string>{u"ant", u"bee", u"bees", u"cat"});
  LockState lock;
  lock.failNext = true;
  auto dead = MakeSource(image, 0, &lock);
  EXPECT_EQ(dead->matchBegin(), kNone);
  EXPECT_EQ(dead->AppendLetter(u'b'), 0u);
  EXPECT_EQ(dead->SetPrefix(u"b"), 2u);  // a successful SetPrefix revives it

  lock.failAll = true;
  EXPECT_EQ(dead->SetPrefix(u"c"), 2u);
  EXPECT_EQ(dead->AppendLetter(u'e'), 2u);
  EXPECT_EQ(dead->prefix(), u"b");
  EXPECT_EQ(dead->CandidateWord(1), u"bees");
  EXPECT_EQ(lock.held, 0);
}

TEST(TabSource, ADamagedDictionaryGivesNoCandidates) {
  auto image = TwoLetterGroups();
  // Node 1's slot for 'b' names a node that does not exist.
  StoreU16(&image[kDictHeaderSize + kIndexNodeSize + 16 + 2], 7);
  auto s = MakeSource(image, 0);
  EXPECT_EQ(s->SetPrefix(u"ab"), 0u);
  EXPECT_EQ(s->SetPrefix(u"b"), 10u);

  // A header pointing outside the image: the source reads an empty dictionary.
  auto broken = image;
  StoreU32(&broken[4], 0x00FFFFFF);
  auto t = MakeSource(broken, 0);
  EXPECT_EQ(t->SetPrefix(u"a"), 0u);
  EXPECT_EQ(t->NextPage(), 0u);

  // A key whose length runs past the end reads as an empty key and is skipped.
  auto cut = BuildDictionaryImage(std::vector<std::u16string>{u"aa", u"ab", u"zz"});
  cut.resize(cut.size() - 2);
  auto u = MakeSource(cut, 0);
  EXPECT_EQ(u->SetPrefix(u"a"), 2u);
  EXPECT_EQ(u->SetPrefix(u"z"), 0u);
}

TEST(TabSource, KeysOutOfOrderStillOnlyGiveMatches) {
  // Which matches a dictionary out of key order offers is not defined, but each one offered must match.
  std::vector<std::u16string> keys;
  for (int i = 0; i < 300; ++i) keys.push_back(Letters((i * 7919) % 300, 2) + (i % 3 == 0 ? u"x" : u""));
  auto s = MakeSource(BuildDictionaryImage(keys), 1);
  for (const char16_t* prefix : {u"a", u"ab", u"k", u"z", u""}) {
    s->SetPrefix(prefix);
    do {
      for (size_t i = 0; i < s->PageCount(); ++i) {
        EXPECT_EQ(s->CandidateWord(i).rfind(prefix, 0), 0u);
        EXPECT_GT(s->CandidateWord(i).size(), 1u);
      }
    } while (s->NextPage() != 0);
  }
}

}  // namespace
}  // namespace quillet

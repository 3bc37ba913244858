#include "lookup/tab_source_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/dict_image_testing.h"
#include "common/settings_record.h"
#include "common/settings_record_testing.h"
#include "lookup/private_block.h"

namespace quillet {
namespace {

using testing::BuildDictionaryImage;
using testing::TabRow;
using testing::TabSettings;

// Dictionary i of the block holds keys that say where they come from: "d0one", "d1one", ...
std::vector<std::vector<uint8_t>> Dictionaries(size_t count) {
  std::vector<std::vector<uint8_t>> files;
  for (size_t i = 0; i < count; ++i) {
    const std::u16string d = u"d" + std::u16string(1, static_cast<char16_t>(u'0' + i));
    files.push_back(BuildDictionaryImage(std::vector<testing::ImageEntry>{
        {d + u"one", u"", i == 0 ? u"ONE" : u"", u"the first"}, {d + u"two", u"", u"", u""}}));
  }
  return files;
}

class TabSourceSetTest : public ::testing::Test {
 protected:
  void Publish(const SettingsRecord& record, size_t dictionaries) {
    PublishSettings(record);
    ASSERT_EQ(PublishPrivateDictionaryFiles(Dictionaries(dictionaries), &published_), Result::kSuccess);
    set_.Rebuild();
  }
  void PublishSettings(const SettingsRecord& record) {
    ASSERT_EQ(PublishPrivateSettings(record.data(), record.size(), &published_), Result::kSuccess);
  }
  std::u16string FirstWord(size_t tab) {
    set_.SetShownTab(tab);
    return set_.SetPrefix(u"d") == 0 ? u"" : set_.ShownSource()->CandidateWord(0);
  }
  PublishedData published_;
  TabSourceSet set_{published_};
};

TEST_F(TabSourceSetTest, TabsFindTheirDictionaryByIdNotByPosition) {
  Publish(TabSettings({{0, 2}, {1, 0}, {2, 7}}, {0, 2}), 2);
  ASSERT_EQ(set_.sourceCount(), 3u);
  EXPECT_EQ(FirstWord(0), u"d1one");
  EXPECT_EQ(FirstWord(1), u"d0one");
  EXPECT_EQ(FirstWord(2), u"d0one");  // no dictionary has id 7: the first one
}

TEST_F(TabSourceSetTest, ADictionaryMissingFromTheBlockGivesNoCandidates) {
  // The settings list three dictionaries, the block holds two (a loader that failed to load one).
  Publish(TabSettings({{0, 5}}, {0, 2, 5}), 2);
  EXPECT_EQ(FirstWord(0), u"");
}

TEST_F(TabSourceSetTest, ResolvesLinksByTabId) {
  Publish(TabSettings({{3, 0, -1}, {4, 0, 5}, {5, 0, 9}, {6, 0, 3}}, {0}), 1);
  set_.SetShownTab(0);
  EXPECT_EQ(set_.LinkedTabPosition(), -1);
  set_.SetShownTab(1);
  EXPECT_EQ(set_.LinkedTabPosition(), 2);
  set_.SetShownTab(2);
  EXPECT_EQ(set_.LinkedTabPosition(), -1);  // no tab has id 9
  set_.SetShownTab(3);
  EXPECT_EQ(set_.LinkedTabPosition(), 0);
}

TEST_F(TabSourceSetTest, AnswersForTheCurrentTab) {
  Publish(TabSettings({{0, 0, -1, 0, 2, u"English"}, {1, 1, -1, 3, 0, u"Second"}}, {0, 1}), 2);
  set_.SetShownTab(0);
  EXPECT_EQ(set_.ShowFromLetters(), 2u);
  ASSERT_EQ(set_.SetPrefix(u"D0"), 2u);
  EXPECT_EQ(set_.CommitText(0), u"ONE");  // the commit text when there is one
  EXPECT_EQ(set_.CommitText(1), u"d0two");
  EXPECT_EQ(set_.DescriptionText(0), u"the first");
  EXPECT_EQ(set_.CommitText(2), u"");
  EXPECT_EQ(set_.DescriptionText(10), u"");
  EXPECT_EQ(set_.TurnPage(true), 0u);
  EXPECT_EQ(set_.TurnPage(false), 0u);

  set_.SetShownTab(1);
  EXPECT_EQ(set_.SetPrefix(u"d1"), 2u);
  EXPECT_EQ(set_.AppendLetter(u't'), 1u);
  EXPECT_EQ(set_.CommitText(0), u"d1two");

  set_.SetShownTab(7);  // beyond the sources: the first tab answers
  EXPECT_EQ(set_.ShownSource(), set_.Source(0));
  EXPECT_EQ(set_.ShowFromLetters(), 2u);
  EXPECT_EQ(set_.SetPrefix(nullptr, 3), 0u);

  EXPECT_EQ(set_.tabCount(), 2u);
  EXPECT_EQ(set_.tabNames()[0], u"English");
  EXPECT_EQ(set_.tabNames()[1], u"Second");
}

TEST_F(TabSourceSetTest, SourcesKeepTheirSettingsUntilTheNextRebuild) {
  Publish(TabSettings({{0, 0}}, {0, 1}), 2);
  TabSource* before = set_.ShownSource();
  PublishSettings(TabSettings({{0, 1}}, {0, 1}));
  EXPECT_EQ(FirstWord(0), u"d0one");  // the composition that is running keeps its source
  EXPECT_EQ(set_.ShownSource(), before);
  set_.Rebuild();
  EXPECT_EQ(FirstWord(0), u"d1one");
}

TEST_F(TabSourceSetTest, KeepsNineNamesAndNoMore) {
  std::vector<TabRow> tabs;
  for (uint16_t t = 0; t < 9; ++t) tabs.push_back({t, 0, -1, 0, 0, u"name" + std::u16string(1, u'1' + t)});
  SettingsRecord record = TabSettings(tabs, {0});
  // A count the settings sheet can never write; only nine tabs exist in the record.
  record.view().SetTabCount(40);
  Publish(record, 1);
  EXPECT_EQ(set_.sourceCount(), 9u);
  EXPECT_EQ(set_.tabCount(), 9u);
  EXPECT_EQ(set_.tabNames()[8], u"name9");
  set_.SetShownTab(8);
  EXPECT_EQ(set_.LinkedTabPosition(), -1);
}

TEST_F(TabSourceSetTest, WithoutSourcesEveryAnswerIsNothing) {
  EXPECT_EQ(set_.ShownSource(), nullptr);
  EXPECT_EQ(set_.SetPrefix(u"a"), 0u);
  EXPECT_EQ(set_.AppendLetter(u'a'), 0u);
  EXPECT_EQ(set_.NextPage(), 0u);
  EXPECT_EQ(set_.PreviousPage(), 0u);
  EXPECT_EQ(set_.CommitText(0), u"");
  EXPECT_EQ(set_.ShowFromLetters(), 0u);
  EXPECT_EQ(set_.LinkedTabPosition(), -1);

  Publish(TabSettings({{0, 0, -1, 0, 0, u"kept"}}, {0}), 1);
  set_.Clear();
  published_.Close();
  EXPECT_EQ(set_.ShownSource(), nullptr);
  EXPECT_EQ(set_.tabNames()[0], u"kept");
  EXPECT_EQ(set_.tabCount(), 1u);
  set_.Rebuild();  // nothing published: no sources
  EXPECT_EQ(set_.sourceCount(), 0u);
}

}  // namespace
}  // namespace quillet

#include "quillsvc/settings/tab_page_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace quillet::settings {
namespace {

// Tabs with the given ids (linking as given), each on dictionary 0, and dictionaries with ids 0..n-1.
SettingsRecord Record(const std::vector<uint16_t>& tabIds, const std::vector<int16_t>& links = {},
                      size_t dictionaries = 2) {
  SettingsRecord r;
  SettingsView s = r.view();
  for (size_t i = 0; i < dictionaries; ++i) {
    s.dictionary(i).SetDictionaryId(static_cast<uint16_t>(i));
    s.dictionary(i).SetName(i == 0 ? u"English" : u"Extra");
  }
  s.SetDictionaryCount(static_cast<uint16_t>(dictionaries));
  for (size_t i = 0; i < tabIds.size(); ++i) {
    s.tab(i).SetTabId(tabIds[i]);
    s.tab(i).SetLinkTabId(i < links.size() ? links[i] : -1);
    s.tab(i).SetName(u"T" + std::u16string(1, static_cast<char16_t>(u'0' + tabIds[i])));
  }
  s.SetTabCount(static_cast<uint16_t>(tabIds.size()));
  return r;
}

// What a new tab holds, and that a full list takes none, is the record's (settings_record_test).
TEST(TabPage, AddGivesTheNewTabsPositionUntilNineTabsAreThere) {
  SettingsRecord r = Record({0, 2});
  TabPageModel page(r.view());
  ASSERT_FALSE(page.CheckAdd());
  ASSERT_EQ(page.Add(), std::optional<size_t>(2));
  EXPECT_TRUE(page.changed());
  while (page.tabCount() < 9) ASSERT_TRUE(page.Add());
  EXPECT_TRUE(page.CheckAdd());
  EXPECT_FALSE(page.Add());
}

// The order, spelling and next-word offer live in the options, keyed by tab id: they follow a tab
// that moves, go with a tab that is removed, and a new tab that takes a removed one's id starts afresh.
TEST(TabPage, OrderAndNextWordsAreKeptPerTabIdAndGoWithTheTab) {
  SettingsRecord r = Record({0, 2});
  std::vector<uint8_t> options = DefaultOptionsRecord();
  TabPageModel page(r.view(), &options);
  EXPECT_EQ(page.FieldsOf(1)->orderChoice, 0);
  EXPECT_TRUE(page.ChooseOrder(1, 2));
  EXPECT_FALSE(page.ChooseOrder(1, 2)) << "the same choice changes nothing";
  EXPECT_TRUE(page.SetNextWords(1, true));
  EXPECT_EQ(page.FieldsOf(1)->spellingChoice, 0) << "exact spelling by default";
  EXPECT_TRUE(page.ChooseSpelling(1, 1));
  EXPECT_TRUE(page.changed());
  EXPECT_EQ(ReadTabOptions(options.data(), options.size(), 2), (TabOptions{CandidateOrder::kLearning, true, true}));
  ASSERT_TRUE(page.MoveUp(1));
  EXPECT_EQ(page.FieldsOf(0)->orderChoice, 2);
  EXPECT_TRUE(page.FieldsOf(0)->nextWords);
  EXPECT_EQ(page.FieldsOf(0)->spellingChoice, 1);
  EXPECT_EQ(page.FieldsOf(1)->orderChoice, 0);
  EXPECT_EQ(page.FieldsOf(1)->spellingChoice, 0);
  EXPECT_TRUE(page.ChooseSpelling(0, 7));
  EXPECT_EQ(page.FieldsOf(0)->spellingChoice, 0) << "unknown choices are exact spelling";
  EXPECT_EQ(ReadTabOptions(options.data(), options.size(), 2), (TabOptions{CandidateOrder::kLearning, true}));
  ASSERT_TRUE(page.ChooseOrder(1, 1));
  EXPECT_TRUE(page.ChooseOrder(1, 99));
  EXPECT_EQ(page.FieldsOf(1)->orderChoice, 0) << "unknown choices are dictionary order";
  ASSERT_TRUE(page.Remove(0));
  EXPECT_EQ(ReadTabOptions(options.data(), options.size(), 2), TabOptions{});
  ASSERT_TRUE(page.ChooseOrder(0, 1));
  ASSERT_TRUE(page.Remove(0));
  // A stale entry (another program's) for the id a new tab takes.
  ASSERT_TRUE(WriteTabOptions(options.data(), options.size(), 0, {CandidateOrder::kFrequent, true}));
  ASSERT_EQ(page.Add(), std::optional<size_t>(0));
  EXPECT_EQ(page.FieldsOf(0)->orderChoice, 0);

  // Without the options block the fields show the defaults and nothing is stored.
  TabPageModel without(r.view());
  EXPECT_FALSE(without.hasOptions());
  EXPECT_FALSE(without.ChooseOrder(0, 1));
  EXPECT_EQ(without.FieldsOf(0)->orderChoice, 0);
}

TEST(TabPage, FieldsShowDictionaryAndLinkByIdAndUnknownIdsAsNoChoice) {
  SettingsRecord r = Record({4, 7, 1}, {1, 9, 4});
  SettingsView s = r.view();
  s.tab(0).SetDictionaryId(1);
  s.tab(1).SetDictionaryId(5);  // no such dictionary
  TabPageModel page(s);
  EXPECT_EQ(page.FieldsOf(0)->dictionaryChoice, 1);
  EXPECT_EQ(page.FieldsOf(0)->linkChoice, 3);  // "None", T4, T7, T1: tab id 1 is at position 2
  EXPECT_EQ(page.FieldsOf(1)->dictionaryChoice, -1);
  EXPECT_EQ(page.FieldsOf(1)->linkChoice, 0);
  EXPECT_EQ(page.FieldsOf(2)->linkChoice, 1);  // id 4 is the first tab
  EXPECT_FALSE(page.FieldsOf(3));
  EXPECT_EQ(page.LinkChoices(), (std::vector<std::u16string>{u"None", u"T4", u"T7", u"T1"}));
  EXPECT_EQ(page.DictionaryChoices(), (std::vector<std::u16string>{u"English", u"Extra"}));
  EXPECT_FALSE(page.changed());
}

TEST(TabPage, RemovingATabMovesTheRestUpAndClearsEveryLinkToIt) {
  // Tabs 0 and 3 link to id 5 (the tab at position 1); tab 2 links to id 0.
  SettingsRecord r = Record({0, 5, 2, 3}, {5, -1, 0, 5});
  const SettingsView s = r.view();
  TabPageModel page(s);
  ASSERT_TRUE(page.Remove(1));
  EXPECT_TRUE(page.changed());
  ASSERT_EQ(page.tabCount(), 3u);
  EXPECT_EQ(page.LinkChoices(), (std::vector<std::u16string>{u"None", u"T0", u"T2", u"T3"}));
  EXPECT_EQ(s.tab(1).tabId(), 2);
  EXPECT_EQ(s.tab(2).tabId(), 3);
  // A dangling link would show as "None" too: the stored links must be cleared.
  EXPECT_EQ(s.tab(0).linkTabId(), -1);
  EXPECT_EQ(s.tab(1).linkTabId(), 0);
  EXPECT_EQ(s.tab(2).linkTabId(), -1);
  EXPECT_EQ(page.FieldsOf(1)->linkChoice, 1);
  for (size_t i = 0; i < kTabRecordSize; ++i) ASSERT_EQ(s.tab(3).bytes()[i], 0);
  EXPECT_FALSE(page.Remove(3));
  ASSERT_TRUE(page.Remove(2));
  ASSERT_TRUE(page.Remove(0));
  ASSERT_TRUE(page.Remove(0));
  EXPECT_EQ(page.tabCount(), 0u);
  EXPECT_FALSE(page.Remove(0));
}

TEST(TabPage, MovingATabSwapsWholeRecordsAndNothingAtTheEnds) {
  SettingsRecord r = Record({0, 1, 2}, {2, -1, 0});
  const SettingsRecord original = r;
  TabPageModel page(r.view());
  EXPECT_FALSE(page.MoveUp(0));
  EXPECT_FALSE(page.MoveDown(2));
  EXPECT_FALSE(page.MoveUp(3));
  EXPECT_FALSE(page.changed());
  EXPECT_EQ(page.MoveDown(0), std::optional<size_t>(1));
  EXPECT_EQ(page.TabName(1), u"T0");
  EXPECT_EQ(r.view().tab(1).tabId(), 0);
  EXPECT_EQ(page.FieldsOf(1)->linkChoice, 3);  // the links follow the ids: id 2 is still last
  EXPECT_EQ(page.FieldsOf(2)->linkChoice, 2);  // and id 0 is now second
  EXPECT_TRUE(page.changed());
  EXPECT_EQ(page.MoveUp(1), std::optional<size_t>(0));
  EXPECT_EQ(std::memcmp(r.data(), original.data(), kSettingsRecordSize), 0);
}

TEST(TabPage, LetterCountsStopAt128) {
  SettingsRecord r = Record({0});
  TabPageModel page(r.view());
  TabPageModel::LetterOutcome o = page.SetLetters(0, LetterField::kMinWordLength, 200);
  EXPECT_TRUE(o.notice);
  EXPECT_EQ(o.shown, 128);
  EXPECT_EQ(r.view().tab(0).minWordLength(), 128);
  o = page.SetLetters(0, LetterField::kShowFromLetters, 3);
  EXPECT_FALSE(o.notice);
  EXPECT_TRUE(o.changed);
  EXPECT_EQ(r.view().tab(0).showFromLetters(), 3);
  EXPECT_FALSE(page.SetLetters(0, LetterField::kShowFromLetters, 3).changed);

  bool changed = false;
  EXPECT_FALSE(page.StepLetters(0, LetterField::kMinWordLength, 128, 1, &changed));
  EXPECT_FALSE(page.StepLetters(0, LetterField::kShowFromLetters, 0, -1, &changed));
  EXPECT_FALSE(changed);
  EXPECT_EQ(page.StepLetters(0, LetterField::kShowFromLetters, 3, 1, &changed), std::optional<int>(4));
  EXPECT_TRUE(changed);
  EXPECT_EQ(r.view().tab(0).showFromLetters(), 4);
}

TEST(TabPage, ChoicesOutOfRangeMeanTheFirstDictionaryAndNoLink) {
  SettingsRecord r = Record({3, 5});
  TabPageModel page(r.view());
  EXPECT_TRUE(page.ChooseDictionary(0, 1));
  EXPECT_EQ(r.view().tab(0).dictionaryId(), 1);
  EXPECT_TRUE(page.ChooseDictionary(0, 7));
  EXPECT_EQ(r.view().tab(0).dictionaryId(), 0);
  EXPECT_TRUE(page.ChooseLink(0, 1));  // a tab may link to itself
  EXPECT_EQ(r.view().tab(0).linkTabId(), 3);
  EXPECT_TRUE(page.ChooseLink(0, 2));
  EXPECT_EQ(r.view().tab(0).linkTabId(), 5);
  EXPECT_TRUE(page.ChooseLink(0, 3));
  EXPECT_EQ(r.view().tab(0).linkTabId(), -1);
}

// The record cuts names to their field; a name that is cut to the stored one changes nothing.
TEST(TabPage, ARenameChangesSomethingOnlyWhenTheStoredNameChanges) {
  SettingsRecord r = Record({0});
  TabPageModel page(r.view());
  EXPECT_TRUE(page.Rename(0, u"A name much longer than fifteen"));
  EXPECT_FALSE(page.Rename(0, u"A name much longer than that"));
  EXPECT_FALSE(page.Rename(4, u"x"));
}

TEST(TabPage, ApplyRefusesNoTabsAndTabsWithoutDictionary) {
  SettingsRecord r = Record({0, 1});
  r.view().tab(1).SetDictionaryId(-1);
  TabPageModel page(r.view());
  ApplyDecision d = page.Apply();
  EXPECT_TRUE(d.refused);
  ASSERT_TRUE(page.ChooseDictionary(1, 0));
  d = page.Apply();
  EXPECT_FALSE(d.refused);
  EXPECT_TRUE(d.commit);
  EXPECT_FALSE(page.changed());
  EXPECT_FALSE(page.Apply().commit);  // nothing new to write
  page.CommitFailed();
  EXPECT_TRUE(page.Apply().commit);

  ASSERT_TRUE(page.Remove(0));
  ASSERT_TRUE(page.Remove(0));
  EXPECT_TRUE(page.Apply().refused);
}

}  // namespace
}  // namespace quillet::settings

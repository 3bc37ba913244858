#include "quillsvc/settings/dict_page_model.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quillet::settings {
namespace {

constexpr char16_t kModule[] = u"C:\\Quillet\\quillsvc.dll";

SettingsRecord Record(const std::vector<std::u16string>& paths) {
  SettingsRecord r;
  SettingsView s = r.view();
  for (const std::u16string& p : paths) AddDictionary(s, p);
  AddTab(s);
  return r;
}

TEST(DictPage, AddStoresTheRelativePathAndShowsTheFullOne) {
  SettingsRecord r = Record({u".\\english.dict"});
  DictPageModel page(r.view(), kModule);
  const DictPageModel::ChoiceOutcome o = page.Add(u"C:\\Quillet\\more\\German words.dict");
  ASSERT_EQ(o.kind, DictPageModel::ChoiceOutcome::Kind::kStored);
  EXPECT_EQ(o.position, 1u);
  EXPECT_EQ(page.StoredPath(1), u".\\more\\German words.dict");
  EXPECT_EQ(page.FullPath(1), u"C:\\Quillet\\more\\German words.dict");
  EXPECT_EQ(page.Name(1), u"German words");
  EXPECT_EQ(r.view().dictionary(1).dictionaryId(), 1);
  EXPECT_TRUE(page.changed());
  // A long file name gives a name cut to the field; the user edits it right away.
  ASSERT_EQ(page.Add(u"C:\\dicts\\A very long dictionary name.dict").kind, DictPageModel::ChoiceOutcome::Kind::kStored);
  EXPECT_EQ(page.Name(2), u"A very long dic");
  EXPECT_EQ(page.StoredPath(2), u"..\\dicts\\A very long dictionary name.dict");
}

TEST(DictPage, AFileAlreadyListedIsRefusedWhateverItsSpelling) {
  SettingsRecord r = Record({u"english.dict", u".\\sub\\two.dict"});
  DictPageModel page(r.view(), kModule);
  const SettingsRecord before = r;
  DictPageModel::ChoiceOutcome o = page.Add(u"c:\\QUILLET\\SUB\\Two.DICT");
  EXPECT_EQ(o.kind, DictPageModel::ChoiceOutcome::Kind::kAlreadyListed);
  EXPECT_EQ(o.position, 1u);
  EXPECT_EQ(o.notice.text, u"This dictionary is already on list.");
  o = page.Add(u"C:\\Quillet\\English.dict");  // stored without ".\" in front
  EXPECT_EQ(o.position, 0u);
  // Browsing to the very file the dictionary has, or to another listed one, changes nothing either.
  o = page.Browse(1, u"C:\\Quillet\\sub\\two.dict");
  EXPECT_EQ(o.kind, DictPageModel::ChoiceOutcome::Kind::kAlreadyListed);
  EXPECT_EQ(o.position, 1u);
  EXPECT_EQ(page.Browse(1, u"C:\\Quillet\\english.dict").kind, DictPageModel::ChoiceOutcome::Kind::kAlreadyListed);
  EXPECT_EQ(std::memcmp(r.data(), before.data(), kSettingsRecordSize), 0);
  EXPECT_FALSE(page.changed());

  o = page.Browse(1, u"C:\\Quillet\\three.dict");
  EXPECT_EQ(o.kind, DictPageModel::ChoiceOutcome::Kind::kStored);
  EXPECT_EQ(page.StoredPath(1), u".\\three.dict");
  EXPECT_EQ(page.Name(1), u"two");  // the name stays
}

TEST(DictPage, FilesThatWouldNotBeFoundAgainAreRefused) {
  SettingsRecord r = Record({u"english.dict"});
  DictPageModel page(r.view(), kModule);
  DictPageModel::ChoiceOutcome o = page.Add(u"D:\\words.dict");
  EXPECT_EQ(o.kind, DictPageModel::ChoiceOutcome::Kind::kRefused);
  EXPECT_NE(o.notice.text.find(u"another drive"), std::u16string::npos);
  o = page.Browse(0, u"C:\\Quillet\\" + std::u16string(250, u'w') + u".dict");
  EXPECT_EQ(o.kind, DictPageModel::ChoiceOutcome::Kind::kRefused);
  EXPECT_NE(o.notice.text.find(u"too long"), std::u16string::npos);
  EXPECT_EQ(page.StoredPath(0), u"english.dict");
  EXPECT_FALSE(page.changed());
}

TEST(DictPage, AFullListRefusesBeforeAnyFileIsChosen) {
  SettingsRecord r;
  for (int i = 0; i < 12; ++i) {
    ASSERT_TRUE(AddDictionary(r.view(), u".\\d" + std::u16string(1, static_cast<char16_t>(u'a' + i)) + u".dict"));
  }
  DictPageModel page(r.view(), kModule);
  const std::optional<Notice> n = page.CheckAdd();
  ASSERT_TRUE(n);
  EXPECT_EQ(n->text, u"Can not add more dictionary.");
  EXPECT_EQ(page.Add(u"C:\\Quillet\\new.dict").kind, DictPageModel::ChoiceOutcome::Kind::kRefused);
  EXPECT_EQ(page.count(), 12u);
}

TEST(DictPage, RemovingMovesTabsToTheFirstAndTheLastMayGo) {
  SettingsRecord r = Record({u"a.dict", u"b.dict", u"c.dict"});
  SettingsView s = r.view();
  AddTab(s);
  s.tab(0).SetDictionaryId(1);
  s.tab(1).SetDictionaryId(1);
  DictPageModel page(s, kModule);
  ASSERT_TRUE(page.Remove(1));
  EXPECT_EQ(s.tab(0).dictionaryId(), 0);
  EXPECT_EQ(s.tab(1).dictionaryId(), 0);
  ASSERT_TRUE(page.Remove(0));
  ASSERT_TRUE(page.Remove(0));
  EXPECT_EQ(page.count(), 0u);
  const ApplyDecision d = page.Apply();
  ASSERT_TRUE(d.refused);
  EXPECT_EQ(d.notice.text, u"Must add at least one dictionary.");
  EXPECT_TRUE(page.changed());
}

TEST(DictPage, RenameAndDescriptionMarkChangedOnlyWhenTheyChangeSomething) {
  SettingsRecord r = Record({u"a.dict"});
  DictPageModel page(r.view(), kModule);
  EXPECT_FALSE(page.Rename(0, u"a"));
  EXPECT_FALSE(page.SetDescription(0, u""));
  EXPECT_FALSE(page.changed());
  EXPECT_TRUE(page.SetDescription(0, std::u16string(300, u'd')));
  EXPECT_EQ(page.Description(0).size(), 255u);
  EXPECT_TRUE(page.Rename(0, u"Alpha"));
  EXPECT_FALSE(page.Rename(3, u"x"));
  const ApplyDecision d = page.Apply();
  EXPECT_TRUE(d.commit);
  EXPECT_FALSE(page.changed());
}

}  // namespace
}  // namespace quillet::settings

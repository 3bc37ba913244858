#include "quillsvc/settings/programs_page_model.h"

#include <gtest/gtest.h>

namespace quillet::settings {
namespace {

std::vector<ProgramRuleEntry> Kept(const std::vector<uint8_t>& rules) {
  return ReadProgramRules(rules.data(), rules.size());
}

// Programs are added, changed and removed in the sheet's copy of the rules, which always holds a whole
// record; only a real change marks the page for Apply.
TEST(ProgramsPageModelTest, ProgramsAreAddedChangedAndRemovedInTheRulesCopy) {
  std::vector<uint8_t> rules = DefaultProgramRules();
  ProgramsPageModel page(&rules);
  ASSERT_EQ(page.entries().size(), kDefaultStartClosedProgramCount);
  EXPECT_FALSE(page.Apply().commit);

  // A path stands for its file name; blanks around it go.
  EXPECT_FALSE(page.Add(u"  C:\\Games\\Quest\\quest.exe ", ProgramsPageModel::ChoiceOf(ProgramRule::kNever)));
  EXPECT_EQ(page.entries().back(), (ProgramRuleEntry{u"quest.exe", ProgramRule::kNever}));
  EXPECT_EQ(RuleForProgram(rules.data(), rules.size(), u"QUEST.EXE"), ProgramRule::kNever);
  EXPECT_TRUE(page.Apply().commit);
  EXPECT_FALSE(page.Apply().commit);

  // Changing it to what it is changes nothing; another rule or name does.
  const size_t quest = page.entries().size() - 1;
  EXPECT_FALSE(page.Change(quest, u"quest.exe", 1));
  EXPECT_FALSE(page.Apply().commit);
  EXPECT_FALSE(page.Change(quest, u"Quest2.exe", 0));
  EXPECT_EQ(Kept(rules).back(), (ProgramRuleEntry{u"Quest2.exe", ProgramRule::kStartClosed}));
  EXPECT_TRUE(page.Apply().commit);

  // The defaults can go like any other entry.
  EXPECT_EQ(page.entries().front().program, u"conhost.exe");
  ASSERT_TRUE(page.Remove(0));
  EXPECT_EQ(RuleForProgram(rules.data(), rules.size(), u"conhost.exe"), ProgramRule::kNone);
  EXPECT_EQ(Kept(rules), page.entries());
  EXPECT_FALSE(page.Remove(page.entries().size()));
  EXPECT_TRUE(page.Apply().commit);
}

// What cannot be a rule is refused with a notice and changes nothing.
TEST(ProgramsPageModelTest, BadNamesDuplicatesAndAFullListAreRefused) {
  std::vector<uint8_t> rules = DefaultProgramRules();
  ProgramsPageModel page(&rules);
  for (std::u16string_view bad : {u"", u"   ", u"C:\\dir\\", u"a*b.exe", u"a\"b"}) {
    const std::optional<Notice> notice = page.Add(bad, 0);
    ASSERT_TRUE(notice) << std::string(bad.begin(), bad.end());
    EXPECT_EQ(notice->text, kBadProgramNameText);
  }
  EXPECT_TRUE(page.Add(std::u16string(kProgramNameMax + 1, u'x'), 0));
  const std::optional<Notice> listed = page.Add(u"CMD.exe", 1);
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->text, u"CMD.exe is listed already. Select it in the list to change its rule.");
  EXPECT_TRUE(page.Change(0, u"cmd.exe", 0)) << "renaming onto another entry";
  EXPECT_FALSE(page.Change(0, u"CONHOST.EXE", 0)) << "an entry's own name in another case";
  EXPECT_EQ(page.entries()[0].program, u"CONHOST.EXE");

  ProgramsPageModel fresh(&rules);
  while (fresh.entries().size() < kProgramRulesCapacity) {
    const size_t n = fresh.entries().size();
    ASSERT_FALSE(fresh.Add(
        u"p" + std::u16string{static_cast<char16_t>(u'0' + n / 10), static_cast<char16_t>(u'0' + n % 10)} + u".exe",
        0));
  }
  const std::vector<uint8_t> full = rules;
  const std::optional<Notice> notice = fresh.Add(u"one-more.exe", 0);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->text, u"No more than 64 programs can be listed. Remove one before adding another.");
  EXPECT_EQ(rules, full);
}

// Without the loader's programs block there is nothing to edit; a copy that is not a record lists
// nothing and becomes a whole one with the first change.
TEST(ProgramsPageModelTest, NoRulesOrADamagedCopy) {
  ProgramsPageModel without(nullptr);
  EXPECT_FALSE(without.hasRules());
  EXPECT_FALSE(without.Add(u"a.exe", 0));
  EXPECT_TRUE(without.entries().empty());
  EXPECT_FALSE(without.Apply().commit);

  std::vector<uint8_t> damaged(kProgramRulesSize, 0x5A);
  ProgramsPageModel page(&damaged);
  EXPECT_TRUE(page.entries().empty());
  EXPECT_FALSE(page.Add(u"a.exe", 1));
  EXPECT_EQ(Kept(damaged), (std::vector<ProgramRuleEntry>{{u"a.exe", ProgramRule::kNever}}));
}

}  // namespace
}  // namespace quillet::settings

#include "common/program_rules.h"

#include <gtest/gtest.h>

#include "common/le.h"

namespace quillet {
namespace {

constexpr size_t kFirstEntry = kProgramRulesHeaderSize;

TEST(ProgramRulesTest, RulesRoundTripAndAreFoundWithoutRegardToCase) {
  const std::vector<ProgramRuleEntry> entries = {{u"WindowsTerminal.exe", ProgramRule::kStartClosed},
                                                 {u"game.exe", ProgramRule::kNever},
                                                 {u"Éditeur.exe", ProgramRule::kNever},
                                                 {std::u16string(kProgramNameMax, u'x'), ProgramRule::kNever}};
  std::vector<uint8_t> record;
  ASSERT_TRUE(EncodeProgramRules(entries, &record));
  ASSERT_EQ(record.size(), kProgramRulesSize);
  EXPECT_TRUE(ValidProgramRules(record.data(), record.size()));
  EXPECT_EQ(ReadProgramRules(record.data(), record.size()), entries);

  EXPECT_EQ(RuleForProgram(record.data(), record.size(), u"windowsterminal.EXE"), ProgramRule::kStartClosed);
  EXPECT_EQ(RuleForProgram(record.data(), record.size(), u"GAME.exe"), ProgramRule::kNever);
  EXPECT_EQ(RuleForProgram(record.data(), record.size(), u"éDITEUR.exe"), ProgramRule::kNever);
  EXPECT_EQ(RuleForProgram(record.data(), record.size(), u"game.ex"), ProgramRule::kNone);
  EXPECT_EQ(RuleForProgram(record.data(), record.size(), u"game.exe2"), ProgramRule::kNone);
  EXPECT_EQ(RuleForProgram(record.data(), record.size(), u""), ProgramRule::kNone);

  // A rule of a later build is no rule here; the record stays readable.
  record[kFirstEntry + kProgramRuleEntrySize] = 7;
  EXPECT_EQ(RuleForProgram(record.data(), record.size(), u"game.exe"), ProgramRule::kNone);
  EXPECT_EQ(RuleForProgram(record.data(), record.size(), u"WindowsTerminal.exe"), ProgramRule::kStartClosed);
}

TEST(ProgramRulesTest, TheDefaultsStartTheCommonTerminalsClosed) {
  const std::vector<uint8_t> record = DefaultProgramRules();
  ASSERT_TRUE(ValidProgramRules(record.data(), record.size()));
  EXPECT_EQ(ReadProgramRules(record.data(), record.size()).size(), kDefaultStartClosedProgramCount);
  for (const char16_t* program : {u"conhost.exe", u"WindowsTerminal.exe", u"openconsole.exe", u"CMD.EXE",
                                  u"powershell.exe", u"pwsh.exe", u"mintty.exe"}) {
    EXPECT_EQ(RuleForProgram(record.data(), record.size(), program), ProgramRule::kStartClosed);
  }
  EXPECT_EQ(RuleForProgram(record.data(), record.size(), u"notepad.exe"), ProgramRule::kNone);
}

// What cannot be written is refused whole, the record left as it was.
TEST(ProgramRulesTest, EncodingRefusesBadNamesDuplicatesAndTooManyEntries) {
  std::vector<uint8_t> record = {1, 2, 3};
  for (const std::u16string& bad :
       {std::u16string(), std::u16string(kProgramNameMax + 1, u'x'), std::u16string(u"C:\\bin\\a.exe"),
        std::u16string(u"a/b.exe"), std::u16string(u"a\tb.exe"), std::u16string(u"a|b"), std::u16string(u". ."),
        std::u16string(u"a\0b", 3)}) {
    EXPECT_FALSE(EncodeProgramRules({{bad, ProgramRule::kNever}}, &record));
  }
  EXPECT_FALSE(EncodeProgramRules({{u"a.exe", ProgramRule::kNever}, {u"A.EXE", ProgramRule::kStartClosed}}, &record));
  std::vector<ProgramRuleEntry> many;
  for (size_t i = 0; i <= kProgramRulesCapacity; ++i) {
    many.push_back({u"p" + std::u16string(1, static_cast<char16_t>(u'0' + i / 10)) +
                        std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u".exe",
                    ProgramRule::kNever});
  }
  EXPECT_FALSE(EncodeProgramRules(many, &record));
  EXPECT_EQ(record, (std::vector<uint8_t>{1, 2, 3}));
  many.pop_back();
  EXPECT_TRUE(EncodeProgramRules(many, &record)) << "exactly the capacity fits";
  EXPECT_EQ(ReadProgramRules(record.data(), record.size()).size(), kProgramRulesCapacity);
}

// Anything but a whole record of this shape is refused: it reads as no rules at all, and the loader
// sets such a file aside.
TEST(ProgramRulesTest, DamagedTruncatedAndOverCapacityRecordsAreRefused) {
  std::vector<uint8_t> good;
  ASSERT_TRUE(EncodeProgramRules({{u"game.exe", ProgramRule::kNever}}, &good));
  auto refused = [](std::vector<uint8_t> r) {
    return !ValidProgramRules(r.data(), r.size()) && ReadProgramRules(r.data(), r.size()).empty() &&
           RuleForProgram(r.data(), r.size(), u"game.exe") == ProgramRule::kNone;
  };
  EXPECT_TRUE(refused(std::vector<uint8_t>(good.begin(), good.end() - 1))) << "truncated";
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_TRUE(refused(longer));
  EXPECT_TRUE(refused({}));
  EXPECT_FALSE(ValidProgramRules(nullptr, kProgramRulesSize));

  std::vector<uint8_t> r = good;
  r[0] = 'X';
  EXPECT_TRUE(refused(r)) << "magic";
  r = good;
  StoreU16(r.data() + 4, kProgramRulesVersion + 1);
  EXPECT_TRUE(refused(r)) << "version";
  r = good;
  StoreU16(r.data() + 6, kProgramRulesCapacity + 1);
  EXPECT_TRUE(refused(r)) << "count beyond capacity";
  r = good;
  StoreU16(r.data() + 6, 2);
  EXPECT_TRUE(refused(r)) << "an entry counted with an empty name";
  r = good;
  r[kFirstEntry + 1] = kProgramNameMax + 1;
  EXPECT_TRUE(refused(r)) << "a name longer than its field";
  r = good;
  StoreU16(r.data() + kFirstEntry + 2, u'\\');
  EXPECT_TRUE(refused(r)) << "a path, not a file name";
}

TEST(ProgramRulesTest, TheProgramIsTheFileNameOfItsPath) {
  EXPECT_EQ(ProgramFileName(u"C:\\Program Files\\WindowsApps\\WindowsTerminal.exe"), u"WindowsTerminal.exe");
  EXPECT_EQ(ProgramFileName(u"/usr/bin/tsfhost.exe"), u"tsfhost.exe");
  EXPECT_EQ(ProgramFileName(u"cmd.exe"), u"cmd.exe");
  EXPECT_EQ(ProgramFileName(u"C:\\dir\\"), u"");
}

}  // namespace
}  // namespace quillet

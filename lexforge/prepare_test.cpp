#include "lexforge/prepare.h"

#include <gtest/gtest.h>

#include "lexforge/builder.h"
#include "lexforge/export.h"
#include "lexforge/test_files.h"

namespace quillet::lexforge {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::TextOf;
using testing::Utf16;
using testing::WriteAll;

TEST(Prepare, KeysFormsOrderAndDuplicates) {
  PrepareReport report;
  const auto entries = PrepareEntries(
      "Zebra\n  apple \r\n\n\t\nDon't\ndont\napple\nApple\nwell-being\n\xC3\x89"
      "cole\ncaf\xC3\xA9\nA\"b\n"
      "bad\tword\n'\nDon't",
      &report);
  const std::vector<PreparedEntry> expected = {
      {u"a\"b", u"A\"b"},
      {u"apple", u""},
      {u"apple", u"Apple"},
      {u"caf\u00e9", u""},
      {u"dont", u""},
      {u"dont", u"Don't"},
      {u"wellbeing", u"well-being"},
      {u"zebra", u"Zebra"},
      {u"\u00e9cole", u"\u00c9cole"},
  };
  EXPECT_EQ(entries, expected);
  EXPECT_EQ(report.words, 13u);
  EXPECT_EQ(report.entries, 9u);
  EXPECT_EQ(report.skippedLines, 2u);
  EXPECT_EQ(report.firstSkippedLine, 13u);
}

TEST(Prepare, PreparedListBuildsToTheSameEntries) {
  TempDir dir;
  WriteAll(dir.Path("plain.txt"), {0xEF, 0xBB, 0xBF, 'S', 'a', 'y', ' ', '"', 'h', 'i', '"', '\n', 'o', 'k', '\n'});
  PrepareReport report;
  ASSERT_EQ(PrepareWordList(dir.U16("words.txt"), dir.U16("plain.txt"), &report), Result::kSuccess);
  EXPECT_EQ(TextOf(ReadAll(dir.Path("words.txt"))), u"ok\r\nsay \"\"hi\"\"\tSay \"\"hi\"\"\tSay \"\"hi\"\"\r\n");
  ASSERT_EQ(ConvertTextToDictionary(dir.U16("words.dict"), dir.U16("words.txt")), Result::kSuccess);
  ASSERT_EQ(ConvertDictionaryToText(dir.U16("back.txt"), dir.U16("words.dict")), Result::kSuccess);
  EXPECT_EQ(TextOf(ReadAll(dir.Path("back.txt"))), u"ok\t\t\t\r\nsay \"hi\"\tSay \"hi\"\tSay \"hi\"\t\r\n");

  WriteAll(dir.Path("blank.txt"), {' ', '\n', '\n'});
  EXPECT_EQ(PrepareWordList(dir.U16("out.txt"), dir.U16("blank.txt"), nullptr), Result::kNoEntry);
  EXPECT_EQ(PrepareWordList(dir.U16("out.txt"), dir.U16("missing.txt"), nullptr), Result::kFileOpenFailed);
  EXPECT_FALSE(testing::Exists(dir.Path("out.txt")));
}

}  // namespace
}  // namespace quillet::lexforge

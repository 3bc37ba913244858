#include "lexforge/word_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "lexforge/test_files.h"

namespace quillet::lexforge {
namespace {

using testing::Bytes;
using testing::Utf16;

struct Parsed {
  std::u16string key, display, commit, description;
  uint64_t line;
};

std::vector<Parsed> Parse(const std::u16string& text, uint64_t* skipped = nullptr) {
  const Bytes bytes = Utf16(text);
  WordListParser parser(bytes.data(), bytes.size());
  std::vector<Parsed> out;
  WordListEntry e;
  while (parser.Next(&e))
    out.push_back({e.key.ToString(), e.display.ToString(), e.commit.ToString(), e.description.ToString(), e.line});
  if (skipped != nullptr) *skipped = parser.skippedLines();
  return out;
}

TEST(WordListParser, FieldsAndDefaults) {
  const auto entries =
      Parse(u"cat\tCat\t\tan animal\r\ndon't\r\ndont\r\nwell-being\t\tWell-being\r\ndog\t\t\tbarks\r\n");
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].key, u"cat");
  EXPECT_EQ(entries[0].display, u"Cat");
  EXPECT_EQ(entries[0].commit, u"");  // no default: the word equals its key
  EXPECT_EQ(entries[0].description, u"an animal");
  EXPECT_EQ(entries[1].key, u"dont");
  EXPECT_EQ(entries[1].display, u"don't");
  EXPECT_EQ(entries[1].commit, u"don't");
  EXPECT_EQ(entries[1].description, u"");
  EXPECT_EQ(entries[2].key, u"dont");
  EXPECT_EQ(entries[2].display + entries[2].commit + entries[2].description, u"");
  EXPECT_EQ(entries[3].key, u"wellbeing");
  EXPECT_EQ(entries[3].display, u"well-being");  // defaulted
  EXPECT_EQ(entries[3].commit, u"Well-being");   // given
  EXPECT_EQ(entries[4].description, u"barks");
  EXPECT_EQ(entries[4].line, 5u);
}

TEST(WordListParser, QuoteRule) {
  const auto entries = Parse(u"a\"\"b\r\n\"c\"\r\nd\"\"\"e\r\nf\"\tg\"\"\th\r\n\"\"\r\nx\"\"\"\"y\r\n");
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries[0].key, u"a\"b");  // doubled: one kept
  EXPECT_EQ(entries[1].key, u"c");     // single ones vanish
  EXPECT_EQ(entries[2].key, u"d\"e");  // three give one
  EXPECT_EQ(entries[3].key, u"f");     // TAB between quotes still separates, and resets the rule
  EXPECT_EQ(entries[3].display, u"g\"");
  EXPECT_EQ(entries[3].commit, u"h");
  EXPECT_EQ(entries[4].key, u"\"");
  EXPECT_EQ(entries[5].key, u"x\"\"y");
}

TEST(WordListParser, LineEndings) {
  // A lone LF is text; whatever follows a CR is skipped; the last line needs no CR.
  const auto entries = Parse(u"one\ntwo\r\nthree\rXfour\r\nfive");
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].key, u"one\ntwo");
  EXPECT_EQ(entries[1].key, u"three");
  EXPECT_EQ(entries[2].key, u"four");  // the X was eaten as the CR's partner
  EXPECT_EQ(entries[2].line, 3u);
  EXPECT_EQ(entries[3].key, u"five");
}

TEST(WordListParser, SkippedLinesAndExtraFields) {
  uint64_t skipped = 0;
  const auto entries = Parse(u"\r\n'-'\r\n\t\tonly commit\r\nword\ta\tb\tc\tignored\tmore\r\n", &skipped);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(skipped, 3u);
  EXPECT_EQ(entries[0].description, u"c");
  EXPECT_EQ(entries[0].line, 4u);
}

TEST(WordListParser, FieldLimit) {
  const std::u16string max(5119, u'x');
  const std::u16string over(5120, u'y');
  // The word counts with its apostrophes, before the key loses them.
  const std::u16string apostrophes = std::u16string(5119, u'z') + u"'";
  uint64_t skipped = 0;
  const auto entries =
      Parse(max + u"\r\n" + over + u"\r\nok\t\t\t" + over + u"\r\n" + apostrophes + u"\r\n" + u"q\t" + max + u"\r\n",
            &skipped);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].key, max);
  EXPECT_EQ(entries[1].display, max);
  EXPECT_EQ(skipped, 3u);
  // An overlong field in a quoted run: quotes do not count, so this word has 5119 units.
  const auto quoted = Parse(u"\"" + max + u"\"");
  ASSERT_EQ(quoted.size(), 1u);
}

TEST(WordListParser, OddTrailingByteAndEmptyText) {
  Bytes bytes = Utf16(u"ab");
  bytes.push_back(0x41);
  WordListParser parser(bytes.data(), bytes.size());
  WordListEntry e;
  ASSERT_TRUE(parser.Next(&e));
  EXPECT_EQ(e.key.ToString(), u"ab");
  EXPECT_FALSE(parser.Next(&e));

  const Bytes mark = Utf16(u"");
  EXPECT_TRUE(HasByteOrderMark(mark.data(), mark.size()));
  WordListParser empty(mark.data(), mark.size());
  EXPECT_FALSE(empty.Next(&e));
  const Bytes bare = Utf16(u"cat", false);
  EXPECT_FALSE(HasByteOrderMark(bare.data(), bare.size()));
  EXPECT_FALSE(HasByteOrderMark(bare.data(), 1));
}

}  // namespace
}  // namespace quillet::lexforge

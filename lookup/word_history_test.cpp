#include "lookup/word_history.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

// The last two tokens, oldest first, a sentence start written as "^".
std::u16string Tokens(const WordHistory& h) {
  auto token = [](bool start, const std::u16string& word) { return start ? std::u16string(u"^") : word; };
  if (h.count() < 2) return token(h.lastIsStart(), h.last());
  return token(h.olderIsStart(), h.older()) + u" " + token(h.lastIsStart(), h.last());
}

TEST(WordHistoryTest, TheDocumentsTextGivesTheLastTwoWordsAndSentenceStarts) {
  EXPECT_EQ(Tokens(HistoryFromText(u"", true)), u"^");
  EXPECT_EQ(Tokens(HistoryFromText(u"Hello", true)), u"^ Hello");
  EXPECT_EQ(Tokens(HistoryFromText(u"I think that ", true)), u"think that");
  EXPECT_EQ(Tokens(HistoryFromText(u"It rained. ", true)), u"rained ^");
  EXPECT_EQ(Tokens(HistoryFromText(u"Why?\n  so", true)), u"^ so");
  // Apostrophes and hyphens between letters belong to the word; other marks only separate.
  EXPECT_EQ(Tokens(HistoryFromText(u"don't know-how, (caf\u00e9) ", true)), u"know-how caf\u00e9");
  EXPECT_EQ(Tokens(HistoryFromText(u"a - b", true)), u"a b");
  // A window of text that does not reach the start: the word it cuts into is left out.
  EXPECT_EQ(Tokens(HistoryFromText(u"ething good", false)), u"^ good");
  EXPECT_EQ(Tokens(HistoryFromText(u" very good", false)), u"very good");
}

}  // namespace
}  // namespace quillet

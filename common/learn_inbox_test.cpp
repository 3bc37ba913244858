#include "common/learn_inbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>

#include "common/le.h"

namespace quillet {
namespace {

// "teh" as the block holds it.
constexpr uint8_t kTeh[] = {'t', 0, 'e', 0, 'h', 0};

TEST(LearnInbox, RecordsComeOutInOrderOnceClearedAndAFullAreaRefuses) {
  std::vector<uint8_t> block(64, 0xEE);
  EXPECT_FALSE(AppendLearnEvent(block.data(), block.size(), LearnKind::kWord, u"word")) << "not an inbox yet";
  InitLearnInbox(block.data(), block.size());
  EXPECT_TRUE(AppendLearnEvent(block.data(), block.size(), LearnKind::kWord, u"caf\u00e9"));
  EXPECT_TRUE(AppendLearnEvent(block.data(), block.size(), LearnKind::kSentenceEnd, u""));
  EXPECT_TRUE(AppendLearnEvent(block.data(), block.size(), LearnKind::kForget, u"teh"));
  EXPECT_FALSE(AppendLearnEvent(block.data(), block.size(), LearnKind::kWord, u"")) << "a word needs letters";
  EXPECT_FALSE(AppendLearnEvent(block.data(), block.size(), LearnKind::kWord, std::u16string(41, u'a')));
  // 16 header bytes, then 10 + 2 + 8 bytes of records: 28 bytes are left, a word of 14 units needs 30.
  EXPECT_FALSE(AppendLearnEvent(block.data(), block.size(), LearnKind::kWord, std::u16string(14, u'x')));
  const std::vector<LearnEvent> events = TakeLearnEvents(block.data(), block.size());
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].word, u"caf\u00e9");
  EXPECT_EQ(events[1].kind, LearnKind::kSentenceEnd);
  EXPECT_EQ(events[2].kind, LearnKind::kForget);
  EXPECT_EQ(events[2].word, u"teh");
  EXPECT_TRUE(TakeLearnEvents(block.data(), block.size()).empty()) << "taken once";
  // Nothing of what was written stays readable in the block once taken.
  EXPECT_EQ(std::search(block.begin(), block.end(), std::begin(kTeh), std::end(kTeh)), block.end());
  EXPECT_TRUE(AppendLearnEvent(block.data(), block.size(), LearnKind::kWord, std::u16string(14, u'x')));
}

// A corrected misspelling carries both words, so it may be twice as long as one.
TEST(LearnInbox, AMistakeHoldsTheTypedLettersAndTheWord) {
  std::vector<uint8_t> block(512);
  InitLearnInbox(block.data(), block.size());
  const std::u16string both = std::u16string(40, u'a') + kPairSeparator + std::u16string(40, u'b');
  EXPECT_TRUE(AppendLearnEvent(block.data(), block.size(), LearnKind::kMistake, both));
  EXPECT_FALSE(AppendLearnEvent(block.data(), block.size(), LearnKind::kMistake, both + u"b"));
  EXPECT_FALSE(AppendLearnEvent(block.data(), block.size(), LearnKind::kWord, both));
  const std::vector<LearnEvent> events = TakeLearnEvents(block.data(), block.size());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, LearnKind::kMistake);
  EXPECT_EQ(events[0].word, both);
}

// A file request carries its ticket and a path up to a record's length; a cancel only the ticket.
TEST(LearnInbox, FileRequestsCarryTheirTicket) {
  std::vector<uint8_t> block(1024);
  InitLearnInbox(block.data(), block.size());
  const std::u16string path(kMaxLearnFilePath, u'p');
  EXPECT_TRUE(AppendLearnEvent(block.data(), block.size(), LearnKind::kLearnFile, LearnFileText(0x12345678, path)));
  EXPECT_FALSE(AppendLearnEvent(block.data(), block.size(), LearnKind::kLearnFile, LearnFileText(7, path + u"p")));
  EXPECT_FALSE(AppendLearnEvent(block.data(), block.size(), LearnKind::kCancelFile, u"x")) << "no ticket";
  EXPECT_TRUE(AppendLearnEvent(block.data(), block.size(), LearnKind::kCancelFile, LearnFileText(0xFFFF0001, u"")));
  EXPECT_TRUE(AppendLearnEvent(block.data(), block.size(), LearnKind::kAddWord, u"Quillet"));
  const std::vector<LearnEvent> events = TakeLearnEvents(block.data(), block.size());
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(TicketOf(events[0].word), 0x12345678u);
  EXPECT_EQ(events[0].word.substr(2), path);
  EXPECT_EQ(TicketOf(events[1].word), 0xFFFF0001u);
  EXPECT_EQ(events[2].kind, LearnKind::kAddWord);
}

// Damage stops the reading at the first bad record; nothing outside the block is read.
// A record of a kind a later build writes is passed over; the words after it are still learned.
TEST(LearnInbox, ALaterBuildsRecordIsPassedOver) {
  std::vector<uint8_t> block(128);
  InitLearnInbox(block.data(), block.size());
  ASSERT_TRUE(AppendLearnEvent(block.data(), block.size(), LearnKind::kWord, u"alpha"));
  ASSERT_TRUE(AppendLearnEvent(block.data(), block.size(), LearnKind::kWord, u"xy"));
  ASSERT_TRUE(AppendLearnEvent(block.data(), block.size(), LearnKind::kWord, u"beta"));
  block[16 + 2 + 2 * 5] = 200;  // "xy" becomes a record of an unknown kind
  const std::vector<LearnEvent> events = TakeLearnEvents(block.data(), block.size());
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].word, u"alpha");
  EXPECT_EQ(events[1].word, u"beta");
}

TEST(LearnInbox, DamagedRecordsEndTheReadingAndNothingOutsideIsRead) {
  std::mt19937 random(3);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> block(128);
    InitLearnInbox(block.data(), block.size());
    AppendLearnEvent(block.data(), block.size(), LearnKind::kWord, u"alpha");
    AppendLearnEvent(block.data(), block.size(), LearnKind::kWord, u"beta");
    for (int i = 0; i < 3; ++i) block[8 + random() % (block.size() - 8)] = static_cast<uint8_t>(random());
    const std::vector<LearnEvent> events = TakeLearnEvents(block.data(), block.size());
    EXPECT_LE(events.size(), 60u);
    for (const LearnEvent& e : events) {
      EXPECT_LE(e.word.size(), e.kind == LearnKind::kLearnFile ? 2 + kMaxLearnFilePath
                               : e.kind == LearnKind::kMistake ? kMaxMistakeLength
                                                               : kMaxLearnedLength);
    }
  }
}

}  // namespace
}  // namespace quillet

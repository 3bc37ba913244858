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

// Damage stops the reading at the first bad record; nothing outside the block is read.
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
    for (const LearnEvent& e : events) EXPECT_LE(e.word.size(), 40u);
  }
}

}  // namespace
}  // namespace quillet

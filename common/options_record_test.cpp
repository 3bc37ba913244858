#include "common/options_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace quillet {
namespace {

constexpr TabOptions kFrequentWithNext{CandidateOrder::kFrequent, true};
constexpr TabOptions kLearning{CandidateOrder::kLearning, false};

TEST(TabOptionsTest, EntriesAreFoundByTabIdAndDefaultsDropThem) {
  std::vector<uint8_t> r = DefaultOptionsRecord();
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), 0), TabOptions{});
  ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), 3, kFrequentWithNext));
  ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), -2, kLearning));
  ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), 7, kLearning));
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), 3), kFrequentWithNext);
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), -2), kLearning);
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), 4), TabOptions{});
  // Writing the defaults drops the entry; the others stay where they are found.
  ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), 3, TabOptions{}));
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), 3), TabOptions{});
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), 7), kLearning);
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), -2), kLearning);
  EXPECT_EQ(r[6], 2u) << "two entries left";
  // Replacing keeps one entry.
  ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), 7, kFrequentWithNext));
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), 7), kFrequentWithNext);
  EXPECT_EQ(r[6], 2u);
}

TEST(TabOptionsTest, AFullRecordRefusesANewTabAndChangesNothing) {
  std::vector<uint8_t> r = DefaultOptionsRecord();
  for (size_t i = 0; i < kTabEntriesCapacity; ++i) {
    ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), static_cast<int16_t>(i), kLearning));
  }
  const std::vector<uint8_t> full = r;
  EXPECT_FALSE(WriteTabOptions(r.data(), r.size(), 1000, kLearning));
  EXPECT_EQ(r, full);
  EXPECT_TRUE(WriteTabOptions(r.data(), r.size(), 5, kFrequentWithNext)) << "an existing tab still changes";
}

// A record from elsewhere may name a tab twice: a write replaces both (the fuzz target found a write
// of the defaults that left the second in force).
TEST(TabOptionsTest, ATabNamedTwiceIsWrittenOnce) {
  std::vector<uint8_t> r = DefaultOptionsRecord();
  ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), 1, kLearning));
  ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), 2, kLearning));
  r[20] = 1;  // the second entry's id becomes 1 as well
  r[21] = 0;
  ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), 1, TabOptions{}));
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), 1), TabOptions{});
  ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), 1, kFrequentWithNext));
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), 1), kFrequentWithNext);
  EXPECT_EQ(r[6], 1u);
}

// Forgiveness is bit 1 of an entry's flags, in records of the same version: an entry that only
// forgives is kept, and a record written before the bit existed (bytes as that build wrote them)
// reads as exact spelling, whatever else its flags say.
TEST(TabOptionsTest, ForgivenessIsItsOwnFlagBitAndOlderEntriesReadAsExact) {
  std::vector<uint8_t> r = DefaultOptionsRecord();
  ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), 5, {CandidateOrder::kDictionary, false, true}));
  ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), 6, {CandidateOrder::kLearning, true, true}));
  EXPECT_EQ(r[6], 2u) << "an entry that only forgives is not the defaults";
  EXPECT_EQ(r[16 + 3], 0x02u);
  EXPECT_EQ(r[20 + 3], 0x03u) << "next words stays bit 0, where older builds read it";
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), 5), (TabOptions{CandidateOrder::kDictionary, false, true}));
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), 6), (TabOptions{CandidateOrder::kLearning, true, true}));
  ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), 6, kLearning));
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), 6), kLearning) << "the bit clears again";

  const uint8_t older[24] = {'Q', 'L', 'T', 'O', 1, 0, 2, 0, 0, 0,
                             0,   0,   0,   0,   0, 0, 3, 0, 1, 0x01,  // tab 3: most likely first, next words
                             4,   0,   2,   0xF1};  // tab 4: learning, next words, bits of a later build
  std::vector<uint8_t> old(kOptionsRecordSize, 0);
  std::memcpy(old.data(), older, sizeof(older));
  EXPECT_EQ(ReadTabOptions(old.data(), old.size(), 3), kFrequentWithNext);
  EXPECT_EQ(ReadTabOptions(old.data(), old.size(), 4), (TabOptions{CandidateOrder::kLearning, true, false}));
}

// The settings for every tab sit in the header, apart from the entries and from each other: the pause in
// byte 8, the toggle key in byte 9, which older records hold as zero (a lone Shift, as before).
TEST(TabOptionsTest, ThePauseAndTheToggleKeyLeaveEachOtherAndTheEntriesAlone) {
  std::vector<uint8_t> r = DefaultOptionsRecord();
  EXPECT_EQ(ReadToggleKey(r.data(), r.size()), ToggleKey::kShift);
  ASSERT_TRUE(WriteTabOptions(r.data(), r.size(), 4, kLearning));
  ASSERT_TRUE(SetToggleKey(r.data(), r.size(), ToggleKey::kCtrlSpace));
  ASSERT_TRUE(SetLearningPaused(r.data(), r.size(), true));
  EXPECT_EQ(r[9], 1u);
  EXPECT_EQ(ReadToggleKey(r.data(), r.size()), ToggleKey::kCtrlSpace);
  ASSERT_TRUE(SetToggleKey(r.data(), r.size(), ToggleKey::kNone));
  ASSERT_TRUE(SetLearningPaused(r.data(), r.size(), false));
  EXPECT_EQ(ReadToggleKey(r.data(), r.size()), ToggleKey::kNone);
  ASSERT_TRUE(SetLearningPaused(r.data(), r.size(), true));
  EXPECT_TRUE(LearningPaused(r.data(), r.size()));
  EXPECT_EQ(ReadTabOptions(r.data(), r.size(), 4), kLearning);
  EXPECT_TRUE(ValidOptionsRecord(r.data(), r.size()));

  r[9] = 7;  // from a later build
  EXPECT_EQ(ReadToggleKey(r.data(), r.size()), ToggleKey::kShift);
  r[9] = 1;
  r[0] = 'X';
  EXPECT_EQ(ReadToggleKey(r.data(), r.size()), ToggleKey::kShift) << "not a record";
  ASSERT_TRUE(SetToggleKey(r.data(), r.size(), ToggleKey::kCtrlSpace));
  EXPECT_EQ(r, [] {
    std::vector<uint8_t> expected = DefaultOptionsRecord();
    expected[9] = 1;
    return expected;
  }()) << "a record not of the shape starts empty";
  std::vector<uint8_t> shortRecord(kOptionsRecordSize - 1, 0);
  EXPECT_FALSE(SetToggleKey(shortRecord.data(), shortRecord.size(), ToggleKey::kNone));
  EXPECT_EQ(ReadToggleKey(nullptr, 0), ToggleKey::kShift);
}

// The two speech options are bits 1 and 2 of the flags byte beside the pause: each keeps the others,
// a record from before them reads both off, and bits a later build sets are ignored and kept.
TEST(TabOptionsTest, SpeechOptionsShareTheFlagsByteWithThePause) {
  std::vector<uint8_t> r = DefaultOptionsRecord();
  EXPECT_EQ(ReadSpeechOptions(r.data(), r.size()), SpeechOptions{});
  ASSERT_TRUE(SetLearningPaused(r.data(), r.size(), true));
  ASSERT_TRUE(SetSpeechOptions(r.data(), r.size(), {true, false}));
  EXPECT_EQ(r[8], 0x03u);
  ASSERT_TRUE(SetSpeechOptions(r.data(), r.size(), {true, true}));
  EXPECT_EQ(r[8], 0x07u);
  ASSERT_TRUE(SetLearningPaused(r.data(), r.size(), false));
  EXPECT_EQ(ReadSpeechOptions(r.data(), r.size()), (SpeechOptions{true, true}));
  ASSERT_TRUE(SetSpeechOptions(r.data(), r.size(), {false, true}));
  EXPECT_EQ(r[8], 0x04u);

  r[8] = 0x80;  // a later build's bit
  EXPECT_EQ(ReadSpeechOptions(r.data(), r.size()), SpeechOptions{});
  EXPECT_FALSE(LearningPaused(r.data(), r.size()));
  ASSERT_TRUE(SetSpeechOptions(r.data(), r.size(), {true, false}));
  EXPECT_EQ(r[8], 0x82u);
  r[0] = 'X';
  EXPECT_EQ(ReadSpeechOptions(r.data(), r.size()), SpeechOptions{}) << "not a record";
  std::vector<uint8_t> shortRecord(kOptionsRecordSize - 1, 0xFF);
  EXPECT_FALSE(SetSpeechOptions(shortRecord.data(), shortRecord.size(), {true, true}));
}

// Whatever the bytes, reading stays inside the record and gives known options; writing makes a
// record of the right shape that reads back what was written.
TEST(TabOptionsTest, AnyBytesReadAsKnownOptionsAndWritingMakesThemValid) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> r = DefaultOptionsRecord();
    const int kind = round % 4;
    if (kind == 0) {
      for (uint8_t& b : r) b = static_cast<uint8_t>(random());
    } else {
      for (int i = 0; i < 8; ++i) r[random() % r.size()] = static_cast<uint8_t>(random());
      if (kind == 1) r[6] = static_cast<uint8_t>(random()), r[7] = 0;
    }
    const int16_t id = static_cast<int16_t>(random() % 12);
    const TabOptions read = ReadTabOptions(r.data(), r.size(), id);
    EXPECT_LE(static_cast<int>(read.order), 2);
    EXPECT_LE(static_cast<int>(ReadToggleKey(r.data(), r.size())), 2);
    if (!ValidOptionsRecord(r.data(), r.size())) {
      EXPECT_EQ(read, TabOptions{});
    }
    if (WriteTabOptions(r.data(), r.size(), id, kFrequentWithNext)) {
      EXPECT_TRUE(ValidOptionsRecord(r.data(), r.size()));
      EXPECT_EQ(ReadTabOptions(r.data(), r.size(), id), kFrequentWithNext);
    }
  }
  std::vector<uint8_t> shortRecord(kOptionsRecordSize - 1, 0);
  EXPECT_FALSE(WriteTabOptions(shortRecord.data(), shortRecord.size(), 0, kLearning));
  EXPECT_EQ(ReadTabOptions(nullptr, 0, 0), TabOptions{});
}

}  // namespace
}  // namespace quillet

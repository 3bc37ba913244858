#include "quillsvc/settings/general_page_model.h"

#include <gtest/gtest.h>

#include "common/options_record.h"

namespace quillet::settings {
namespace {

// The toggle key is chosen in the sheet's copy of the options, leaving the pause and the tabs'
// entries as they were; only a real change marks the page for Apply.
TEST(GeneralPageModelTest, TheToggleKeyIsChosenInTheOptionsCopy) {
  std::vector<uint8_t> options = DefaultOptionsRecord();
  ASSERT_TRUE(WriteTabOptions(options.data(), options.size(), 3, {CandidateOrder::kFrequent, true}));
  ASSERT_TRUE(SetLearningPaused(options.data(), options.size(), true));
  GeneralPageModel page(&options);
  EXPECT_EQ(page.toggleKeyChoice(), 0);
  EXPECT_FALSE(page.ChooseToggleKey(0));
  EXPECT_FALSE(page.Apply().commit) << "choosing what was chosen changes nothing";

  ASSERT_TRUE(page.ChooseToggleKey(1));
  EXPECT_EQ(ReadToggleKey(options.data(), options.size()), ToggleKey::kCtrlSpace);
  EXPECT_EQ(page.toggleKeyChoice(), 1);
  EXPECT_TRUE(LearningPaused(options.data(), options.size()));
  EXPECT_EQ(ReadTabOptions(options.data(), options.size(), 3), (TabOptions{CandidateOrder::kFrequent, true}));
  EXPECT_TRUE(page.Apply().commit);
  EXPECT_FALSE(page.Apply().commit);

  ASSERT_TRUE(page.ChooseToggleKey(2));
  EXPECT_EQ(ReadToggleKey(options.data(), options.size()), ToggleKey::kNone);
  ASSERT_TRUE(page.ChooseToggleKey(-1)) << "no selection: a lone Shift";
  EXPECT_EQ(ReadToggleKey(options.data(), options.size()), ToggleKey::kShift);
  ASSERT_TRUE(page.ChooseToggleKey(2));
  ASSERT_TRUE(page.ChooseToggleKey(3));
  EXPECT_EQ(page.toggleKeyChoice(), 0);

  // Without the options block (an older loader) there is nothing to choose in.
  GeneralPageModel without(nullptr);
  EXPECT_EQ(without.toggleKeyChoice(), 0);
  EXPECT_FALSE(without.ChooseToggleKey(1));
  EXPECT_FALSE(without.Apply().commit);
}

// The speech boxes write their two bits of the copy, leaving the toggle key and the pause; the
// screen-reader choice is offered only while speaking is on.
TEST(GeneralPageModelTest, TheSpeechChoicesAreKeptInTheOptionsCopy) {
  std::vector<uint8_t> options = DefaultOptionsRecord();
  ASSERT_TRUE(SetToggleKey(options.data(), options.size(), ToggleKey::kCtrlSpace));
  ASSERT_TRUE(SetLearningPaused(options.data(), options.size(), true));
  GeneralPageModel page(&options);
  EXPECT_FALSE(page.speak());
  EXPECT_FALSE(page.screenReaderChoiceEnabled());
  EXPECT_FALSE(page.SetSpeak(false));
  EXPECT_FALSE(page.Apply().commit);

  ASSERT_TRUE(page.SetSpeak(true));
  EXPECT_TRUE(page.screenReaderChoiceEnabled());
  ASSERT_TRUE(page.SetSpeakWithScreenReader(true));
  EXPECT_EQ(ReadSpeechOptions(options.data(), options.size()), (SpeechOptions{true, true}));
  EXPECT_EQ(ReadToggleKey(options.data(), options.size()), ToggleKey::kCtrlSpace);
  EXPECT_TRUE(LearningPaused(options.data(), options.size()));
  EXPECT_TRUE(page.Apply().commit);
  ASSERT_TRUE(page.SetSpeak(false));
  EXPECT_TRUE(page.speakWithScreenReader()) << "kept for when speaking is on again";
  EXPECT_FALSE(page.screenReaderChoiceEnabled());
  EXPECT_TRUE(page.Apply().commit);

  GeneralPageModel without(nullptr);
  EXPECT_FALSE(without.SetSpeak(true));
  EXPECT_FALSE(without.speak());
}

}  // namespace
}  // namespace quillet::settings

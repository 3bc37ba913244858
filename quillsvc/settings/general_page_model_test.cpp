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

}  // namespace
}  // namespace quillet::settings

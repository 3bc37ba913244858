#include "quillsvc/settings/learning_page_model.h"

#include <gtest/gtest.h>

#include "common/options_record.h"

namespace quillet::settings {
namespace {

// The toggle key is chosen in the sheet's copy of the options, beside the pause and the tabs'
// entries; only a real change marks the page for Apply.
TEST(LearningPageModelTest, TheToggleKeyIsChosenInTheOptionsCopy) {
  std::vector<uint8_t> options = DefaultOptionsRecord();
  ASSERT_TRUE(WriteTabOptions(options.data(), options.size(), 3, {CandidateOrder::kFrequent, true}));
  ASSERT_TRUE(SetLearningPaused(options.data(), options.size(), true));
  SettingsSession::LearningEdits edits;
  LearningPageModel page({}, &options, &edits);
  EXPECT_EQ(
      LearningPageModel::ToggleKeyChoices(),
      (std::vector<std::u16string>{u"Shift pressed alone", u"Ctrl+Space", u"No key (the language bar button only)"}));
  EXPECT_EQ(page.toggleKeyChoice(), 0);
  EXPECT_FALSE(page.ChooseToggleKey(0));
  EXPECT_FALSE(page.Apply().commit) << "choosing what was chosen changes nothing";

  ASSERT_TRUE(page.ChooseToggleKey(1));
  EXPECT_EQ(ReadToggleKey(options.data(), options.size()), ToggleKey::kCtrlSpace);
  EXPECT_EQ(page.toggleKeyChoice(), 1);
  EXPECT_TRUE(page.paused());
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
  LearningPageModel without({}, nullptr, &edits);
  EXPECT_EQ(without.toggleKeyChoice(), 0);
  EXPECT_FALSE(without.ChooseToggleKey(1));
  EXPECT_FALSE(without.Apply().commit);
}

}  // namespace
}  // namespace quillet::settings

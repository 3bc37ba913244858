#include "quillsvc/candwin/widget_manager.h"

#include <gtest/gtest.h>

#include "quillsvc/candwin/test_surface.h"

namespace quillet {
namespace {

using testing::Call;
using testing::Op;
using testing::TestSurface;

// Fonts of the test factory are 16 pixels by default: 8 per character, 20 per line. The number
// column is 80 / 3 wide.
constexpr float kNumbers = 80.0f / 3;

class WidgetManagerTest : public ::testing::Test {
 protected:
  WidgetManagerTest() : record_(MakeDefaultSettings()) {}

  SettingsView Settings() { return record_.view(); }
  void Show(AppearanceElement e, bool shown) { Settings().SetVisible(e, shown); }
  bool Build(int32_t activeTab = 0) {
    const bool built = manager_.Build(record_.view(), activeTab);
    manager_.maxWidth = 200;
    manager_.maxHeight = 400;
    return built;
  }
  void Rows(size_t n, std::u16string_view text = u"word") {
    manager_.candidateList->RemoveAll();
    for (size_t i = 0; i < n; ++i) manager_.candidateList->Append(text);
  }
  void AddTabs(std::initializer_list<std::u16string_view> names) {
    for (std::u16string_view n : names) {
      ASSERT_TRUE(AddTab(Settings()));
      Settings().tab(Settings().tabCount() - 1).SetName(n);
    }
  }
  bool Hit(PointF p, AppearanceElement* e, int32_t* i) { return manager_.HitTest(p, e, i); }

  SettingsRecord record_;
  testing::TestFontFactory fonts_;
  CWidgetMgrTopLayout manager_{fonts_};
  TestSurface surface_;
};

TEST_F(WidgetManagerTest, TheTabStripAloneIsAHundredPixelsWide) {
  ASSERT_TRUE(Build());
  EXPECT_EQ(manager_.Layout(surface_), (SizeI{100, 28}));
  EXPECT_FLOAT_EQ(manager_.tabStrip->bounds.width, 91);
  Show(AppearanceElement::kTab, false);
  ASSERT_TRUE(Build());
  EXPECT_EQ(manager_.Layout(surface_), (SizeI{8, 4}));
}

TEST_F(WidgetManagerTest, TenCandidatesBringTheVerticalSpinBoxOverTheListsRightEnd) {
  ASSERT_TRUE(Build());
  Rows(9);
  const SizeI nine = manager_.Layout(surface_);
  EXPECT_FALSE(manager_.vScrollBar->visible);
  EXPECT_EQ(nine.height, 4 + 20 + 4 + 182 + 4);

  Rows(10, u"twelve chars");
  const SizeI ten = manager_.Layout(surface_);
  const CVSpinBox& v = *manager_.vScrollBar;
  ASSERT_TRUE(v.visible);
  EXPECT_FLOAT_EQ(v.bounds.width, 20);  // as wide as the tab strip is high
  EXPECT_FLOAT_EQ(v.bounds.height, 32);
  EXPECT_EQ(ten.width, static_cast<int32_t>(kNumbers + 96 + 8 + 20 + 4));
  const RectF& list = manager_.candidateList->bounds;
  EXPECT_FLOAT_EQ(v.bounds.x, list.right() - 24);
  // Beside the widest row, not over its last letters.
  EXPECT_GE(v.bounds.x + 0.01f, list.x + kNumbers + 96 - 1);
  EXPECT_FLOAT_EQ(v.bounds.y, list.y + (list.height - 32) / 2);

  Show(AppearanceElement::kTab, false);
  ASSERT_TRUE(Build());
  Rows(10);
  manager_.Layout(surface_);
  EXPECT_FLOAT_EQ(manager_.vScrollBar->bounds.width, 18);
  EXPECT_FLOAT_EQ(manager_.vScrollBar->bounds.height, 40);

  // Switched off in the settings: never shown.
  Show(AppearanceElement::kVScrollBar, false);
  ASSERT_TRUE(Build());
  Rows(10);
  manager_.Layout(surface_);
  EXPECT_FALSE(manager_.vScrollBar->visible);
}

TEST_F(WidgetManagerTest, OnlyTwoOrMoreTabsThatDoNotFitBringTheHorizontalSpinBox) {
  Settings().tab(0).SetName(u"a very long tab name");
  ASSERT_TRUE(Build());
  manager_.Layout(surface_);
  EXPECT_FALSE(manager_.hScrollBar->visible);
  EXPECT_FLOAT_EQ(manager_.hScrollBar->bounds.width, 0);

  AddTabs({u"second", u"third"});
  ASSERT_TRUE(Build());
  EXPECT_EQ(manager_.Layout(surface_).width, 100);
  const CHSpinBox& h = *manager_.hScrollBar;
  ASSERT_TRUE(h.visible);
  EXPECT_FLOAT_EQ(h.bounds.height, 20);
  EXPECT_FLOAT_EQ(h.bounds.width, 32);
  EXPECT_FLOAT_EQ(manager_.tabStrip->bounds.width, 100 - 8 - 32 - 2);
  EXPECT_FLOAT_EQ(h.bounds.x, manager_.tabStrip->bounds.right() + 1);
  EXPECT_FLOAT_EQ(h.bounds.y, 4);
}

TEST_F(WidgetManagerTest, SmallCapsMeanFiveHundredAndTheTextServicesCapHolds) {
  ASSERT_TRUE(Build());
  Rows(3, std::u16string(70, u'w'));  // 560 pixels of text
  for (int32_t cap : {0, 50}) {
    manager_.maxWidth = cap;
    EXPECT_EQ(manager_.Layout(surface_).width, 500) << cap;
  }
  manager_.maxWidth = 200;
  EXPECT_EQ(manager_.Layout(surface_).width, 200);
  EXPECT_FLOAT_EQ(manager_.candidateList->bounds.width, 191);
  manager_.maxHeight = 60;
  EXPECT_EQ(manager_.Layout(surface_).height, 60);
  // Lower bounds widen and heighten short content.
  manager_.maxHeight = 400;
  manager_.minWidth = 150;
  manager_.minHeight = 80;
  Rows(1);
  EXPECT_EQ(manager_.Layout(surface_), (SizeI{150, 80}));
}

TEST_F(WidgetManagerTest, AnEmptyTitleLeavesNoGapAndAnAdditionNeedsCandidates) {
  ASSERT_TRUE(Build());
  manager_.additionBar->text = u"a description";
  const SizeI empty = manager_.Layout(surface_);
  EXPECT_EQ(empty.height, 28);  // neither the list nor the addition bar
  Rows(2);
  manager_.Layout(surface_);
  EXPECT_FLOAT_EQ(manager_.candidateList->bounds.y, 28);
  EXPECT_FLOAT_EQ(manager_.additionBar->bounds.y, 28 + 42 + 4);

  Settings().tab(0).SetTitle(u"Title");
  ASSERT_TRUE(Build());
  Rows(2);
  manager_.Layout(surface_);
  EXPECT_FLOAT_EQ(manager_.titleBar->bounds.y, 28);
  EXPECT_FLOAT_EQ(manager_.candidateList->bounds.y, 52);
  // Labels span the window's inner width.
  EXPECT_FLOAT_EQ(manager_.titleBar->bounds.width, 100 - 9);
}

TEST_F(WidgetManagerTest, AFailedStepCostsOnlyTheNextWidget) {
  Settings().tab(0).SetTitle(u"Title");
  ASSERT_TRUE(Build());
  Rows(2);
  manager_.additionBar->text = u"described";
  manager_.Layout(surface_);
  const Argb titleBackground = Settings().tab(0).colors(AppearanceElement::kTitleBar).background;
  surface_.log().calls.clear();
  surface_.log().failIf = [&](const Call& c) { return c.op == Op::kFillRect && c.color == titleBackground; };
  manager_.DrawAll(surface_, Settings(), nullptr);
  EXPECT_EQ(surface_.log().Texts(u"Title").size(), 1u);  // the title itself goes on after its failure
  EXPECT_TRUE(surface_.log().Texts(u"described").empty());
  EXPECT_EQ(surface_.log().Texts(u"word").size(), 2u);
  EXPECT_EQ(surface_.status(), DrawStatus::kOk);  // taken before the list
}

TEST_F(WidgetManagerTest, TheTabStripIsClippedToItsBoxAndTheClipRestored) {
  AddTabs({u"second"});
  ASSERT_TRUE(Build());
  Rows(1);
  manager_.Layout(surface_);
  manager_.DrawAll(surface_, Settings(), nullptr);
  const RectF& strip = manager_.tabStrip->bounds;
  for (const Call& c : surface_.log().Of(Op::kPath)) {
    ASSERT_TRUE(c.clip.has_value());
    EXPECT_FLOAT_EQ(c.clip->width, strip.width + 1);
    EXPECT_FLOAT_EQ(c.clip->height, strip.height + 1);
  }
  for (const Call& c : surface_.log().Texts(u"word")) EXPECT_FALSE(c.clip.has_value());
  EXPECT_FALSE(surface_.clip().has_value());

  // A strip whose tabs all fit is drawn as it is: nothing of it reaches out.
  Settings().tab(1).SetName(u"2");
  ASSERT_TRUE(Build());
  Rows(1, u"a long word to widen the window");
  manager_.Layout(surface_);
  ASSERT_TRUE(manager_.tabStrip->TabsInside());
  surface_.log().calls.clear();
  manager_.DrawAll(surface_, Settings(), nullptr);
  EXPECT_TRUE(surface_.log().Of(Op::kPushClip).empty());
  EXPECT_EQ(surface_.log().Of(Op::kPath).size(), 2u);

  // A clip that cannot be saved is not narrowed, and the strip is still drawn.
  Settings().tab(1).SetName(u"second");
  ASSERT_TRUE(Build());
  Rows(1);
  manager_.Layout(surface_);
  surface_.log().calls.clear();
  surface_.log().failIf = [](const Call& c) { return c.op == Op::kPushClip; };
  manager_.DrawAll(surface_, Settings(), nullptr);
  EXPECT_TRUE(surface_.log().Of(Op::kPopClip).empty());
  EXPECT_EQ(surface_.log().Of(Op::kPath).size(), 2u);
  EXPECT_FALSE(surface_.clip().has_value());
}

TEST_F(WidgetManagerTest, WidgetsUseTheActiveTabsColours) {
  AddTabs({u"second"});
  const ElementColors list{0xFF111111, 0xFF222222, 0xFF333333, 0, 0, 0};
  Settings().tab(1).SetColors(AppearanceElement::kCandidateList, list);
  ASSERT_TRUE(Build(1));
  Rows(2);
  manager_.Layout(surface_);
  manager_.DrawAll(surface_, Settings(), nullptr);
  const auto rows = surface_.log().Texts(u"word");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].color, list.highlightForeground);
  EXPECT_EQ(rows[1].color, list.foreground);
}

TEST_F(WidgetManagerTest, FontsComeFromTheSettingsWithTheirDefaults) {
  Settings().SetFontName(AppearanceElement::kCandidateList, u"");
  Settings().SetFontSize(AppearanceElement::kTitleBar, 0);
  ASSERT_TRUE(Build());
  EXPECT_EQ(fonts_.requested.at(1), u"Times New Roman");
  const auto* title = static_cast<const testing::TestFont*>(manager_.font(AppearanceElement::kTitleBar));
  EXPECT_FLOAT_EQ(title->sizePx, 6);
}

TEST_F(WidgetManagerTest, AFontThatCannotBeMadeLeavesNothingToLayOutDrawOrHit) {
  for (bool failed : {true, false}) {
    Settings().SetFontName(AppearanceElement::kAdditionBar, u"Broken");
    fonts_.failedFamilies.clear();
    fonts_.missingFamilies.clear();
    (failed ? fonts_.failedFamilies : fonts_.missingFamilies).insert(u"Broken");
    EXPECT_FALSE(Build());
    EXPECT_EQ(manager_.candidateList, nullptr);
    EXPECT_EQ(manager_.Layout(surface_), (SizeI{0, 0}));
    manager_.DrawAll(surface_, Settings(), nullptr);
    AppearanceElement e;
    int32_t i;
    EXPECT_FALSE(Hit({10, 10}, &e, &i));
  }
  EXPECT_TRUE(surface_.log().calls.empty());
}

TEST_F(WidgetManagerTest, BuildTakesTabsNamesAndTheActiveTabsTitle) {
  AddTabs({u"second", u"third"});
  Settings().tab(2).SetTitle(u"Third title");
  ASSERT_TRUE(Build(2));
  EXPECT_EQ(manager_.tabStrip->TabCount(), 3u);
  EXPECT_EQ(manager_.tabStrip->Tab(1).caption, u"second");
  EXPECT_EQ(manager_.tabStrip->activeTab, 2);
  EXPECT_EQ(manager_.titleBar->text, u"Third title");
  ASSERT_TRUE(Build(7));  // out of range: the first tab
  EXPECT_EQ(manager_.tabStrip->activeTab, 0);
  EXPECT_EQ(manager_.tabStrip->TabCount(), 3u);  // built anew, not appended

  Settings().SetTabCount(0);
  ASSERT_TRUE(Build());
  manager_.Layout(surface_);
  ASSERT_EQ(manager_.tabStrip->TabCount(), 1u);
  EXPECT_EQ(manager_.tabStrip->Tab(0).caption, u"Tab1");
}

TEST_F(WidgetManagerTest, HitsFollowThePrecedenceOfWhatLiesOnTop) {
  AddTabs({u"second"});
  Settings().tab(0).SetTitle(u"Title");
  ASSERT_TRUE(Build());
  Rows(10);
  manager_.additionBar->text = u"described";
  manager_.Layout(surface_);
  AppearanceElement e;
  int32_t i;
  const RectF& v = manager_.vScrollBar->bounds;
  ASSERT_TRUE(Hit({v.x + 1, v.y + 1}, &e, &i));
  EXPECT_EQ(e, AppearanceElement::kVScrollBar);
  EXPECT_EQ(i, 0);
  const RectF& list = manager_.candidateList->bounds;
  ASSERT_TRUE(Hit({list.x + 1, list.y + 20 * 3 + 1}, &e, &i));
  EXPECT_EQ(e, AppearanceElement::kCandidateList);
  EXPECT_EQ(i, 3);
  ASSERT_TRUE(Hit({20, 30}, &e, &i));
  EXPECT_EQ(e, AppearanceElement::kTitleBar);
  const RectF& addition = manager_.additionBar->bounds;
  ASSERT_TRUE(Hit({addition.x + 1, addition.y + 1}, &e, &i));
  EXPECT_EQ(e, AppearanceElement::kAdditionBar);
  ASSERT_TRUE(Hit({30, 14}, &e, &i));
  EXPECT_EQ(e, AppearanceElement::kTab);
  EXPECT_EQ(i, 0);
  EXPECT_FALSE(Hit({1, 1}, &e, &i));
  // The list's two pixels of bottom padding lie below its last row: no row there.
  EXPECT_FALSE(Hit({list.x + 1, list.bottom() - 1}, &e, &i));
}

}  // namespace
}  // namespace quillet

#include "quillsvc/settings/appearance_page_model.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/appearance_templates.h"

namespace quillet::settings {
namespace {

const std::vector<std::u16string> kFonts{u"Arial", u"Courier New", u"Times New Roman", u"Verdana"};

SettingsRecord ThreeTabs() {
  SettingsRecord r;
  SettingsView s = r.view();
  AddDictionary(s, u"a.dict");
  for (int i = 0; i < 3; ++i) AddTab(s);
  for (size_t e = 0; e < kVisibleFlagCount; ++e) s.SetVisible(static_cast<AppearanceElement>(e), true);
  return r;
}

TEST(AppearancePage, TheWindowShowsItsGradientAndAngleAndNothingElse) {
  SettingsRecord r = ThreeTabs();
  AppearancePageModel page(r.view());
  const std::optional<ElementControls> c = page.Load(0, AppearanceElement::kWindow, kFonts);
  ASSERT_TRUE(c);
  EXPECT_TRUE(c->window);
  EXPECT_EQ(c->colors[0].colorRef, 0x00002AA5u);  // template1's gradient start 00A52A00, red first
  EXPECT_FALSE(c->highlightEnabled);
  EXPECT_FALSE(c->fontEnabled);
  EXPECT_FALSE(c->visibleEnabled);
  EXPECT_FALSE(c->visible);

  const std::optional<ElementControls> tab = page.Load(0, AppearanceElement::kTab, kFonts);
  EXPECT_FALSE(tab->window);
  EXPECT_TRUE(tab->highlightEnabled);
  EXPECT_TRUE(tab->fontEnabled);
  EXPECT_TRUE(tab->visible);
  EXPECT_FALSE(page.Load(0, AppearanceElement::kTitleBar, kFonts)->highlightEnabled);
  EXPECT_FALSE(page.Load(0, AppearanceElement::kHScrollBar, kFonts)->fontEnabled);
  EXPECT_FALSE(page.Load(3, AppearanceElement::kTab, kFonts));
}

TEST(AppearancePage, AlphaShowsAsARoundedDownPercentage) {
  EXPECT_EQ(AlphaPercentText(179), u"70%");
  EXPECT_EQ(AlphaPercentText(255), u"100%");
}

TEST(AppearancePage, StoringTakesColoursWithTheirAlphaAndMarksOnlyRealChanges) {
  SettingsRecord r = ThreeTabs();
  AppearancePageModel page(r.view());
  ElementControls c = *page.Load(1, AppearanceElement::kCandidateList, kFonts);
  EXPECT_FALSE(page.Store(1, AppearanceElement::kCandidateList, c, kFonts));
  EXPECT_FALSE(page.changed());

  c.colors[0] = {0x00FF0000, 0};       // blue, fully transparent
  c.highlight[2] = {0xFF000000, 128};  // "Automatic" arrives as black
  EXPECT_TRUE(page.Store(1, AppearanceElement::kCandidateList, c, kFonts));
  const ElementColors stored = r.view().tab(1).colors(AppearanceElement::kCandidateList);
  EXPECT_EQ(stored.foreground, 0x000000FFu);
  EXPECT_EQ(stored.highlightBorder, 0x80000000u);
  EXPECT_TRUE(page.changed());
  EXPECT_EQ(r.view().tab(0).appearance(), TemplateColors(0));
}

TEST(AppearancePage, AnglesAboveTheRangeShowAndStoreAs359) {
  SettingsRecord r = ThreeTabs();
  ElementColors w = r.view().tab(0).colors(AppearanceElement::kWindow);
  w.highlightForeground = 400;
  w.foreground = 0xFF123456;  // alpha of window colours is not used; it is stored as 0
  r.view().tab(0).SetColors(AppearanceElement::kWindow, w);
  AppearancePageModel page(r.view());
  ElementControls c = *page.Load(0, AppearanceElement::kWindow, kFonts);
  EXPECT_EQ(c.angle, 359);
  EXPECT_TRUE(page.Store(0, AppearanceElement::kWindow, c, kFonts));
  w = r.view().tab(0).colors(AppearanceElement::kWindow);
  EXPECT_EQ(GradientAngle(w), 359u);
  EXPECT_EQ(w.foreground, 0x00123456u);
}

// What a template writes is ApplyTemplate's (appearance_templates_test); the page tells a change.
TEST(AppearancePage, ATemplateIsAChangeOnlyWhereItChangesTheColours) {
  SettingsRecord r = ThreeTabs();
  AppearancePageModel page(r.view());
  EXPECT_FALSE(page.ApplyTemplate(1, 0));  // already so
  EXPECT_FALSE(page.changed());
  EXPECT_FALSE(page.ApplyTemplate(1, 5));
  EXPECT_FALSE(page.ApplyTemplate(3, 2));
  ASSERT_TRUE(page.ApplyTemplate(1, 2));
  EXPECT_EQ(r.view().tab(1).appearance(), TemplateColors(2));
  EXPECT_TRUE(page.changed());
}

TEST(AppearancePage, VisibilityAndFontsAreStoredForTheirElements) {
  SettingsRecord r = ThreeTabs();
  AppearancePageModel page(r.view());
  ElementControls c = *page.Load(0, AppearanceElement::kHScrollBar, kFonts);
  c.visible = false;
  EXPECT_TRUE(page.Store(0, AppearanceElement::kHScrollBar, c, kFonts));
  EXPECT_FALSE(r.view().visible(AppearanceElement::kHScrollBar));
  EXPECT_EQ(r.view().fontName(AppearanceElement::kTab), u"Times New Roman");

  c = *page.Load(0, AppearanceElement::kTitleBar, kFonts);
  c.fontChoice = 3;
  c.fontSize = 250;
  EXPECT_TRUE(page.Store(0, AppearanceElement::kTitleBar, c, kFonts));
  EXPECT_EQ(r.view().fontName(AppearanceElement::kTitleBar), u"Verdana");
  EXPECT_EQ(r.view().fontSize(AppearanceElement::kTitleBar), 100);
}

TEST(AppearancePage, MissingFamiliesFallBackWithoutTouchingTheRecord) {
  SettingsRecord r = ThreeTabs();
  SettingsView s = r.view();
  s.SetFontName(AppearanceElement::kTab, u"Gone Sans");
  s.SetFontName(AppearanceElement::kCandidateList, u"");
  s.SetFontName(AppearanceElement::kTitleBar, u"courier new");
  const SettingsRecord before = r;
  AppearancePageModel page(s);
  EXPECT_EQ(page.Load(0, AppearanceElement::kTab, kFonts)->fontChoice, 2);
  EXPECT_EQ(page.Load(0, AppearanceElement::kCandidateList, kFonts)->fontChoice, 2);
  EXPECT_EQ(page.Load(0, AppearanceElement::kTitleBar, kFonts)->fontChoice, 1);
  const std::vector<std::u16string> noTimes{u"DejaVu Sans", u"DejaVu Serif"};
  EXPECT_EQ(page.Load(0, AppearanceElement::kTab, noTimes)->fontChoice, 0);
  EXPECT_EQ(page.Load(0, AppearanceElement::kTab, {})->fontChoice, -1);
  EXPECT_EQ(std::memcmp(r.data(), before.data(), kSettingsRecordSize), 0);
}

TEST(AppearancePage, ThePreviewTabIsRememberedWhileItExists) {
  SettingsRecord r = ThreeTabs();
  AppearancePageModel page(r.view());
  EXPECT_EQ(page.PreviewTab(), 0u);
  page.RememberPreviewTab(2);
  EXPECT_EQ(page.PreviewTab(), 2u);
  page.RememberPreviewTab(-1);
  EXPECT_EQ(page.PreviewTab(), 0u);
  page.RememberPreviewTab(2);
  r.view().SetTabCount(2);  // the Tab page removed the third tab
  EXPECT_EQ(page.PreviewTab(), 0u);
}

}  // namespace
}  // namespace quillet::settings

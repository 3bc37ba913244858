#include "common/appearance_templates.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quillet {
namespace {

TEST(AppearanceTemplates, TableHoldsFiveNamedBlocks) {
  ASSERT_EQ(TemplateCount(), 5u);
  EXPECT_EQ(TemplateName(4), u"template5");
  EXPECT_EQ(TemplateName(5), u"");
  EXPECT_EQ(TemplateBlock(5), nullptr);
  EXPECT_EQ(TemplateColors(5), TabAppearance{});

  // Every angle a gradient can take, and every template its own.
  for (size_t k = 0; k < TemplateCount(); ++k) {
    EXPECT_LT(GradientAngle(TemplateColors(k)[AppearanceElement::kWindow]), 360u) << k;
    for (size_t j = 0; j < k; ++j) EXPECT_NE(TemplateColors(j), TemplateColors(k)) << j << " " << k;
  }
}

TEST(AppearanceTemplates, ApplyingChangesOnlyThatTabsColours) {
  SettingsRecord r;
  SettingsView s = r.view();
  ASSERT_TRUE(AddTab(s));
  ASSERT_TRUE(AddTab(s));
  s.tab(1).SetTitle(u"kept");
  const SettingsRecord fresh = r;
  const size_t begin = kTabsOffset + kTabRecordSize + kTabAppearanceOffset;

  ASSERT_TRUE(ApplyTemplate(s, 1, 1));
  EXPECT_EQ(std::memcmp(r.data(), fresh.data(), begin), 0);
  EXPECT_EQ(std::memcmp(r.data() + begin, TemplateBlock(1), kTabAppearanceSize), 0);
  EXPECT_EQ(std::memcmp(r.data() + begin + kTabAppearanceSize, fresh.data() + begin + kTabAppearanceSize,
                        kSettingsRecordSize - begin - kTabAppearanceSize),
            0);

  // Back to the first template: exactly the colours of a new tab.
  ASSERT_TRUE(ApplyTemplate(s, 1, 0));
  EXPECT_EQ(std::memcmp(r.data(), fresh.data(), kSettingsRecordSize), 0);

  EXPECT_FALSE(ApplyTemplate(s, 2, 0));  // not a valid tab
  EXPECT_FALSE(ApplyTemplate(s, 0, 5));
  EXPECT_EQ(std::memcmp(r.data(), fresh.data(), kSettingsRecordSize), 0);
}

}  // namespace
}  // namespace quillet

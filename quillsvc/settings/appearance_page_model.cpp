#include "quillsvc/settings/appearance_page_model.h"

#include <algorithm>

#include "common/appearance_templates.h"
#include "quillsvc/settings/module_paths.h"
#include "quillsvc/settings/section_snapshot.h"

namespace quillet::settings {
namespace {

ColorSetting FromArgb(Argb c) { return ColorSetting{ColorRefFromArgb(c), ArgbAlpha(c)}; }
Argb ToArgb(const ColorSetting& c) { return ArgbFromColorRef(c.colorRef, c.alpha); }

int FindFont(const std::vector<std::u16string>& fonts, std::u16string_view name) {
  for (size_t i = 0; i < fonts.size(); ++i) {
    if (EqualIgnoringCase(fonts[i], name)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

std::u16string_view AppearanceElementText(AppearanceElement e) {
  switch (e) {
    case AppearanceElement::kTab:
      return u"Tab";
    case AppearanceElement::kCandidateList:
      return u"Candidate List";
    case AppearanceElement::kTitleBar:
      return u"Title bar";
    case AppearanceElement::kAdditionBar:
      return u"Addition bar";
    case AppearanceElement::kHScrollBar:
      return u"H-Scroll bar";
    case AppearanceElement::kVScrollBar:
      return u"V-Scroll bar";
    case AppearanceElement::kWindow:
      return u"Window";
  }
  return u"";
}

bool HasHighlight(AppearanceElement e) {
  return e == AppearanceElement::kTab || e == AppearanceElement::kCandidateList ||
         e == AppearanceElement::kHScrollBar || e == AppearanceElement::kVScrollBar;
}
bool HasFont(AppearanceElement e) { return static_cast<size_t>(e) < kFontCount; }
bool HasVisibleFlag(AppearanceElement e) { return static_cast<size_t>(e) < kVisibleFlagCount; }

std::u16string AlphaPercentText(uint8_t alpha) { return DecimalText(alpha * 100 / 255) + u"%"; }
std::u16string AngleText(int angle) { return DecimalText(angle); }

std::vector<std::u16string> AppearancePageModel::TabNames() const {
  std::vector<std::u16string> names;
  for (size_t i = 0; i < tabCount(); ++i) names.push_back(s_.tab(i).name());
  return names;
}

std::vector<std::u16string> AppearancePageModel::ElementNames() {
  std::vector<std::u16string> names;
  for (size_t e = 0; e < kAppearanceElementCount; ++e) {
    names.emplace_back(AppearanceElementText(static_cast<AppearanceElement>(e)));
  }
  return names;
}

std::vector<std::u16string> AppearancePageModel::TemplateNames() {
  std::vector<std::u16string> names;
  for (size_t k = 0; k < TemplateCount(); ++k) names.emplace_back(TemplateName(k));
  return names;
}

std::optional<ElementControls> AppearancePageModel::Load(size_t tab, AppearanceElement e,
                                                         const std::vector<std::u16string>& fonts) const {
  if (tab >= tabCount() || static_cast<size_t>(e) >= kAppearanceElementCount) return std::nullopt;
  const ElementColors colors = s_.tab(tab).colors(e);
  ElementControls c;
  c.window = e == AppearanceElement::kWindow;
  c.colors[0] = FromArgb(colors.foreground);
  c.colors[1] = FromArgb(colors.background);
  c.colors[2] = FromArgb(colors.border);
  if (c.window) {
    c.angle = static_cast<int>(std::min<uint32_t>(GradientAngle(colors), kMaxAngle));
  }
  c.highlightEnabled = HasHighlight(e);
  if (c.highlightEnabled) {
    c.highlight[0] = FromArgb(colors.highlightForeground);
    c.highlight[1] = FromArgb(colors.highlightBackground);
    c.highlight[2] = FromArgb(colors.highlightBorder);
  }
  c.fontEnabled = HasFont(e);
  if (c.fontEnabled) {
    std::u16string name = s_.fontName(e);
    if (name.empty()) name = std::u16string(kDefaultFontName);
    c.fontChoice = FindFont(fonts, name);
    if (c.fontChoice < 0) c.fontChoice = FindFont(fonts, kDefaultFontName);
    if (c.fontChoice < 0 && !fonts.empty()) c.fontChoice = 0;
    c.fontSize = s_.fontSize(e);
  }
  c.visibleEnabled = HasVisibleFlag(e);
  c.visible = c.visibleEnabled && s_.visible(e);
  return c;
}

bool AppearancePageModel::Store(size_t tab, AppearanceElement e, const ElementControls& c,
                                const std::vector<std::u16string>& fonts) {
  if (tab >= tabCount() || static_cast<size_t>(e) >= kAppearanceElementCount) return false;
  const SectionSnapshot before(s_, kTabsSection);
  const TabRecord t = s_.tab(tab);
  ElementColors colors = t.colors(e);
  if (e == AppearanceElement::kWindow) {
    // The window is drawn opaque whatever its alpha; it is stored as 0.
    colors.foreground = ArgbFromColorRef(c.colors[0].colorRef, 0);
    colors.background = ArgbFromColorRef(c.colors[1].colorRef, 0);
    colors.border = ArgbFromColorRef(c.colors[2].colorRef, 0);
    colors.highlightForeground = static_cast<uint32_t>(std::clamp(c.angle, 0, kMaxAngle));
  } else {
    colors.foreground = ToArgb(c.colors[0]);
    colors.background = ToArgb(c.colors[1]);
    colors.border = ToArgb(c.colors[2]);
    if (HasHighlight(e)) {
      colors.highlightForeground = ToArgb(c.highlight[0]);
      colors.highlightBackground = ToArgb(c.highlight[1]);
      colors.highlightBorder = ToArgb(c.highlight[2]);
    }
    if (HasFont(e) && c.fontChoice >= 0 && static_cast<size_t>(c.fontChoice) < fonts.size()) {
      s_.SetFontName(e, fonts[static_cast<size_t>(c.fontChoice)]);
      s_.SetFontSize(e, static_cast<uint16_t>(std::clamp(c.fontSize, 0, kMaxFontSizeChoice)));
    }
    s_.SetVisible(e, c.visible);
  }
  t.SetColors(e, colors);
  const bool changed = before.Changed();
  changed_ = changed_ || changed;
  return changed;
}

bool AppearancePageModel::ApplyTemplate(size_t tab, size_t k) {
  if (tab >= tabCount()) return false;
  const SectionSnapshot before(s_, kTabsSection);
  if (!quillet::ApplyTemplate(s_, tab, k)) return false;
  const bool changed = before.Changed();
  changed_ = changed_ || changed;
  return changed;
}

size_t AppearancePageModel::PreviewTab() const {
  return previewTab_ >= 0 && static_cast<size_t>(previewTab_) < tabCount() ? static_cast<size_t>(previewTab_) : 0;
}

ApplyDecision AppearancePageModel::Apply() {
  ApplyDecision d;
  d.commit = changed_;
  changed_ = false;
  return d;
}

}  // namespace quillet::settings

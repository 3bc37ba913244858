#include "quillsvc/candwin/widget_manager.h"

#include <algorithm>
#include <new>
#include <optional>

namespace quillet {
namespace {

// At 96 DPI; Layout scales them.
constexpr float kMargin = 4;  // around the stack and between its bands
constexpr float kMinStripWidth = 100;
constexpr float kVSpinWidthWithoutStrip = 18;
constexpr float kVSpinHeightWithoutStrip = 40;
constexpr float kSpinAspect = 1.6f;
constexpr float kVSpinInset = 4;
constexpr size_t kItemsForPaging = 10;
constexpr float kMaxTabWidth = 100;

// A cap of 50 or less stands for 500.
int32_t Cap(int32_t value) { return value <= 50 ? 500 : value; }

bool Shown(const CWidgetBase* w) { return w != nullptr && w->visible; }

}  // namespace

bool CWidgetMgrTopLayout::Build(ConstSettingsView settings, int32_t activeTab) {
  Clear();
  const auto shown = [&](AppearanceElement e) { return settings.visible(e); };
  try {
    // The strip starts 4 pixels right of its own left edge.
    tabStrip = std::make_unique<CSheetTabTop>(shown(AppearanceElement::kTab));
    tabStrip->scrollX = -4;
    const size_t tabCount = settings.tabCount();
    if (activeTab < 0 || static_cast<size_t>(activeTab) >= tabCount) activeTab = 0;
    for (size_t t = 0; t < tabCount; ++t) tabStrip->AddTab(settings.tab(t).name());
    // The strip would name a tab itself only when measured, but a layout with no tab never measures.
    if (tabCount == 0) tabStrip->AddTab(CSheetTabBase::kDefaultCaption);
    if (tabStrip->HasTab(activeTab)) tabStrip->activeTab = activeTab;
    titleBar = std::make_unique<CTextLabel>(settings.tab(static_cast<size_t>(activeTab)).title(),
                                            shown(AppearanceElement::kTitleBar));
    additionBar = std::make_unique<CTextLabel>(u"", shown(AppearanceElement::kAdditionBar));
    candidateList = std::make_unique<CTextList>(shown(AppearanceElement::kCandidateList));
    hScrollBar = std::make_unique<CHSpinBox>(shown(AppearanceElement::kHScrollBar));
    vScrollBar = std::make_unique<CVSpinBox>(shown(AppearanceElement::kVScrollBar));
  } catch (const std::bad_alloc&) {
    Clear();
    return false;
  }
  return LoadFonts(settings);
}

bool CWidgetMgrTopLayout::LoadFonts(ConstSettingsView settings) {
  // The strip remembers the tab font for scrolling; it is about to go.
  if (tabStrip != nullptr) tabStrip->ForgetFont();
  try {
    for (size_t e = 0; e < kFontCount; ++e) {
      fonts[e].reset();
      const ResolvedFont f = ResolveFont(settings, static_cast<AppearanceElement>(e));
      fonts[e] = fontFactory_.MakeFont(f.name, ScaleByDpi(f.size, dpi), FontStyle::kRegular);
    }
  } catch (const std::bad_alloc&) {
    Clear();
    return false;
  }
  if (!FontsUsable()) {
    Clear();
    return false;
  }
  return true;
}

SizeI CWidgetMgrTopLayout::Layout(Surface& s) {
  if (!FontsUsable() || tabStrip == nullptr || !tabStrip->HasTab(tabStrip->activeTab)) return {0, 0};
  tabStrip->maxTabWidth = Px(kMaxTabWidth);
  const Bands bands = StackBands(s);
  const int32_t height = FitHeight(bands.bottom);
  float width = ContentWidth(bands);
  width = WidenForVScrollBar(bands.strip, width);
  width = WidenForHScrollBar(bands.strip, width);
  width = FitWidth(bands.strip, width);
  StretchBands(bands.strip, width, s);
  PlaceVScrollBar();
  return {static_cast<int32_t>(width), height};
}

float CWidgetMgrTopLayout::Px(float pixels) const { return ScaleByDpi(pixels, dpi); }

int32_t CWidgetMgrTopLayout::Bound(int32_t pixels) const {
  return static_cast<int32_t>(Px(static_cast<float>(pixels)));
}

CWidgetMgrTopLayout::Bands CWidgetMgrTopLayout::StackBands(Surface& s) {
  const float margin = Px(kMargin);
  // A band that measures to nothing leaves no gap.
  PointF origin{margin, margin};
  auto stack = [&](CWidgetBase& w, AppearanceElement e) {
    w.Measure(s, origin, *font(e));
    if (w.bounds.height > 0) origin.y += w.bounds.height + margin;
  };
  Bands b;
  b.strip = tabStrip->visible;
  b.title = Shown(titleBar.get()) && !titleBar->text.empty();
  b.list = Shown(candidateList.get()) && candidateList->ItemCount() > 0;
  b.addition = Shown(additionBar.get()) && !additionBar->text.empty() && b.list;
  if (b.strip) stack(*tabStrip, AppearanceElement::kTab);
  if (b.title) stack(*titleBar, AppearanceElement::kTitleBar);
  if (b.list) stack(*candidateList, AppearanceElement::kCandidateList);
  if (b.addition) stack(*additionBar, AppearanceElement::kAdditionBar);
  b.bottom = origin.y;
  return b;
}

int32_t CWidgetMgrTopLayout::FitHeight(float stackBottom) const {
  int32_t height = std::max(static_cast<int32_t>(stackBottom), Bound(minHeight));
  if (height >= Bound(Cap(maxHeight))) height = Bound(Cap(maxHeight));
  return height;
}

float CWidgetMgrTopLayout::ContentWidth(const Bands& b) const {
  // Only the list and the title widen the window here.
  float width = std::max(b.list ? candidateList->bounds.width : 0.0f, b.title ? titleBar->bounds.width : 0.0f);
  width += 2 * Px(kMargin);
  return width;
}

float CWidgetMgrTopLayout::WidenForVScrollBar(bool stripShown, float width) {
  if (vScrollBar == nullptr) return width;
  CVSpinBox& v = *vScrollBar;
  v.visible = !v.disabled && Shown(candidateList.get()) && candidateList->ItemCount() >= kItemsForPaging;
  if (v.visible) {
    v.bounds.width = stripShown ? tabStrip->bounds.height : Px(kVSpinWidthWithoutStrip);
    v.bounds.height = stripShown ? kSpinAspect * v.bounds.width : Px(kVSpinHeightWithoutStrip);
    // The arrows sit 4 pixels in from the list's right edge: the window grows by that inset too,
    // so that they stand beside the widest row instead of over its last letters.
    width += v.bounds.width + Px(kVSpinInset);
  }
  return width;
}

float CWidgetMgrTopLayout::WidenForHScrollBar(bool stripShown, float width) {
  if (hScrollBar == nullptr) return width;
  CHSpinBox& h = *hScrollBar;
  const CSheetTabTop& strip = *tabStrip;
  // The arrows switch tabs: they need a strip with at least two tabs that does not fit.
  h.visible = !h.disabled && stripShown && !(strip.bounds.right() < width) && strip.TabCount() >= 2;
  if (h.visible) {
    h.bounds.height = strip.bounds.height;
    h.bounds.width = kSpinAspect * h.bounds.height;
    if (2 * h.bounds.width >= width) width += 2 * h.bounds.width;
  } else {
    h.bounds.width = 0;
    h.bounds.height = 0;
  }
  return width;
}

float CWidgetMgrTopLayout::FitWidth(bool stripShown, float width) const {
  if (stripShown && width < Px(kMinStripWidth)) width = Px(kMinStripWidth);
  const float widthCap = static_cast<float>(Bound(Cap(maxWidth)));
  const float floor = static_cast<float>(Bound(minWidth));
  if (widthCap <= std::max(width, floor)) {
    width = widthCap;
  } else if (floor >= width) {
    width = floor;
  }
  return width;
}

void CWidgetMgrTopLayout::StretchBands(bool stripShown, float width, Surface& s) {
  const float margin = Px(kMargin);
  const float inner = width - 2 * margin - 1;
  if (Shown(titleBar.get())) titleBar->bounds.width = inner;
  if (Shown(additionBar.get())) additionBar->bounds.width = inner;
  if (Shown(candidateList.get())) candidateList->bounds.width = inner;
  if (!stripShown) return;
  CSheetTabTop& strip = *tabStrip;
  if (hScrollBar != nullptr && hScrollBar->visible && !hScrollBar->disabled) {
    strip.bounds.width = width - 2 * margin - hScrollBar->bounds.width - 2;
    hScrollBar->bounds.x = strip.bounds.right() + 1;
    hScrollBar->bounds.y = strip.bounds.y;
  } else {
    strip.bounds.width = inner;
  }
  strip.SelectTab(-1, s);
}

void CWidgetMgrTopLayout::PlaceVScrollBar() {
  if (vScrollBar == nullptr || !vScrollBar->visible || vScrollBar->disabled) return;
  const RectF& list = candidateList->bounds;
  vScrollBar->bounds.x = list.right() - vScrollBar->bounds.width - Px(kVSpinInset);
  vScrollBar->bounds.y = list.y + (list.height - vScrollBar->bounds.height) * 0.5f;
}

void CWidgetMgrTopLayout::Clear() {
  titleBar.reset();
  additionBar.reset();
  candidateList.reset();
  tabStrip.reset();
  vScrollBar.reset();
  hScrollBar.reset();
  for (std::unique_ptr<Font>& f : fonts) f.reset();
}

bool CWidgetMgrTopLayout::FontsUsable() const {
  for (const std::unique_ptr<Font>& f : fonts) {
    if (f == nullptr || f->status() != DrawStatus::kOk) return false;
  }
  return true;
}

void CWidgetMgrTopLayout::DrawAll(Surface& s, ConstSettingsView settings, const SystemColors* system) {
  if (!FontsUsable()) return;
  // Before each widget: a failure since the last one skips it, and is forgotten.
  auto fresh = [&s] { return s.TakeStatus() == DrawStatus::kOk; };

  std::array<ElementColors, kMaxTabs> tabColors;
  std::array<const ElementColors*, kMaxTabs> tabPalettes{};
  const size_t tabs = tabStrip != nullptr ? std::min(tabStrip->TabCount(), kMaxTabs) : 0;
  for (size_t i = 0; i < tabs; ++i) {
    tabColors[i] = system != nullptr
                       ? SystemPalette(*system, AppearanceElement::kTab, static_cast<int32_t>(i) == tabStrip->activeTab)
                       : settings.tab(i).colors(AppearanceElement::kTab);
    tabPalettes[i] = &tabColors[i];
  }
  if (tabStrip != nullptr && tabStrip->visible && fresh()) {
    // Scrolled tabs reach outside the strip; the clip keeps them in. It costs every drawing call
    // under it, so a strip whose tabs all fit is drawn without one (the same pixels).
    std::optional<ClipScope> scope;
    if (!tabStrip->TabsInside()) {
      RectF clip = tabStrip->bounds;
      clip.width += 1;
      clip.height += 1;
      scope.emplace(s, clip);
    }
    tabStrip->Draw(s, tabPalettes.data(), tabs, font(AppearanceElement::kTab));
  }

  if (tabStrip == nullptr || !tabStrip->HasTab(tabStrip->activeTab)) return;
  const ConstTabRecord active = settings.tab(static_cast<size_t>(tabStrip->activeTab));
  auto draw = [&](CWidgetBase& w, AppearanceElement e, const Font* f) {
    if (!fresh()) return;
    const ElementColors colors = system != nullptr ? SystemPalette(*system, e) : active.colors(e);
    const ElementColors* palette = &colors;
    w.Draw(s, &palette, 1, f);
  };
  const bool listShown = candidateList != nullptr && candidateList->visible && candidateList->ItemCount() > 0;
  if (titleBar != nullptr && titleBar->visible && !titleBar->text.empty()) {
    draw(*titleBar, AppearanceElement::kTitleBar, font(AppearanceElement::kTitleBar));
  }
  // The addition bar is laid out only under candidates; without them it keeps old bounds.
  if (additionBar != nullptr && additionBar->visible && !additionBar->text.empty() && listShown) {
    draw(*additionBar, AppearanceElement::kAdditionBar, font(AppearanceElement::kAdditionBar));
  }
  if (candidateList != nullptr && candidateList->visible) {
    draw(*candidateList, AppearanceElement::kCandidateList, font(AppearanceElement::kCandidateList));
  }
  if (vScrollBar != nullptr && vScrollBar->visible && !vScrollBar->disabled) {
    draw(*vScrollBar, AppearanceElement::kVScrollBar, nullptr);
  }
  if (hScrollBar != nullptr && hScrollBar->visible && !hScrollBar->disabled) {
    draw(*hScrollBar, AppearanceElement::kHScrollBar, nullptr);
  }
}

bool CWidgetMgrTopLayout::HitTest(PointF p, AppearanceElement* element, int32_t* index) const {
  auto hit = [&](AppearanceElement e, int32_t i) {
    *element = e;
    *index = i;
    return true;
  };
  int32_t i = -1;
  if (hScrollBar != nullptr && hScrollBar->visible && !hScrollBar->disabled && (i = hScrollBar->HitTest(p)) >= 0) {
    return hit(AppearanceElement::kHScrollBar, i);
  }
  if (vScrollBar != nullptr && vScrollBar->visible && !vScrollBar->disabled && (i = vScrollBar->HitTest(p)) >= 0) {
    return hit(AppearanceElement::kVScrollBar, i);
  }
  if (tabStrip != nullptr && tabStrip->visible && (i = tabStrip->HitTest(p)) >= 0) {
    return hit(AppearanceElement::kTab, i);
  }
  const bool listShown = candidateList != nullptr && candidateList->visible && candidateList->ItemCount() > 0;
  if (candidateList != nullptr && candidateList->visible && (i = candidateList->HitTest(p)) >= 0 &&
      static_cast<size_t>(i) < candidateList->ItemCount()) {
    return hit(AppearanceElement::kCandidateList, i);
  }
  if (titleBar != nullptr && titleBar->visible && !titleBar->text.empty() && titleBar->HitTest(p) >= 0) {
    return hit(AppearanceElement::kTitleBar, 0);
  }
  if (additionBar != nullptr && additionBar->visible && !additionBar->text.empty() && listShown &&
      additionBar->HitTest(p) >= 0) {
    return hit(AppearanceElement::kAdditionBar, 0);
  }
  return false;
}

}  // namespace quillet

#include "quillsvc/candwin/widget_manager.h"

#include <algorithm>
#include <optional>

namespace quillet {

void CWidgetManagerBase::Clear() {
  titleBar.reset();
  additionBar.reset();
  candidateList.reset();
  tabStrip.reset();
  vScrollBar.reset();
  hScrollBar.reset();
  for (std::unique_ptr<Font>& f : fonts) f.reset();
}

bool CWidgetManagerBase::FontsUsable() const {
  for (const std::unique_ptr<Font>& f : fonts) {
    if (f == nullptr || f->status() != DrawStatus::kOk) return false;
  }
  return true;
}

void CWidgetManagerBase::DrawAll(Surface& s, ConstSettingsView settings, const SystemColors* system) {
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

bool CWidgetManagerBase::HitTest(PointF p, AppearanceElement* element, int32_t* index) const {
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

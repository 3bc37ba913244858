#include "quillsvc/candwin/cand_list_core.h"

#include <algorithm>
#include <array>

#include "lookup/tab_source_set.h"

namespace quillet {

CandListCore::CandListCore(const uint8_t* settings, size_t settingsSize, IWidgetMouseEventCallback* callback,
                           FontFactory& fonts, CandListHost& host)
    : settings_(settings), settingsSize_(settingsSize), callback_(callback), fonts_(fonts), host_(host) {}

bool CandListCore::BuildWidgets(int32_t activeTab, int32_t maxWidth, int32_t maxHeight) {
  bool built = false;
  const ConstSettingsView settings = Settings();
  // Only the top layout exists; a window with another kind shows no widgets.
  if (manager_ == nullptr && settings.valid() && settings.layoutKind() == 0) {
    manager_ = std::make_unique<CWidgetMgrTopLayout>(fonts_);
    manager_->dpi = dpi_;
  }
  if (manager_ != nullptr) built = manager_->Build(settings, activeTab);
  if (manager_ != nullptr) {
    manager_->maxWidth = maxWidth;
    manager_->maxHeight = maxHeight;
    manager_->minWidth = 0;
    manager_->minHeight = 0;
  }
  return built;
}

void CandListCore::ReloadFonts() {
  if (manager_ == nullptr) return;
  manager_->LoadFonts(Settings());
  host_.Invalidate();
}

void CandListCore::SetDpi(uint32_t dpi) {
  dpi = UsableDpi(dpi);
  if (dpi == dpi_) return;
  dpi_ = dpi;
  if (manager_ == nullptr) return;
  manager_->dpi = dpi;
  ReloadFonts();
}

void CandListCore::SetSystemColors(const std::optional<SystemColors>& colors) {
  if (colors == systemColors_) return;
  systemColors_ = colors;
  host_.Invalidate();
}

void CandListCore::SetElementVisible(int32_t element, bool shown) {
  if (manager_ == nullptr) return;
  CWidgetMgrTopLayout& m = *manager_;
  CWidgetBase* widgets[] = {m.tabStrip.get(), m.candidateList.get(), m.titleBar.get(), m.additionBar.get()};
  if (element >= 0 && element < 4) {
    if (widgets[element] != nullptr) widgets[element]->visible = shown;
  } else if (element == 4 && m.hScrollBar != nullptr) {
    m.hScrollBar->disabled = !shown;
  } else if (element == 5 && m.vScrollBar != nullptr) {
    m.vScrollBar->disabled = !shown;
  }
}

void CandListCore::SelectTabOn(int32_t index) {
  CSheetTabTop& strip = *manager_->tabStrip;
  const std::unique_ptr<Surface> surface = host_.MeasuringSurface();
  if (surface != nullptr) {
    strip.SelectTab(index, *surface);
  } else {
    // Without a surface nothing can be measured; the next layout scrolls the tab into view.
    strip.activeTab = index;
  }
}

void CandListCore::SelectTab(int32_t index) {
  if (manager_ == nullptr || manager_->tabStrip == nullptr || !manager_->tabStrip->HasTab(index)) return;
  SelectTabOn(index);
}

int32_t CandListCore::NextTab() {
  if (manager_ == nullptr || manager_->tabStrip == nullptr || manager_->tabStrip->TabCount() == 0) return -1;
  const CSheetTabTop& strip = *manager_->tabStrip;
  const int32_t next = strip.activeTab + 1 < static_cast<int32_t>(strip.TabCount()) ? strip.activeTab + 1 : 0;
  SelectTabOn(next);
  return next;
}

int32_t CandListCore::PrevTab() {
  if (manager_ == nullptr || manager_->tabStrip == nullptr || manager_->tabStrip->TabCount() == 0) return -1;
  const CSheetTabTop& strip = *manager_->tabStrip;
  const int32_t last = static_cast<int32_t>(strip.TabCount()) - 1;
  const int32_t previous = strip.activeTab > 0 && strip.activeTab <= last ? strip.activeTab - 1 : last;
  SelectTabOn(previous);
  return previous;
}

int32_t CandListCore::MoveSelection(int32_t delta) {
  if (manager_ == nullptr || manager_->candidateList == nullptr) return -1;
  CTextList& list = *manager_->candidateList;
  const int64_t moved = static_cast<int64_t>(list.selected) + delta;
  if (moved < 0 || moved >= static_cast<int64_t>(list.ItemCount())) return -1;
  list.selected = static_cast<int32_t>(moved);
  return list.selected;
}

int32_t CandListCore::SelectedTab() const {
  if (manager_ == nullptr || manager_->tabStrip == nullptr) return -1;
  return manager_->tabStrip->HasTab(manager_->tabStrip->activeTab) ? manager_->tabStrip->activeTab : -1;
}

int32_t CandListCore::SelectedRow() const { return RowCount() > 0 ? manager_->candidateList->selected : -1; }

size_t CandListCore::RowCount() const {
  return manager_ != nullptr && manager_->candidateList != nullptr ? manager_->candidateList->ItemCount() : 0;
}

bool CandListCore::AdditionBarVisible() const {
  return manager_ != nullptr && manager_->additionBar != nullptr && manager_->additionBar->visible;
}

void CandListCore::SetAdditionText(std::u16string_view text) {
  if (manager_ != nullptr && manager_->additionBar != nullptr) manager_->additionBar->text.assign(text);
}

size_t CandListCore::ShowCandidates(TabSourceSet* sources, bool selectFirst, bool refreshTitle) {
  if (sources == nullptr || manager_ == nullptr || manager_->candidateList == nullptr) return 0;
  const TabSource* source = sources->ShownSource();
  std::vector<const Candidate*> rows;
  const size_t n = source != nullptr ? std::min(source->PageCount(), CTextList::kMaxItems) : 0;
  for (size_t i = 0; i < n; ++i) rows.push_back(source->CandidateAt(i));
  return ShowRows(rows, selectFirst, refreshTitle);
}

size_t CandListCore::ShowRows(const std::vector<const Candidate*>& rows, bool selectFirst, bool refreshTitle) {
  if (manager_ == nullptr || manager_->candidateList == nullptr) return 0;
  CTextList& list = *manager_->candidateList;
  list.RemoveAll();
  std::array<const Candidate*, CTextList::kMaxItems> shown{};
  size_t n = 0;
  for (const Candidate* c : rows) {
    if (c == nullptr || n == shown.size()) continue;
    list.Append(c->display.empty() ? c->word : c->display, c->forgiven);
    shown[n++] = c;
  }
  if (refreshTitle && manager_->titleBar != nullptr && manager_->tabStrip != nullptr) {
    const int32_t active = manager_->tabStrip->activeTab;
    if (active >= 0) manager_->titleBar->text = Settings().tab(static_cast<size_t>(active)).title();
  }
  if (n > 0) {
    const size_t row = selectFirst ? 0 : n - 1;
    list.selected = static_cast<int32_t>(row);
    if (manager_->additionBar != nullptr && manager_->additionBar->visible) {
      manager_->additionBar->text = shown[row]->description;
    }
  }
  host_.Invalidate();
  return n;
}

std::u16string CandListCore::RowText(size_t i) const {
  return i < RowCount() ? manager_->candidateList->Item(i) : std::u16string();
}

std::u16string CandListCore::RowName(size_t i) const {
  std::u16string name = RowText(i);
  if (i < RowCount() && manager_->candidateList->Marked(i)) name += kCorrectedSpellingName;
  return name;
}

size_t CandListCore::TabCount() const {
  return manager_ != nullptr && manager_->tabStrip != nullptr ? manager_->tabStrip->TabCount() : 0;
}

std::u16string CandListCore::TabCaption(size_t i) const {
  return i < TabCount() ? manager_->tabStrip->Tab(i).caption : std::u16string();
}

bool CandListCore::TabStripVisible() const {
  return manager_ != nullptr && manager_->tabStrip != nullptr && manager_->tabStrip->visible;
}

bool CandListCore::HitTest(PointF p, AppearanceElement* element, int32_t* index) const {
  return manager_ != nullptr && manager_->HitTest(p, element, index);
}

bool CandListCore::ElementRect(AppearanceElement element, int32_t index, RectF* rect) const {
  if (manager_ == nullptr || index < 0) return false;
  if (element == AppearanceElement::kCandidateList) {
    const CTextList* list = manager_->candidateList.get();
    if (list == nullptr || !list->visible || static_cast<size_t>(index) >= list->ItemCount() ||
        !(list->itemHeight > 0)) {
      return false;
    }
    *rect = RectF{list->bounds.x, list->bounds.y + list->itemHeight * static_cast<float>(index), list->bounds.width,
                  list->itemHeight};
    return true;
  }
  if (element == AppearanceElement::kTab) {
    const CSheetTabTop* strip = manager_->tabStrip.get();
    // Tabs scrolled out of the strip are not on the screen.
    if (!TabStripVisible() || !strip->HasTab(index) || index < strip->firstVisibleTab) return false;
    const RectF& tab = strip->Tab(static_cast<size_t>(index)).bounds;
    if (!(tab.width > 0) || tab.x >= strip->bounds.right()) return false;
    *rect = tab;
    return true;
  }
  return false;
}

void CandListCore::Press(PointF p) {
  AppearanceElement element = AppearanceElement::kWindow;
  int32_t index = -1;
  if (manager_ == nullptr || !manager_->HitTest(p, &element, &index)) {
    if (callback_ != nullptr) callback_->OnMouseEvent(kButtonDownMessage, AppearanceElement::kWindow, -1);
    return;
  }
  if (callback_ != nullptr) callback_->OnMouseEvent(kButtonDownMessage, element, index);
  // The owner's callback may have refilled the list: the row is checked against it as it is now.
  if (element == AppearanceElement::kCandidateList && manager_->candidateList != nullptr &&
      static_cast<size_t>(index) < manager_->candidateList->ItemCount()) {
    manager_->candidateList->selected = index;
    host_.Invalidate();
  } else if ((element == AppearanceElement::kHScrollBar || element == AppearanceElement::kVScrollBar) &&
             (index == 0 || index == 1)) {
    CSpinBoxBase* spin = element == AppearanceElement::kHScrollBar
                             ? static_cast<CSpinBoxBase*>(manager_->hScrollBar.get())
                             : manager_->vScrollBar.get();
    if (spin != nullptr) spin->pressed[static_cast<size_t>(index)] = true;
    host_.Invalidate();
  }
}

void CandListCore::Release(PointF p) {
  if (manager_ != nullptr) {
    if (manager_->hScrollBar != nullptr) manager_->hScrollBar->pressed = {};
    if (manager_->vScrollBar != nullptr) manager_->vScrollBar->pressed = {};
  }
  AppearanceElement element = AppearanceElement::kWindow;
  int32_t index = -1;
  if (manager_ == nullptr || !manager_->HitTest(p, &element, &index)) {
    if (callback_ != nullptr) callback_->OnMouseEvent(kButtonUpMessage, AppearanceElement::kWindow, -1);
  } else {
    if (callback_ != nullptr) callback_->OnMouseEvent(kButtonUpMessage, element, index);
    switch (element) {
      case AppearanceElement::kTab:
        SelectTab(index);
        if (callback_ != nullptr) callback_->OnTabClicked(index);
        break;
      case AppearanceElement::kCandidateList:
        if (callback_ != nullptr) callback_->OnItemClicked(index);
        break;
      case AppearanceElement::kHScrollBar:
        if (index > 0) {
          NextTab();
        } else {
          PrevTab();
        }
        if (callback_ != nullptr) callback_->OnTabScrolled();
        break;
      case AppearanceElement::kVScrollBar:
        if (callback_ != nullptr) callback_->OnListScrolled(index);
        break;
      default:
        break;
    }
  }
  host_.Invalidate();
}

RectI CandListCore::Place(const RectI& windowRect) {
  RectI r = extent_;
  int32_t caretX = 0, caretY = 0;
  if (host_.DocumentCaret(&caretX, &caretY)) r = r.MovedTo(caretX, caretY + 2);
  RectI w = windowRect.MovedTo(r.left, r.bottom);
  const RectI work = host_.WorkArea(r);
  if (w.left < work.left) {
    w = w.MovedTo(work.left, w.top);
  } else if (w.right > work.right) {
    w = w.MovedTo(std::max(work.left, work.right - w.width()), w.top);
  }
  if (w.top < work.top) {
    w = w.MovedTo(w.left, work.top);
  } else if (w.bottom > work.bottom) {
    // Above the text; at the bottom of the work area when the text itself lies below it.
    const int32_t bottom = r.top > work.bottom ? work.bottom : r.top;
    w = w.MovedTo(w.left, std::max(work.top, bottom - w.height()));
  }
  return w;
}

bool CandListCore::Paint(Surface& window, SizeI client) {
  const ConstSettingsView settings = Settings();
  if (manager_ != nullptr) {
    const SizeI size = manager_->Layout(window);
    bool resized = false;
    if (extent_.top != extent_.bottom) {
      const RectI at{extent_.left, extent_.bottom, extent_.left + size.width, extent_.bottom + size.height};
      resized = host_.SetWindowRect(Place(at), true);
    } else {
      resized = host_.SetWindowRect({0, 0, size.width, size.height}, false);
    }
    if (resized) return true;
  }
  const std::unique_ptr<OffscreenFrame> frame = window.CreateOffscreen(client);
  if (frame == nullptr) return true;
  Compose(frame->surface(), client, settings);
  frame->Present();
  return true;
}

void CandListCore::Compose(Surface& frame, SizeI client, ConstSettingsView settings) {
  int32_t active = 0;
  if (manager_ != nullptr && manager_->tabStrip != nullptr &&
      manager_->tabStrip->HasTab(manager_->tabStrip->activeTab)) {
    active = manager_->tabStrip->activeTab;
  }
  // The window's colours are stored without alpha and always drawn opaque.
  const SystemColors* system = systemColors_ ? &*systemColors_ : nullptr;
  const ElementColors w = system != nullptr
                              ? SystemPalette(*system, AppearanceElement::kWindow)
                              : settings.tab(static_cast<size_t>(active)).colors(AppearanceElement::kWindow);
  const RectI background{0, 0, client.width - 1, client.height - 1};
  frame.FillGradient(background, OpaqueArgb(GradientColor1(w)), OpaqueArgb(GradientColor2(w)),
                     static_cast<float>(GradientAngle(w)));
  frame.FrameRectInset(background, OpaqueArgb(w.border));
  if (manager_ != nullptr) manager_->DrawAll(frame, settings, system);
}

}  // namespace quillet

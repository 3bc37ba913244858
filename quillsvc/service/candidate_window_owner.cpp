// The candidate window the text service owns from the first key of a composition to its end (then
// kept hidden for the next one while the thread has the focus), its clicks, and the edit sessions
// that carry out what an application that draws the list chooses (the element itself is
// CandidateListOwner's).
#include <algorithm>

#include "quillsvc/com/com_boundary.h"
#include "quillsvc/service/edit_sessions.h"
#include "quillsvc/service/text_service_impl.h"
#include "quillsvc/service/tsf_edit_context.h"

namespace quillet {
namespace {

// The top-level window of the context's active view, when it belongs to this thread: an owner on
// another thread would join that thread's input to ours, and a hang there would hang this host.
HWND OwnerWindow(ITfContext* context) {
  ComPtr<ITfContextView> view;
  HWND window = nullptr;
  if (context == nullptr || FAILED(context->GetActiveView(view.Put())) || !view || FAILED(view->GetWnd(&window)) ||
      window == nullptr || !::IsWindow(window)) {
    return nullptr;
  }
  const HWND top = ::GetAncestor(window, GA_ROOT);
  return top != nullptr && ::GetWindowThreadProcessId(top, nullptr) == ::GetCurrentThreadId() ? top : nullptr;
}

}  // namespace

CandidateWindow* CQuillsvc::candidateWindow() { return window_.get(); }

CandidateWindow* CQuillsvc::NewCandidateWindow(int activeTab) {
  CloseCandidateWindow();
  const TabSourceSet& tabs = controller_.tabs();
  // Without published settings (no focus) there is nothing to show.
  const uint8_t* settings = tabs.settingsRecord();
  if (settings == nullptr) return nullptr;
  const ComPtr<ITfContext> context = CompositionContext();
  const HWND owner = OwnerWindow(context.Get());
  const bool sameSettings = windowSettings_.size() == tabs.settingsSize() &&
                            std::equal(windowSettings_.begin(), windowSettings_.end(), settings);
  if (keptWindow_ && sameSettings && keptWindow_->ServesAgain(owner, activeTab)) {
    window_ = std::move(keptWindow_);
  } else {
    keptWindow_.reset();
    windowSettings_.assign(settings, settings + tabs.settingsSize());
    window_ = CCandListWin::Create(windowSettings_.data(), windowSettings_.size(), this, activeTab, owner);
    if (window_ == nullptr) return nullptr;
    window_->SetObserver(&candidateList_);
  }
  window_->SetDocumentWindow(CaretPlacedWindow(context.Get()));
  return window_.get();
}

void CQuillsvc::CloseCandidateWindow() {
  if (!window_) return;
  window_->Hide();
  keptWindow_ = std::move(window_);
}

// The candidate window's clicks.

void CQuillsvc::OnTabClicked(int32_t tab) { controller_.OnTabClicked(tab); }
void CQuillsvc::OnItemClicked(int32_t row) { controller_.OnItemClicked(row); }
void CQuillsvc::OnListScrolled(int32_t arrow) { controller_.OnListScrolled(arrow != 0); }
void CQuillsvc::OnTabScrolled() { controller_.OnTabScrolled(); }
void CQuillsvc::OnMouseEvent(uint32_t message, AppearanceElement element, int32_t index) {
  controller_.OnMouseEvent(message, element, index);
}

void CQuillsvc::RequestFinalize() {
  if (ComPtr<ITfContext> context = CompositionContext()) {
    RequestSession(context.Get(), new CFinalizeEditSession(context.Get(), this), TF_ES_ASYNCDONTCARE | TF_ES_READWRITE);
  }
}

void CQuillsvc::RequestAbort() {
  if (ComPtr<ITfContext> context = CompositionContext()) {
    RequestSession(context.Get(), new CAbortEditSession(context.Get(), this), TF_ES_ASYNCDONTCARE | TF_ES_READWRITE);
  }
}

void CQuillsvc::FinalizeInSession(ITfContext* context, TfEditCookie cookie) {
  TsfEditContext edit(context, cookie, this);
  controller_.PickHighlighted(edit);
  if (!controller_.composition().HasComposition()) compositionContext_.Reset();
}

void CQuillsvc::AbortInSession(ITfContext* context, TfEditCookie cookie) {
  TsfEditContext edit(context, cookie, this);
  controller_.Cancel(edit);
  compositionContext_.Reset();
}

}  // namespace quillet

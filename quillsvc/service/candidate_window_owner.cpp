// The candidate window the text service owns from the first key of a composition to its end, its
// clicks, and its list as the framework's UI element: begun before the list shows, updated on every
// change, ended when the list goes. When the application draws the list itself the window stays
// hidden and the application's choices come through the element; Wine's framework refuses to begin
// elements, which means the window shows the list.
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
  DestroyCandidateWindow();
  const TabSourceSet& tabs = controller_.tabs();
  // The window reads the published settings in place; without them (no focus) there is nothing to
  // show. They stay until the tab set takes up a new publication, which it does only after this
  // window has gone (a new window for each composition).
  if (tabs.settingsRecord() == nullptr) return nullptr;
  const ComPtr<ITfContext> context = CompositionContext();
  window_ =
      CCandListWin::Create(tabs.settingsRecord(), tabs.settingsSize(), this, activeTab, OwnerWindow(context.Get()));
  if (window_ == nullptr) return nullptr;
  window_->SetObserver(this);
  window_->SetDocumentWindow(CaretPlacedWindow(context.Get()));
  return window_.get();
}

void CQuillsvc::DestroyCandidateWindow() { window_.reset(); }

// The candidate window's clicks.

void CQuillsvc::OnTabClicked(int32_t tab) { controller_.OnTabClicked(tab); }
void CQuillsvc::OnItemClicked(int32_t row) { controller_.OnItemClicked(row); }
void CQuillsvc::OnListScrolled(int32_t arrow) { controller_.OnListScrolled(arrow != 0); }
void CQuillsvc::OnTabScrolled(int32_t) { controller_.OnTabScrolled(); }
void CQuillsvc::OnMouseEvent(uint32_t message, AppearanceElement element, int32_t index) {
  controller_.OnMouseEvent(message, static_cast<int>(element), index);
}

// The list as the framework's UI element.

bool CQuillsvc::OnListShown() {
  ComPtr<ITfUIElementMgr> elements = QueryAs<ITfUIElementMgr>(threadMgr_.Get());
  if (!elements) return true;
  auto element = ComPtr<CCandidateListUIElement>::Adopt(new CCandidateListUIElement(Identity(), *this));
  BOOL show = TRUE;
  DWORD id = TF_INVALID_UIELEMENTID;
  if (FAILED(elements->BeginUIElement(element.Get(), &show, &id))) {
    element->Disconnect();
    return true;
  }
  element_ = std::move(element);
  elementId_ = id;
  return show != FALSE;
}

void CQuillsvc::OnListChanged() {
  if (!element_) return;
  element_->MarkChanged();
  if (ComPtr<ITfUIElementMgr> elements = QueryAs<ITfUIElementMgr>(threadMgr_.Get()))
    elements->UpdateUIElement(elementId_);
}

void CQuillsvc::OnListHidden() {
  if (!element_) return;
  ComPtr<CCandidateListUIElement> element = std::move(element_);
  element->Disconnect();
  const DWORD id = std::exchange(elementId_, TF_INVALID_UIELEMENTID);
  if (ComPtr<ITfUIElementMgr> elements = QueryAs<ITfUIElementMgr>(threadMgr_.Get())) elements->EndUIElement(id);
}

size_t CQuillsvc::RowCount() { return window_ != nullptr ? window_->RowCount() : 0; }

std::u16string CQuillsvc::RowText(size_t row) { return window_ != nullptr ? window_->core().RowText(row) : u""; }

int CQuillsvc::SelectedRow() { return window_ != nullptr ? window_->SelectedRow() : -1; }

ComPtr<ITfDocumentMgr> CQuillsvc::DocumentMgr() {
  ComPtr<ITfDocumentMgr> manager;
  if (ComPtr<ITfContext> context = CompositionContext()) context->GetDocumentMgr(manager.Put());
  return manager;
}

void CQuillsvc::ShowOwnWindow(bool show) {
  if (window_ != nullptr) window_->SetDrawnHere(show);
}

bool CQuillsvc::OwnWindowShown() { return window_ != nullptr && window_->IsVisible() && window_->DrawnHere(); }

void CQuillsvc::SelectRow(size_t row) { controller_.HighlightRow(static_cast<int>(row)); }

void CQuillsvc::Finalize() {
  if (ComPtr<ITfContext> context = CompositionContext()) {
    RequestSession(context.Get(), new CFinalizeEditSession(context.Get(), this), TF_ES_ASYNCDONTCARE | TF_ES_READWRITE);
  }
}

void CQuillsvc::Abort() {
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

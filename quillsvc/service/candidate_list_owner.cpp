#include "quillsvc/service/candidate_list_owner.h"

#include <utility>

#include "quillsvc/service/text_service_impl.h"

namespace quillet {

ComPtr<ITfUIElementMgr> CandidateListOwner::Elements() const { return QueryAs<ITfUIElementMgr>(service_.threadMgr()); }

bool CandidateListOwner::OnListShown() {
  const bool drawnHere = BeginElement();
  service_.controller().OnListChanged();
  return drawnHere;
}

bool CandidateListOwner::BeginElement() {
  ComPtr<ITfUIElementMgr> elements = Elements();
  if (!elements) return true;
  auto element = ComPtr<CCandidateListUIElement>::Adopt(new CCandidateListUIElement(service_.Identity(), *this));
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

void CandidateListOwner::OnListChanged() {
  service_.controller().OnListChanged();
  if (!element_) return;
  element_->MarkChanged();
  if (ComPtr<ITfUIElementMgr> elements = Elements()) elements->UpdateUIElement(elementId_);
}

void CandidateListOwner::OnListHidden() {
  service_.controller().OnListHidden();
  if (!element_) return;
  ComPtr<CCandidateListUIElement> element = std::move(element_);
  element->Disconnect();
  const DWORD id = std::exchange(elementId_, TF_INVALID_UIELEMENTID);
  if (ComPtr<ITfUIElementMgr> elements = Elements()) elements->EndUIElement(id);
}

size_t CandidateListOwner::RowCount() {
  CCandListWin* window = service_.windowNow();
  return window != nullptr ? window->RowCount() : 0;
}

std::u16string CandidateListOwner::RowText(size_t row) {
  CCandListWin* window = service_.windowNow();
  return window != nullptr ? window->core().RowText(row) : u"";
}

int CandidateListOwner::SelectedRow() {
  CCandListWin* window = service_.windowNow();
  return window != nullptr ? window->SelectedRow() : -1;
}

ComPtr<ITfDocumentMgr> CandidateListOwner::DocumentMgr() {
  ComPtr<ITfDocumentMgr> manager;
  if (ComPtr<ITfContext> context = service_.CompositionContext()) context->GetDocumentMgr(manager.Put());
  return manager;
}

void CandidateListOwner::ShowOwnWindow(bool show) {
  if (CCandListWin* window = service_.windowNow()) window->SetDrawnHere(show);
}

bool CandidateListOwner::OwnWindowShown() {
  CCandListWin* window = service_.windowNow();
  return window != nullptr && window->IsVisible() && window->DrawnHere();
}

void CandidateListOwner::SelectRow(size_t row) { service_.controller().HighlightRow(static_cast<int>(row)); }

void CandidateListOwner::Finalize() { service_.RequestFinalize(); }

void CandidateListOwner::Abort() { service_.RequestAbort(); }

}  // namespace quillet

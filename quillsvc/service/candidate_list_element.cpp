#include "quillsvc/service/candidate_list_element.h"

#include "quillsvc/com/bstr.h"
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/guids.h"

namespace quillet {

HRESULT CCandidateListUIElement::GetDescription(BSTR* description) { return NewBstr(u"Candidates", description); }

HRESULT CCandidateListUIElement::GetGUID(GUID* guid) {
  if (guid == nullptr) return E_INVALIDARG;
  *guid = kGuidCandidateListElement;
  return S_OK;
}

HRESULT CCandidateListUIElement::Show(BOOL show) {
  if (source_ == nullptr) return E_FAIL;
  return ComBoundary([&] {
    source_->ShowOwnWindow(show != FALSE);
    return S_OK;
  });
}

HRESULT CCandidateListUIElement::IsShown(BOOL* shown) {
  if (shown == nullptr) return E_INVALIDARG;
  *shown = source_ != nullptr && source_->OwnWindowShown() ? TRUE : FALSE;
  return S_OK;
}

HRESULT CCandidateListUIElement::GetUpdatedFlags(DWORD* flags) {
  if (flags == nullptr) return E_INVALIDARG;
  *flags = updated_;
  updated_ = 0;
  return S_OK;
}

HRESULT CCandidateListUIElement::GetDocumentMgr(ITfDocumentMgr** manager) {
  if (manager == nullptr) return E_INVALIDARG;
  *manager = nullptr;
  if (source_ == nullptr) return E_FAIL;
  return ComBoundary([&] {
    *manager = source_->DocumentMgr().Detach();
    return *manager != nullptr ? S_OK : E_FAIL;
  });
}

HRESULT CCandidateListUIElement::GetCount(UINT* count) {
  if (count == nullptr) return E_INVALIDARG;
  *count = source_ != nullptr ? static_cast<UINT>(source_->RowCount()) : 0;
  return S_OK;
}

HRESULT CCandidateListUIElement::GetSelection(UINT* index) {
  if (index == nullptr) return E_INVALIDARG;
  const int row = source_ != nullptr ? source_->SelectedRow() : -1;
  *index = row < 0 ? 0 : static_cast<UINT>(row);
  return S_OK;
}

HRESULT CCandidateListUIElement::GetString(UINT index, BSTR* text) {
  if (text == nullptr) return E_INVALIDARG;
  *text = nullptr;
  if (source_ == nullptr || index >= source_->RowCount()) return E_INVALIDARG;
  return ComBoundary([&] { return NewBstr(source_->RowText(index), text); });
}

HRESULT CCandidateListUIElement::GetPageIndex(UINT* index, UINT size, UINT* pageCount) {
  if (pageCount == nullptr) return E_INVALIDARG;
  *pageCount = 1;
  if (index != nullptr && size >= 1) index[0] = 0;
  return S_OK;
}

HRESULT CCandidateListUIElement::SetPageIndex(UINT*, UINT) {
  // The pages are the text service's: ten rows each, turned by the keys.
  return S_OK;
}

HRESULT CCandidateListUIElement::GetCurrentPage(UINT* page) {
  if (page == nullptr) return E_INVALIDARG;
  *page = 0;
  return S_OK;
}

HRESULT CCandidateListUIElement::SetSelection(UINT index) {
  if (source_ == nullptr) return E_FAIL;
  if (index >= source_->RowCount()) return E_INVALIDARG;
  return ComBoundary([&] {
    source_->SelectRow(index);
    return S_OK;
  });
}

HRESULT CCandidateListUIElement::Finalize() {
  if (source_ == nullptr) return E_FAIL;
  return ComBoundary([&] {
    source_->Finalize();
    return S_OK;
  });
}

HRESULT CCandidateListUIElement::Abort() {
  if (source_ == nullptr) return E_FAIL;
  return ComBoundary([&] {
    source_->Abort();
    return S_OK;
  });
}

}  // namespace quillet

// The candidate list as the framework's UI element (ITfCandidateListUIElementBehavior): the text
// service begins it before its list shows, updates it on every change of rows, page or selection and
// ends it when the list goes. An application that draws candidates itself reads the rows from it and
// chooses through it; the text service then keeps its own window hidden.
//
// The element lists the page shown (at most ten rows) as one page; the keys that turn pages reach
// the text service as ever, and every turn updates the element.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "quillsvc/com/com_object.h"
#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/module.h"
#include "quillsvc/com/tsf_interfaces.h"

namespace quillet {

// What the element reads and what it passes on (implemented by the text service).
class CandidateListSource {
 public:
  virtual size_t RowCount() = 0;
  virtual std::u16string RowText(size_t row) = 0;
  virtual int SelectedRow() = 0;  // -1 for none
  virtual ComPtr<ITfDocumentMgr> DocumentMgr() = 0;
  // ITfUIElement::Show: the application wants the text service's own window shown or hidden.
  virtual void ShowOwnWindow(bool show) = 0;
  virtual bool OwnWindowShown() = 0;
  // The application's choices: highlight a row, pick the highlighted one, give the typed text up.
  virtual void SelectRow(size_t row) = 0;
  virtual void Finalize() = 0;
  virtual void Abort() = 0;

 protected:
  ~CandidateListSource() = default;
};

class CCandidateListUIElement final : public ComObject<ModuleCount, ITfCandidateListUIElementBehavior> {
 public:
  // `owner` (the text service, held for the element's life) implements `source`.
  CCandidateListUIElement(IUnknown* owner, CandidateListSource& source) : owner_(owner), source_(&source) {}

  // Everything changed since the application last asked.
  void MarkChanged() { updated_ = kAllFlags; }
  // The list went: the element answers nothing more of it.
  void Disconnect() { source_ = nullptr; }

  // ITfUIElement
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* description) override;
  HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override;
  HRESULT STDMETHODCALLTYPE Show(BOOL show) override;
  HRESULT STDMETHODCALLTYPE IsShown(BOOL* shown) override;
  // ITfCandidateListUIElement
  HRESULT STDMETHODCALLTYPE GetUpdatedFlags(DWORD* flags) override;
  HRESULT STDMETHODCALLTYPE GetDocumentMgr(ITfDocumentMgr** manager) override;
  HRESULT STDMETHODCALLTYPE GetCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetSelection(UINT* index) override;
  HRESULT STDMETHODCALLTYPE GetString(UINT index, BSTR* text) override;
  HRESULT STDMETHODCALLTYPE GetPageIndex(UINT* index, UINT size, UINT* pageCount) override;
  HRESULT STDMETHODCALLTYPE SetPageIndex(UINT* index, UINT pageCount) override;
  HRESULT STDMETHODCALLTYPE GetCurrentPage(UINT* page) override;
  // ITfCandidateListUIElementBehavior
  HRESULT STDMETHODCALLTYPE SetSelection(UINT index) override;
  HRESULT STDMETHODCALLTYPE Finalize() override;
  HRESULT STDMETHODCALLTYPE Abort() override;

 private:
  static constexpr DWORD kAllFlags = TF_CLUIE_DOCUMENTMGR | TF_CLUIE_COUNT | TF_CLUIE_SELECTION | TF_CLUIE_STRING |
                                     TF_CLUIE_PAGEINDEX | TF_CLUIE_CURRENTPAGE;

  ComPtr<IUnknown> owner_;
  CandidateListSource* source_;
  DWORD updated_ = kAllFlags;
};

}  // namespace quillet

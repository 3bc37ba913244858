// The focused document's top context: its edits (ITfTextEditSink) end a composition the selection
// left, its layout changes (ITfTextLayoutSink) move the candidate window with the text.
#include <utility>

#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/sink_advice.h"
#include "quillsvc/service/edit_sessions.h"
#include "quillsvc/service/text_service_impl.h"
#include "quillsvc/service/tsf_edit_context.h"

namespace quillet {
namespace {

// The one document window whose own caret places the candidate window better than the extent it
// reports.
constexpr wchar_t kCaretPlacedWindowClass[] = L"Internet Explorer_Server";

}  // namespace

// The context's window when it is one that places the candidate window by its caret; else null.
HWND CaretPlacedWindow(ITfContext* context) {
  ComPtr<ITfContextView> view;
  HWND window = nullptr;
  if (context == nullptr || FAILED(context->GetActiveView(view.Put())) || !view || FAILED(view->GetWnd(&window)) ||
      window == nullptr) {
    return nullptr;
  }
  wchar_t name[256] = {};
  if (GetClassNameW(window, name, 255) == 0) return nullptr;
  return wcscmp(name, kCaretPlacedWindowClass) == 0 ? window : nullptr;
}

bool CQuillsvc::AttachContext(ITfDocumentMgr* manager) {
  UnadviseOn(context_.Get(), &textEditSinkCookie_);
  UnadviseOn(context_.Get(), &layoutSinkCookie_);
  context_.Reset();
  if (manager == nullptr) return true;

  ComPtr<ITfContext> top;
  if (FAILED(manager->GetTop(top.Put()))) return false;
  if (!top) return true;
  textEditSinkCookie_ = AdviseOn(top.Get(), IID_ITfTextEditSink, static_cast<ITfTextEditSink*>(this));
  layoutSinkCookie_ = AdviseOn(top.Get(), IID_ITfTextLayoutSink, static_cast<ITfTextLayoutSink*>(this));
  if (textEditSinkCookie_ == TF_INVALID_COOKIE || layoutSinkCookie_ == TF_INVALID_COOKIE) {
    UnadviseOn(top.Get(), &textEditSinkCookie_);
    UnadviseOn(top.Get(), &layoutSinkCookie_);
    return false;
  }
  context_ = std::move(top);
  if (window_ != nullptr) window_->SetDocumentWindow(CaretPlacedWindow(context_.Get()));
  // Until the field's scopes are read it counts as secret, so that a password typed at once is never
  // composed; a context that grants no session at all is taken as an ordinary field.
  field_ = FieldPrivacy{true, true};
  const ComPtr<ITfEditSession> read = ComPtr<ITfEditSession>::Adopt(new CReadFieldEditSession(context_.Get(), this));
  HRESULT sessionResult = S_OK;
  if (FAILED(context_->RequestEditSession(clientId_, read.Get(), TF_ES_ASYNCDONTCARE | TF_ES_READ, &sessionResult)) ||
      FAILED(sessionResult)) {
    field_ = FieldPrivacy{};
  }
  return true;
}

void CQuillsvc::ReadFieldInSession(ITfContext* context, TfEditCookie cookie) {
  if (context == context_.Get()) field_ = ReadFieldPrivacy(context, cookie);
}

HRESULT CQuillsvc::OnEndEdit(ITfContext* context, TfEditCookie readOnly, ITfEditRecord* record) {
  return ComBoundary([&] {
    if (record == nullptr || context == nullptr) return S_OK;
    BOOL selectionChanged = FALSE;
    if (FAILED(record->GetSelectionStatus(&selectionChanged)) || !selectionChanged) return S_OK;
    // The selection may have moved into a field of other scopes (one context, several fields).
    ReadFieldInSession(context, readOnly);
    if (!controller_.composition().HasComposition()) return S_OK;
    TsfEditContext edit(context, readOnly, this);
    std::unique_ptr<TextRange> selection;
    if (edit.GetSelection(&selection) != EditStatus::kOk) return S_OK;
    if (!controller_.composition().IsSelectionInside(edit, *selection)) EndCompositionAsync();
    return S_OK;
  });
}

HRESULT CQuillsvc::OnLayoutChange(ITfContext* context, TfLayoutCode code, ITfContextView*) {
  return ComBoundary([&] {
    if (window_ == nullptr) return S_OK;
    if (code == TF_LC_DESTROY) {
      window_->Hide();
    } else if (code == TF_LC_CHANGE && window_->IsVisible() && context != nullptr) {
      RequestSession(context, new CGetTextExtentEditSession(context, this), TF_ES_READ);
    }
    return S_OK;
  });
}

}  // namespace quillet

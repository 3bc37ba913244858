#include "quillsvc/service/edit_sessions.h"

#include "quillsvc/server/com_boundary.h"
#include "quillsvc/server/module.h"
#include "quillsvc/service/text_service.h"

namespace quillet {

CEditSessionBase::CEditSessionBase(ITfContext* context, CQuillsvc* service)
    : context_(context), service_(static_cast<ITfTextInputProcessor*>(service)) {
  DllAddRef();
}

CEditSessionBase::~CEditSessionBase() {
  // Range and view (the subclasses' members) are released before the context.
  DllRelease();
}

CQuillsvc& CEditSessionBase::service() const { return *static_cast<CQuillsvc*>(service_.Get()); }

HRESULT CEditSessionBase::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_INVALIDARG;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITfEditSession)) {
    *out = static_cast<ITfEditSession*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CEditSessionBase::AddRef() { return ++refs_; }

ULONG CEditSessionBase::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT CKeyHandlerEditSession::DoEditSession(TfEditCookie cookie) {
  return ComBoundary([&] {
    service().HandleKeyInSession(context(), cookie, key_);
    return S_OK;
  });
}

HRESULT CEndCompositionEditSession::DoEditSession(TfEditCookie cookie) {
  return ComBoundary([&] {
    service().EndCompositionInSession(context(), cookie);
    return S_OK;
  });
}

HRESULT CGetTextExtentEditSession::DoEditSession(TfEditCookie cookie) {
  return ComBoundary([&] {
    service().PlaceCandidateWindow(view_.Get(), range_.Get(), cookie);
    return S_OK;
  });
}

}  // namespace quillet

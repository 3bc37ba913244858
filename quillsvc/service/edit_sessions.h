// The text service's edit sessions: everything it does to a document runs inside one, with the edit
// cookie the framework grants. Each session holds a reference on its context and on the text service,
// so an asynchronous one that runs late still finds both alive.
#pragma once

#include <windows.h>

#include <cstdint>

#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/com_object.h"
#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/module.h"
#include "quillsvc/com/tsf_interfaces.h"
#include "quillsvc/service/text_service_impl.h"

namespace quillet {

class CEditSessionBase : public ComObject<ModuleCount, ITfEditSession> {
 protected:
  CEditSessionBase(ITfContext* context, CQuillsvc* service) : context_(context), service_(service) {}

  ITfContext* context() const { return context_.Get(); }
  CQuillsvc& service() const { return *service_.Get(); }

 private:
  ComPtr<ITfContext> context_;
  ComPtr<CQuillsvc> service_;
};

// Runs the key handler for one eaten key.
class CKeyHandlerEditSession final : public CEditSessionBase {
 public:
  CKeyHandlerEditSession(ITfContext* context, CQuillsvc* service, uint32_t key)
      : CEditSessionBase(context, service), key_(key) {}
  HRESULT STDMETHODCALLTYPE DoEditSession(TfEditCookie cookie) override {
    return ComBoundary([&] {
      service().HandleKeyInSession(context(), cookie, key_);
      return S_OK;
    });
  }

 private:
  uint32_t key_;
};

// Runs one of the text service's session methods.
template <void (CQuillsvc::*Work)(ITfContext*, TfEditCookie)>
class CServiceEditSession final : public CEditSessionBase {
 public:
  CServiceEditSession(ITfContext* context, CQuillsvc* service) : CEditSessionBase(context, service) {}
  HRESULT STDMETHODCALLTYPE DoEditSession(TfEditCookie cookie) override {
    return ComBoundary([&] {
      (service().*Work)(context(), cookie);
      return S_OK;
    });
  }
};

// Ends the composition; its text stays in the document.
using CEndCompositionEditSession = CServiceEditSession<&CQuillsvc::EndCompositionInSession>;
// Reads the composition's screen extent and moves the candidate window next to it.
using CGetTextExtentEditSession = CServiceEditSession<&CQuillsvc::PlaceCandidateWindowInSession>;
// The application's choices through the candidate-list element: pick the highlighted row, or give
// the typed text up.
using CFinalizeEditSession = CServiceEditSession<&CQuillsvc::FinalizeInSession>;
using CAbortEditSession = CServiceEditSession<&CQuillsvc::AbortInSession>;
// Reads what the focused field's input scopes say (passwords, PINs, private fields).
using CReadFieldEditSession = CServiceEditSession<&CQuillsvc::ReadFieldInSession>;

}  // namespace quillet

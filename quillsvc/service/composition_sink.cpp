// The composition (ITfCompositionSink) and the edit sessions in which the controller works on the
// document: keys, ending the composition, placing the candidate window.
#include <utility>

#include "quillsvc/com/com_boundary.h"
#include "quillsvc/service/edit_sessions.h"
#include "quillsvc/service/text_service_impl.h"
#include "quillsvc/service/tsf_edit_context.h"

namespace quillet {

HRESULT CQuillsvc::OnCompositionTerminated(TfEditCookie, ITfComposition*) {
  return ComBoundary([&] {
    controller_.composition().OnTerminated();
    compositionContext_.Reset();
    CloseCandidateWindow();
    return S_OK;
  });
}

void CQuillsvc::RequestSession(ITfContext* context, ITfEditSession* session, DWORD flags) {
  // The framework keeps its own reference for as long as it needs the session.
  ComPtr<ITfEditSession> owned = ComPtr<ITfEditSession>::Adopt(session);
  HRESULT sessionResult = S_OK;
  context->RequestEditSession(clientId_, owned.Get(), flags, &sessionResult);
}

ComPtr<ITfContext> CQuillsvc::CompositionContext() const {
  // After a document focus change the composition's context is no longer the focused one.
  return compositionContext_ ? compositionContext_ : context_;
}

void CQuillsvc::EndCompositionAsync() {
  if (controller_.composition().HasComposition()) {
    if (ComPtr<ITfContext> context = CompositionContext()) {
      RequestSession(context.Get(), new CEndCompositionEditSession(context.Get(), this),
                     TF_ES_ASYNCDONTCARE | TF_ES_READWRITE);
    }
  }
  CloseCandidateWindow();
}

void CQuillsvc::HandleKeyInSession(ITfContext* context, TfEditCookie cookie, uint32_t key) {
  const bool composing = controller_.composition().HasComposition();
  TsfEditContext edit(context, cookie, this);
  controller_.HandleKey(edit, key);
  if (!composing && controller_.composition().HasComposition()) compositionContext_ = ComPtr<ITfContext>(context);
  if (!controller_.composition().HasComposition()) compositionContext_.Reset();
}

void CQuillsvc::EndCompositionInSession(ITfContext* context, TfEditCookie cookie) {
  TsfEditContext edit(context, cookie, this);
  controller_.composition().EndComposition(edit);
  compositionContext_.Reset();
}

void CQuillsvc::PlaceCandidateWindowInSession(ITfContext* context, TfEditCookie cookie) {
  TsfEditContext edit(context, cookie, this);
  controller_.PlaceCandidateWindow(edit);
}

}  // namespace quillet

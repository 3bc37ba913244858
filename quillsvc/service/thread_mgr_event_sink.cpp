// The thread manager's events: document focus (ITfThreadMgrEventSink) and the thread's own focus
// (ITfThreadFocusSink). The blocks are held only while the thread has the focus.
#include "common/boundary.h"
#include "common/result.h"
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/sink_advice.h"
#include "quillsvc/service/text_service_impl.h"

namespace quillet {

bool CQuillsvc::AdviseThreadMgrEventSink() {
  threadMgrSinkCookie_ =
      AdviseOn(threadMgr_.Get(), IID_ITfThreadMgrEventSink, static_cast<ITfThreadMgrEventSink*>(this));
  return threadMgrSinkCookie_ != TF_INVALID_COOKIE;
}

void CQuillsvc::UnadviseThreadMgrEventSink() { UnadviseOn(threadMgr_.Get(), &threadMgrSinkCookie_); }

bool CQuillsvc::AdviseThreadFocusSink() {
  threadFocusSinkCookie_ = AdviseOn(threadMgr_.Get(), IID_ITfThreadFocusSink, static_cast<ITfThreadFocusSink*>(this));
  return threadFocusSinkCookie_ != TF_INVALID_COOKIE;
}

void CQuillsvc::UnadviseThreadFocusSink() { UnadviseOn(threadMgr_.Get(), &threadFocusSinkCookie_); }

HRESULT CQuillsvc::OnInitDocumentMgr(ITfDocumentMgr*) { return S_OK; }
HRESULT CQuillsvc::OnUninitDocumentMgr(ITfDocumentMgr*) { return S_OK; }
HRESULT CQuillsvc::OnPushContext(ITfContext*) { return S_OK; }
HRESULT CQuillsvc::OnPopContext(ITfContext*) { return S_OK; }

HRESULT CQuillsvc::OnSetFocus(ITfDocumentMgr* focus, ITfDocumentMgr*) {
  return ComBoundary([&] {
    // The composition ends in its own document, before the sinks move to the new one.
    EndCompositionAsync();
    AttachContext(focus);
    return S_OK;
  });
}

HRESULT CQuillsvc::OnSetThreadFocus() {
  return ComBoundary([&] {
    const Result error = AtBoundary(Result::kOutOfMemory, [&] { return OpenBlocks(); });
    SetErrorCode(error);
    if (error != Result::kSuccess) SetOpenState(false);
    langBar_.Update(error == Result::kSuccess);
    langBar_.Refresh();
    return S_OK;
  });
}

HRESULT CQuillsvc::OnKillThreadFocus() {
  return ComBoundary([&] {
    EndCompositionAsync();
    controller_.ClosePublications();
    keptWindow_.reset();
    return S_OK;
  });
}

}  // namespace quillet

// The function provider (ITfFunctionProvider): the framework asks it for the help function.
#include "quillsvc/com/bstr.h"
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/guids.h"
#include "quillsvc/service/fn_help.h"
#include "quillsvc/service/text_service_impl.h"

namespace quillet {

void CQuillsvc::AdviseFunctionProvider() {
  ComPtr<ITfSourceSingle> single = QueryAs<ITfSourceSingle>(threadMgr_.Get());
  functionProviderAdvised_ = single && SUCCEEDED(single->AdviseSingleSink(clientId_, IID_ITfFunctionProvider,
                                                                          static_cast<ITfFunctionProvider*>(this)));
}

void CQuillsvc::UnadviseFunctionProvider() {
  if (!std::exchange(functionProviderAdvised_, false)) return;
  if (ComPtr<ITfSourceSingle> single = QueryAs<ITfSourceSingle>(threadMgr_.Get())) {
    single->UnadviseSingleSink(clientId_, IID_ITfFunctionProvider);
  }
}

HRESULT CQuillsvc::GetType(GUID* type) {
  if (type == nullptr) return E_INVALIDARG;
  *type = kClsidTextService;
  return S_OK;
}

HRESULT CQuillsvc::GetDescription(BSTR* description) { return NewBstr(u"Tarnwick Quillet", description); }

HRESULT CQuillsvc::GetFunction(REFGUID, REFIID iid, IUnknown** function) {
  if (function == nullptr) return E_INVALIDARG;
  *function = nullptr;
  if (!IsEqualIID(iid, IID_ITfFnShowHelp)) return E_NOINTERFACE;
  return ComBoundary([&] {
    *function = (new CFnHelp())->Identity();
    return S_OK;
  });
}

}  // namespace quillet

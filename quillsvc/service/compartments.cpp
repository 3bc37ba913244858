// The compartments the text service reads and writes: keyboard open/close on the thread (whose
// changes it follows, as applications and the touch keyboard change it too), keyboard disabled and
// empty context on the focused context.
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/sink_advice.h"
#include "quillsvc/service/text_service_impl.h"

namespace quillet {
namespace {

// The value of a compartment when it holds a VT_I4.
bool ReadNumber(ITfCompartmentMgr* manager, REFGUID guid, LONG* value) {
  ComPtr<ITfCompartment> compartment;
  if (manager == nullptr || FAILED(manager->GetCompartment(guid, compartment.Put())) || !compartment) return false;
  VARIANT content;
  VariantInit(&content);
  const bool number = SUCCEEDED(compartment->GetValue(&content)) && content.vt == VT_I4;
  if (number) *value = content.lVal;
  VariantClear(&content);
  return number;
}

ComPtr<ITfCompartment> OpenCloseCompartment(ITfThreadMgr* threadMgr) {
  ComPtr<ITfCompartmentMgr> compartments = QueryAs<ITfCompartmentMgr>(threadMgr);
  ComPtr<ITfCompartment> compartment;
  if (compartments) compartments->GetCompartment(GUID_COMPARTMENT_KEYBOARD_OPENCLOSE, compartment.Put());
  return compartment;
}

}  // namespace

bool CQuillsvc::AdviseOpenCloseSink() {
  openCloseSinkCookie_ = AdviseOn(OpenCloseCompartment(threadMgr_.Get()).Get(), IID_ITfCompartmentEventSink,
                                  static_cast<ITfCompartmentEventSink*>(this));
  return openCloseSinkCookie_ != TF_INVALID_COOKIE;
}

void CQuillsvc::UnadviseOpenCloseSink() {
  UnadviseOn(OpenCloseCompartment(threadMgr_.Get()).Get(), &openCloseSinkCookie_);
}

HRESULT CQuillsvc::OnChange(REFGUID compartment) {
  return ComBoundary([&] {
    if (!IsEqualGUID(compartment, GUID_COMPARTMENT_KEYBOARD_OPENCLOSE)) return S_OK;
    // Closed from outside: what is typed stays as text, and the list goes.
    if (!IsOpen() && (controller_.composition().HasComposition() || window_ != nullptr)) EndCompositionAsync();
    langBar_.Refresh();
    return S_OK;
  });
}

bool CQuillsvc::IsKeyboardDisabled() {
  if (field_.secret) return true;  // no candidates in password and PIN fields
  ComPtr<ITfDocumentMgr> focus;
  if (!threadMgr_ || FAILED(threadMgr_->GetFocus(focus.Put())) || !focus) return true;
  ComPtr<ITfContext> top;
  if (FAILED(focus->GetTop(top.Put())) || !top) return true;
  ComPtr<ITfCompartmentMgr> compartments = QueryAs<ITfCompartmentMgr>(top.Get());
  if (!compartments) return false;
  // Either compartment set disables typing: an application that marks its context disabled is not
  // overruled by an empty-context value of 0.
  LONG value = 0;
  if (ReadNumber(compartments.Get(), GUID_COMPARTMENT_KEYBOARD_DISABLED, &value) && value != 0) return true;
  return ReadNumber(compartments.Get(), GUID_COMPARTMENT_EMPTYCONTEXT, &value) && value != 0;
}

bool CQuillsvc::IsOpenNow() {
  LONG value = 0;
  ComPtr<ITfCompartmentMgr> compartments = QueryAs<ITfCompartmentMgr>(threadMgr_.Get());
  return ReadNumber(compartments.Get(), GUID_COMPARTMENT_KEYBOARD_OPENCLOSE, &value) && value != 0;
}

HRESULT CQuillsvc::SetOpenState(bool open) {
  if (open && controller_.errorCode() != Result::kSuccess) return E_FAIL;
  ComPtr<ITfCompartment> compartment = OpenCloseCompartment(threadMgr_.Get());
  if (!compartment) return E_FAIL;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = open ? 1 : 0;
  return compartment->SetValue(clientId_, &value);
}

}  // namespace quillet

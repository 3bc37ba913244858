#include "quillsvc/server/instances.h"

#include "platform/win32/tsf_interfaces.h"
#include "quillsvc/service/text_service.h"

namespace quillet {

HRESULT NewTextService(IUnknown** object) { return CQuillsvc::Create(object); }

HRESULT CreateServerObject(REFIID riid, IUnknown** object) {
  return IsEqualIID(riid, IID_ITfFnConfigure) ? NewFnConfigure(object) : NewTextService(object);
}

}  // namespace quillet

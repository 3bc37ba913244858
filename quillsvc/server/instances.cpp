#include "quillsvc/server/instances.h"

#include "quillsvc/com/tsf_interfaces.h"
#include "quillsvc/service/text_service.h"
#include "quillsvc/settings/fn_configure.h"

namespace quillet {

HRESULT CreateServerObject(REFIID riid, IUnknown** object) {
  if (!IsEqualIID(riid, IID_ITfFnConfigure)) return NewTextService(object);
  *object = (new CFnConfigure())->Identity();
  return S_OK;
}

}  // namespace quillet

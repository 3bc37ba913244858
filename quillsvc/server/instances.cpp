#include "quillsvc/server/instances.h"

namespace quillet {
namespace {

// {88F567C6-1757-49F8-A1B2-89234C1EEFF9}
constexpr IID kIidFnConfigure = {0x88f567c6, 0x1757, 0x49f8, {0xa1, 0xb2, 0x89, 0x23, 0x4c, 0x1e, 0xef, 0xf9}};

}  // namespace

HRESULT NewTextService(IUnknown** object) {
  *object = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT NewFnConfigure(IUnknown** object) {
  *object = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CreateServerObject(REFIID riid, IUnknown** object) {
  return IsEqualIID(riid, kIidFnConfigure) ? NewFnConfigure(object) : NewTextService(object);
}

}  // namespace quillet

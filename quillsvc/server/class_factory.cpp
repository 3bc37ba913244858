#include "quillsvc/server/class_factory.h"

#include "quillsvc/com/com_boundary.h"
#include "quillsvc/com/module.h"

namespace quillet {

STDMETHODIMP CClassFactory::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_INVALIDARG;
  if (IsEqualIID(riid, IID_IClassFactory) || IsEqualIID(riid, IID_IUnknown)) {
    *object = static_cast<IClassFactory*>(this);
    DllAddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef() {
  DllAddRef();
  return static_cast<ULONG>(DllRefCount() + 1);
}

STDMETHODIMP_(ULONG) CClassFactory::Release() {
  DllRelease();  // may delete this object; the count is the module's
  return static_cast<ULONG>(DllRefCount() + 1);
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  return ComBoundary([&]() -> HRESULT {
    if (object == nullptr) return E_INVALIDARG;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    IUnknown* created = nullptr;
    HRESULT hr = create_(riid, &created);
    if (FAILED(hr)) return hr;
    if (created == nullptr) return E_UNEXPECTED;
    hr = created->QueryInterface(riid, object);
    created->Release();
    return hr;
  });
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock) {
  if (lock) {
    DllAddRef();
  } else {
    DllRelease();
  }
  return S_OK;
}

}  // namespace quillet

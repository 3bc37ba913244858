#include "quillsvc/server/module.h"

#include <memory>

#include "quillsvc/com/guids.h"
#include "quillsvc/com/module.h"
#include "quillsvc/server/class_factory.h"
#include "quillsvc/server/instances.h"

namespace quillet {
namespace {

std::unique_ptr<CClassFactory> g_factory;

// Runs under the module lock when the last reference of the module went.
void DropFactory() { g_factory.reset(); }

}  // namespace

void AttachModule() { SetModuleUnusedHandler(&DropFactory); }

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (object == nullptr) return E_INVALIDARG;
  *object = nullptr;
  const ModuleLock lock;
  if (g_factory == nullptr) g_factory = std::make_unique<CClassFactory>(kClsidTextService, CreateServerObject);
  if ((!IsEqualIID(riid, IID_IClassFactory) && !IsEqualIID(riid, IID_IUnknown)) ||
      !IsEqualCLSID(clsid, g_factory->clsid())) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  DllAddRef();
  *object = static_cast<IClassFactory*>(g_factory.get());
  return S_OK;
}

HRESULT CanUnloadNow() { return DllRefCount() < 0 ? S_OK : S_FALSE; }

}  // namespace quillet

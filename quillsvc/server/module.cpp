#include "quillsvc/server/module.h"

#include <shlwapi.h>

#include <memory>
#include <new>

#include "quillsvc/server/class_factory.h"
#include "quillsvc/server/guids.h"
#include "quillsvc/server/instances.h"

namespace quillet {
namespace {

HINSTANCE g_module = nullptr;
wchar_t g_folder[MAX_PATH] = {};
CRITICAL_SECTION g_lock;
bool g_lockReady = false;
LONG g_refCount = -1;
std::unique_ptr<CClassFactory> g_factory;

// Holds the module lock for a scope.
class ModuleLockGuard {
 public:
  ModuleLockGuard() { EnterCriticalSection(&g_lock); }
  ~ModuleLockGuard() { LeaveCriticalSection(&g_lock); }
  ModuleLockGuard(const ModuleLockGuard&) = delete;
  ModuleLockGuard& operator=(const ModuleLockGuard&) = delete;
};

}  // namespace

void DllAddRef() { InterlockedIncrement(&g_refCount); }

void DllRelease() {
  if (InterlockedDecrement(&g_refCount) >= 0) return;
  ModuleLockGuard lock;
  // A class object handed out meanwhile (under this lock) keeps the factory.
  if (DllRefCount() < 0) g_factory.reset();
}

LONG DllRefCount() { return InterlockedCompareExchange(&g_refCount, 0, 0); }

HINSTANCE ModuleHandle() { return g_module; }

const wchar_t* ModuleFolder() { return g_folder; }

bool AttachModule(HINSTANCE module) {
  g_module = module;
  const DWORD length = GetModuleFileNameW(module, g_folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || !PathRemoveFileSpecW(g_folder)) g_folder[0] = L'\0';
  g_lockReady = InitializeCriticalSectionAndSpinCount(&g_lock, 0) != FALSE;
  return g_lockReady;
}

void DetachModule() {
  if (!g_lockReady) return;
  DeleteCriticalSection(&g_lock);
  g_lockReady = false;
}

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (object == nullptr) return E_INVALIDARG;
  *object = nullptr;
  ModuleLockGuard lock;
  if (g_factory == nullptr) {
    g_factory.reset(new (std::nothrow) CClassFactory(kClsidTextService, CreateServerObject));
    if (g_factory == nullptr) return E_OUTOFMEMORY;
  }
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

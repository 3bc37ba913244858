// The entry points of quillsvc.dll (exported by name through quillsvc.def).
#include <objbase.h>
#include <windows.h>

#include "quillsvc/candwin/cand_list_win.h"
#include "quillsvc/com/com_boundary.h"
#include "quillsvc/server/module.h"
#include "quillsvc/server/registration.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      quillet::AttachModule();
      break;
    case DLL_PROCESS_DETACH:
      // Unloaded by FreeLibrary (not the process ending): its window class must not outlive it.
      if (reserved == nullptr) quillet::CCandListWin::UnregisterWindowClass();
      break;
    default:
      break;
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  return quillet::ComBoundary([&] { return quillet::GetClassObject(clsid, riid, object); });
}

STDAPI DllCanUnloadNow() { return quillet::CanUnloadNow(); }

STDAPI DllRegisterServer() {
  return quillet::ComBoundary([] { return quillet::RegisterServer(); });
}

STDAPI DllUnregisterServer() {
  quillet::UnregisterServer();
  return S_OK;
}

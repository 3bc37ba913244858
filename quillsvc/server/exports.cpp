// The entry points of quillsvc.dll (exported by name through quillsvc.def).
#include <objbase.h>
#include <windows.h>

#include "quillsvc/server/com_boundary.h"
#include "quillsvc/server/module.h"
#include "quillsvc/server/registration.h"
#include "quillsvc/service/candidate_window_shell.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      return quillet::AttachModule(instance) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
      // Unloaded by FreeLibrary (not the process ending): its window class must not outlive it.
      if (reserved == nullptr) quillet::CandidateWindowShell::UnregisterWindowClass();
      quillet::DetachModule();
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

// quillsvc.dll loaded from the test program's folder, with its four entry points.
#pragma once

#include <windows.h>

#include <string>

namespace quillet::testing {

class ServerDll {
 public:
  using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using NoArgumentFn = HRESULT(STDAPICALLTYPE*)();

  ServerDll() = default;
  ~ServerDll() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  ServerDll(const ServerDll&) = delete;
  ServerDll& operator=(const ServerDll&) = delete;

  // The DLL's full path: next to this program.
  static std::wstring Path() {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + L"quillsvc.dll";
  }

  bool Load() {
    module_ = LoadLibraryW(Path().c_str());
    if (module_ == nullptr) return false;
    getClassObject = Entry<GetClassObjectFn>("DllGetClassObject");
    canUnloadNow = Entry<NoArgumentFn>("DllCanUnloadNow");
    registerServer = Entry<NoArgumentFn>("DllRegisterServer");
    unregisterServer = Entry<NoArgumentFn>("DllUnregisterServer");
    return getClassObject != nullptr && canUnloadNow != nullptr && registerServer != nullptr &&
           unregisterServer != nullptr;
  }

  GetClassObjectFn getClassObject = nullptr;
  NoArgumentFn canUnloadNow = nullptr;
  NoArgumentFn registerServer = nullptr;
  NoArgumentFn unregisterServer = nullptr;

 private:
  template <class Fn>
  Fn Entry(const char* name) {
    // Through the generic function type, which converts to any other without a warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
  }

  HMODULE module_ = nullptr;
};

}  // namespace quillet::testing

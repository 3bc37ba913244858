// lexwarden.exe: the loader behind its message-only window. No window is ever shown; the program
// runs until the session ends or it is told to quit.
#include <windows.h>

#include <string_view>

#include "common/boundary.h"
#include "common/result.h"
#include "lexwarden/run_loader.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The whole command line: started with an application name, it is exactly what the starter gave.
  return quillet::AtBoundary(quillet::ToInt(quillet::Result::kOutOfMemory), [] {
    return quillet::warden::RunLoader(reinterpret_cast<const char16_t*>(GetCommandLineW()), nullptr);
  });
}

// lexwarden.exe: the loader behind its message-only window. No window is ever shown; the program
// runs until the session ends or it is told to quit.
#include <windows.h>

#include <string>

#include "lexwarden/instance.h"
#include "lexwarden/settings_store.h"
#include "lexwarden/warden.h"
#include "platform/loader_channel.h"
#include "platform/process.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace quillet;
  // The whole command line: started with an application name, it is exactly what the starter gave.
  const wchar_t* raw = GetCommandLineW();
  const std::u16string commandLine(reinterpret_cast<const char16_t*>(raw));
  warden::Presence presence;
  if (!presence.Acquire(warden::StartedByLink(commandLine))) return 0;  // another loader serves

  warden::Warden warden({platform::ModuleFolder(), warden::SettingsStore::DefaultPath()});
  warden.Start();

  platform::LoaderChannel channel;
  platform::OsError error = 0;
  if (!channel.Create([&](uint32_t m, uintptr_t w, intptr_t l) { return warden.HandleMessage(m, w, l); }, &error)) {
    presence.ReleaseStartLock();
    warden.Stop();
    return 1;
  }
  presence.ReleaseStartLock();
  const int code = channel.Run();
  warden.Stop();
  return code;
}

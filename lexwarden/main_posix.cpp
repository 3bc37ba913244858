// lexwarden natively: the same loader behind the POSIX loader channel. Ends on SIGTERM, SIGINT or
// SIGHUP, keeping a changed settings record on the way out.
#include <csignal>
#include <string>

#include "common/utf16.h"
#include "lexwarden/instance.h"
#include "lexwarden/settings_store.h"
#include "lexwarden/warden.h"
#include "platform/loader_channel.h"
#include "platform/process.h"

namespace {

quillet::platform::LoaderChannel* g_channel = nullptr;

extern "C" void OnSignal(int) {
  if (g_channel != nullptr) g_channel->Quit();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quillet;
  std::u16string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += u' ';
    commandLine += FromUtf8(argv[i]);
  }
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

  g_channel = &channel;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  const int code = channel.Run();
  g_channel = nullptr;
  warden.Stop();
  return code;
}

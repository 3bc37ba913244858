#include "lexwarden/run_loader.h"

#include "common/boundary.h"
#include "common/result.h"
#include "lexwarden/instance.h"
#include "lexwarden/warden.h"
#include "platform/process.h"

namespace quillet::warden {

int RunLoader(std::u16string_view commandLine, void (*serving)(platform::LoaderChannel*)) {
  Presence presence;
  if (!presence.Acquire(StartedByLink(commandLine))) return 0;

  Warden warden({platform::ModuleFolder(), platform::KeptFile::InUserFolder(kKeptSettings.fileName)});
  // A start that failed still serves: starters and the sheet ask for its status.
  static_cast<void>(warden.Start());
  platform::LoaderChannel channel;
  platform::OsError error = 0;
  // The message handler runs inside the window procedure on Windows: nothing may leave it.
  const auto handler = [&](uint32_t m, uintptr_t w, intptr_t l) {
    return AtBoundary<intptr_t>(ToInt(Result::kOutOfMemory), [&] { return warden.HandleMessage(m, w, l); });
  };
  const bool created = channel.Create(handler, &error);
  // Given back only now: a starter waiting on it then finds the window.
  presence.ReleaseStartLock();
  int code = 1;
  if (created) {
    if (serving != nullptr) serving(&channel);
    code = channel.Run();
    if (serving != nullptr) serving(nullptr);
  }
  warden.Stop();
  return code;
}

}  // namespace quillet::warden

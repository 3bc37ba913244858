// lexwarden natively: the same loader behind the POSIX loader channel. Ends on SIGTERM, SIGINT or
// SIGHUP, keeping a changed settings record on the way out.
#include <csignal>
#include <string>

#include "common/boundary.h"
#include "common/result.h"
#include "common/utf16.h"
#include "lexwarden/run_loader.h"

namespace {

quillet::platform::LoaderChannel* g_channel = nullptr;

extern "C" void OnSignal(int) {
  if (g_channel != nullptr) g_channel->Quit();
}

void Serving(quillet::platform::LoaderChannel* channel) {
  g_channel = channel;
  if (channel == nullptr) return;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  return quillet::AtBoundary(quillet::ToInt(quillet::Result::kOutOfMemory), [&] {
    std::u16string commandLine;
    for (int i = 1; i < argc; ++i) {
      if (i > 1) commandLine += u' ';
      commandLine += quillet::FromUtf8(argv[i]);
    }
    return quillet::warden::RunLoader(commandLine, Serving);
  });
}

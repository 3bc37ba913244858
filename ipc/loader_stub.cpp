// Stand-ins for the loader that misbehave on purpose, one program per behaviour (STUB_MODE):
//   1 becomes ready but never makes its window;
//   2 makes its window but answers only after the senders gave up;
//   3 answers the handshake with 7;
//   4 behaves, holds the presence mark, and logs its start, command line and every message to
//     $QUILLET_CONFIG_DIR/stub.log;
//   5 as 4, but makes its window only 1.5 s after its presence mark (a loader still publishing).
// Message 0x8010 ends modes 3 and 4; every mode ends by itself after a while so that nothing lingers.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "common/utf16.h"
#include "ipc/loader_link.h"
#include "platform/loader_channel.h"
#include "platform/named_objects.h"
#include "platform/process.h"
#include "platform/user_data.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr uint32_t kQuitMessage = 0x8010;
constexpr auto kLifetime = std::chrono::seconds(20);

void Log(const std::string& line) {
  const std::u16string folder = quillet::platform::EnvironmentValue(u"QUILLET_CONFIG_DIR");
  if (folder.empty()) return;
  const std::string path = quillet::ToUtf8(quillet::platform::JoinPath(folder, u"stub.log"));
  if (FILE* f = std::fopen(path.c_str(), "ab")) {
    std::fputs((line + "\n").c_str(), f);
    std::fclose(f);
  }
}

void ReadyWithoutWindow() {
#ifdef _WIN32
  // Waiting in the message loop is what makes a Windows program input-idle.
  SetTimer(nullptr, 0, 8000, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER) break;
  }
#else
  quillet::platform::SignalReady();
  std::this_thread::sleep_for(std::chrono::seconds(8));
#endif
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quillet;
  if (STUB_MODE == 1) {
    ReadyWithoutWindow();
    return 0;
  }
  platform::Event presence;
  bool existed = false;
  platform::OsError error = 0;
  if (STUB_MODE == 4 || STUB_MODE == 5) {
    presence.CreateOrOpen(kLoaderPresenceName, false, true, &existed, &error);
    std::string line = "start";
    for (int i = 1; i < argc; ++i) line += std::string(" ") + argv[i];
#ifdef _WIN32
    line = "start " + ToUtf8(reinterpret_cast<const char16_t*>(GetCommandLineW()));
#endif
    Log(line);
  }
  platform::LoaderChannel channel;
  auto handler = [&](uint32_t message, uintptr_t, intptr_t) -> intptr_t {
    if (STUB_MODE == 4 || STUB_MODE == 5) Log("message " + std::to_string(message));
    if (message == kQuitMessage) {
      channel.Quit();
      return 0;
    }
    if (STUB_MODE == 2) std::this_thread::sleep_for(std::chrono::milliseconds(kLoaderMessageTimeoutMs + 1500));
    if (STUB_MODE == 3 && message == kLoaderHandshakeMessage) return 7;
    return 0;
  };
  if (STUB_MODE == 5) std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  if (!channel.Create(handler, &error)) return 1;
  std::thread timer([&] {
    std::this_thread::sleep_for(kLifetime);
    channel.Quit();
  });
  timer.detach();
  return channel.Run();
}

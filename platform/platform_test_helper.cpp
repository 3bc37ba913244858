// A small program that the platform tests start to play the other process: it holds, signals or
// waits for named objects, or serves the loader channel; the installer test has it hold a file open
// as a program that shares it with nobody would. Usage: <mode> <arguments...>; the mode may
// come after the program name or first (Windows passes the command line as given).
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "common/utf16.h"
#include "platform/file.h"
#include "platform/loader_channel.h"
#include "platform/named_objects.h"
#include "platform/process.h"

using namespace quillet;
using namespace quillet::platform;

void IdleForever();          // signals readiness, then waits for input for ever (per OS)
bool EnterKillOnCloseJob();  // false where there are no jobs (per OS)

namespace {

const char* const kModes[] = {"hold", "holdfor", "holdfile", "jailed", "signal",
                              "wait", "waitall", "serve",    "exit",   "sleep"};

std::u16string Arg(char** argv, int i) { return FromUtf8(argv[i]); }

int Hold(char** a) {
  OsError error = 0;
  Event event;
  if (!event.CreateOrOpen(Arg(a, 0), true, false, nullptr, &error) || !event.Set()) return 2;
  Mapping mapping;
  if (!mapping.Create(Arg(a, 1), std::strtoul(a[2], nullptr, 10), nullptr, &error) || !mapping.Map(&error)) return 3;
  mapping.data()[0] = 0x5A;
  IdleForever();
  return 0;
}

// Like Hold, for a while only.
int HoldFor(char** a) {
  OsError error = 0;
  Event event;
  Mapping mapping;
  if (!mapping.Create(Arg(a, 1), std::strtoul(a[2], nullptr, 10), nullptr, &error) || !mapping.Map(&error)) return 3;
  if (!event.CreateOrOpen(Arg(a, 0), true, false, nullptr, &error) || !event.Set()) return 2;
  std::this_thread::sleep_for(std::chrono::milliseconds(std::strtoul(a[3], nullptr, 10)));
  return 0;
}

// In a job that ends everything in it when its last handle goes (this process's, at its exit), as a
// sandboxing host runs: starts "holdfor" as a helper is started, waits until it holds, and exits.
int Jailed(char** a, const std::u16string& self) {
  if (!EnterKillOnCloseJob()) return 5;
  Process helper;
  OsError error = 0;
  if (!helper.Start(self, u"holdfor " + Arg(a, 0) + u" " + Arg(a, 1) + u" 16 20000", &error)) return 6;
  Event held;
  for (int i = 0; i < 200 && !held.Open(Arg(a, 0), &error); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return held.valid() && Wait(held, 20000, &error) == WaitResult::kSignalled ? 0 : 7;
}

// Holds the file open (unshared, as platform::File opens it), then signals the event.
int HoldFile(char** a) {
  OsError error = 0;
  File file;
  if (!file.OpenRead(Arg(a, 1), &error)) return 3;
  Event event;
  if (!event.CreateOrOpen(Arg(a, 0), true, false, nullptr, &error) || !event.Set()) return 2;
  IdleForever();
  return 0;
}

int Signal(char** a) {
  OsError error = 0;
  Event event;
  if (!event.Open(Arg(a, 0), &error)) return 2;
  return event.Set() ? 0 : 3;
}

int ToExit(WaitResult r) { return r == WaitResult::kSignalled ? 0 : (r == WaitResult::kTimedOut ? 1 : 2); }

int WaitOne(char** a) {
  OsError error = 0;
  Event event;
  if (!event.Open(Arg(a, 0), &error)) return 3;
  return ToExit(Wait(event, std::strtoul(a[1], nullptr, 10), &error));
}

int WaitBoth(char** a) {
  OsError error = 0;
  Event first;
  Event second;
  if (!first.Open(Arg(a, 0), &error) || !second.Open(Arg(a, 1), &error)) return 3;
  return ToExit(WaitAll(first, second, std::strtoul(a[2], nullptr, 10), &error));
}

LoaderChannel* channel = nullptr;

int Serve() {
  LoaderChannel served;
  channel = &served;
  OsError error = 0;
  auto handler = [](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
    switch (message) {
      case 0x8001:
        return static_cast<intptr_t>(wParam) * 1000 + lParam;
      case 0x8002:
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        return 1;
      case 0x8003:
        channel->Quit();
        return 77;
      default:
        return -1;
    }
  };
  if (!served.Create(handler, &error)) return 4;
  return served.Run();
}

}  // namespace

int main(int argc, char** argv) {
  int first = 0;
  while (first < argc) {
    bool known = false;
    for (const char* m : kModes) known = known || std::strcmp(argv[first], m) == 0;
    if (known) break;
    ++first;
  }
  if (first == argc) return 100;
  const std::string mode = argv[first];
  char** a = argv + first + 1;
  const int n = argc - first - 1;
  if (mode == "hold" && n >= 3) return Hold(a);
  if (mode == "holdfor" && n >= 4) return HoldFor(a);
  if (mode == "jailed" && n >= 2) return Jailed(a, ModulePath());
  if (mode == "holdfile" && n >= 2) return HoldFile(a);
  if (mode == "signal" && n >= 1) return Signal(a);
  if (mode == "wait" && n >= 2) return WaitOne(a);
  if (mode == "waitall" && n >= 3) return WaitBoth(a);
  if (mode == "serve") return Serve();
  if (mode == "exit" && n >= 1) return std::atoi(a[0]);
  if (mode == "sleep") {
    std::this_thread::sleep_for(std::chrono::seconds(30));
    return 0;
  }
  return 100;
}

// Another party on a block for the lock tests: a writer that marks the settings block once, a reader
// or writer that takes its lock many times and checks that nobody else is inside with it, or a hostile
// party that takes a block's token (or shuts its writers' gate) and never gives it back.
// Usage: <mode> <arguments...>; the mode may come after the program name or first.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "common/le.h"
#include "ipc/shared_block.h"
#include "ipc/shared_block_testing.h"

using namespace quillet;

namespace {

// Opens the block, says so, waits for the go, then writes under the write lock.
int WriteOnce() {
  SharedBlock block;
  block.policy = kToolLockPolicy;
  const Result r = OpenSettingsBlock(block);
  if (r != Result::kSuccess) return 10 + ToInt(r);
  platform::Event opened;
  platform::Event go;
  platform::OsError error = 0;
  if (!opened.Open(kOpenedEventName, &error) || !go.Open(kGoEventName, &error)) return 3;
  opened.Set();
  if (platform::Wait(go, 60000, &error) != platform::WaitResult::kSignalled) return 4;
  {
    BlockWriteLock lock(block);
    if (!lock) return 2;
    StoreU32(block.view() + kMarkOffset, 1);
  }
  CloseBlock(block, false);
  return 0;
}

// "hostile settings|options|inbox token|gate MS": does that, says so through the opened event, and
// exits after MS milliseconds without giving anything back.
int Hostile(const std::string& which, const std::string& how, int ms) {
  const BlockNames& names = which == "inbox"     ? kLearnInboxBlockNames
                            : which == "options" ? kOptionsBlockNames
                                                 : kSettingsBlockNames;
  SharedBlock block;
  if (CreateBlockEvents(block, names) != Result::kSuccess) return 3;
  block.policy = kToolLockPolicy;
  if (how == "token" ? !LockRead(block) : !block.writeEvent.Reset()) return 2;
  platform::Event opened;
  platform::OsError error = 0;
  if (!opened.Open(kOpenedEventName, &error)) return 4;
  opened.Set();
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    const std::string mode = argv[i];
    if (mode == "write-once") return WriteOnce();
    if (mode == "hostile" && i + 3 < argc) return Hostile(argv[i + 1], argv[i + 2], std::atoi(argv[i + 3]));
    if ((mode == "hammer-read" || mode == "hammer-write") && i + 1 < argc) {
      return HammerSettingsBlock(mode == "hammer-write", std::atoi(argv[i + 1]));
    }
  }
  return 100;
}

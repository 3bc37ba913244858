// Another process on the settings block for the window's tests: takes it as a writer, says so through
// the "locked" event, and holds it until the "release" event (or a minute) has passed.
#include <string>

#include "ipc/shared_block.h"
#include "quillsvc/candwin/cand_list_win_testing.h"

using namespace quillet;

int main(int argc, char** argv) {
  // The mode may be the whole command line, or follow the program name.
  if (argc < 1 || std::string(argv[argc - 1]) != "hold-write") return 100;
  SharedBlock block;
  const Result r = OpenSettingsBlock(block);
  if (r != Result::kSuccess) return 10 + ToInt(r);
  platform::Event locked, release;
  platform::OsError error = 0;
  if (!locked.Open(testing::kLockedEventName, &error) || !release.Open(testing::kReleaseEventName, &error)) return 3;
  {
    BlockWriteLock writing(block);
    if (!writing) return 2;
    locked.Set();
    platform::Wait(release, 60000, &error);
  }
  CloseBlock(block, false);
  return 0;
}

// Typing with quillsvc.dll in tsfhost, timed per key: from the key's message to the candidate window
// painted, split into the text service's own code (and the lookups in it), the framework calls it
// makes and the paint. A few thousand keys of common words typed letter by letter, picked by number,
// Tab or Space. Runs the build's tsfhost, loader and default dictionary in a namespace of its own.
//   typing_bench.exe [WORDS]     (default 400 words, about 2300 keys)
#include <windows.h>

#include <cstdio>
#include <random>
#include <string>

#include "tools/tsfhost/host_run_testing.h"

namespace {

using namespace quillet::tsfhost::testing;

constexpr const char* kWords[] = {"the",      "quick",     "brown",   "fox",       "jumped",     "over",    "lazy",
                                  "dog",      "people",    "because", "through",   "between",    "another", "important",
                                  "question", "program",   "without", "something", "country",    "problem", "together",
                                  "children", "different", "thought", "example",   "government", "company", "system",
                                  "number",   "morning",   "evening", "language",  "keyboard",   "window",  "letter",
                                  "quill",    "paper",     "writing"};

}  // namespace

int main(int argc, char** argv) {
  const int words = argc > 1 ? std::max(1, std::atoi(argv[1])) : 400;
  std::mt19937 random(7);
  std::string keys;
  for (int i = 0; i < words; ++i) {
    const std::string word = kWords[random() % (sizeof kWords / sizeof kWords[0])];
    // Most words are typed whole; some are picked early by number or Tab.
    const size_t typed = random() % 3 == 0 ? std::min<size_t>(word.size(), 2 + random() % 3) : word.size();
    keys += word.substr(0, typed);
    keys += typed < word.size() ? (random() % 2 == 0 ? "1" : "{Tab}") : " ";
  }

  const std::wstring ns = L"bench" + std::to_wstring(GetCurrentProcessId());
  SetEnvironmentVariableW(L"QUILLET_NAMESPACE", ns.c_str());
  const std::wstring config = TempFile(L"qbc");
  DeleteFileW(config.c_str());
  CreateDirectoryW(config.c_str(), nullptr);
  SetEnvironmentVariableW(L"QUILLET_CONFIG_DIR", config.c_str());

  const ProgramRun run =
      RunProgram(L"\"" + BinFolder() + L"tsfhost.exe\" --timing --keys \"" + Widen(keys) + L"\"", 1800000);
  StopLoader(ns);
  DeleteFileW((config + L"\\settings.dat").c_str());
  RemoveDirectoryW(config.c_str());

  std::printf("typing %d words (%zu characters of key script) in tsfhost with quillsvc.dll\n", words, keys.size());
  for (const std::string& line : Lines(run.out)) {
    if (line.compare(0, 7, "timing ") == 0) std::printf("%s\n", line.c_str() + 7);
  }
  if (run.exitCode != 0) {
    std::fprintf(stderr, "tsfhost ended with %lu: %s\n", static_cast<unsigned long>(run.exitCode), run.err.c_str());
    return 1;
  }
  return 0;
}

// Typing with quillsvc.dll in tsfhost, timed per key: from the key's message to the candidate window
// painted, split into the text service's own code (and the lookups in it), the framework calls it
// makes and the paint. A few thousand keys of common words typed letter by letter, picked by number,
// Tab or Space, and now and then a common misspelling ended by Space. Runs the build's tsfhost, loader
// and default dictionary in a namespace of its own; --match forgiving makes the tab forgive spelling
// mistakes (through the loader's options file, as the settings sheet does).
//   typing_bench.exe [--match exact|forgiving] [WORDS]     (default 400 words, about 2300 keys)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/options_record.h"
#include "common/settings_record.h"
#include "tools/tsfhost/host_run_testing.h"

namespace {

using namespace quillet::tsfhost::testing;

constexpr const char* kWords[] = {"the",      "quick",     "brown",   "fox",       "jumped",     "over",    "lazy",
                                  "dog",      "people",    "because", "through",   "between",    "another", "important",
                                  "question", "program",   "without", "something", "country",    "problem", "together",
                                  "children", "different", "thought", "example",   "government", "company", "system",
                                  "number",   "morning",   "evening", "language",  "keyboard",   "window",  "letter",
                                  "quill",    "paper",     "writing"};

// Misspellings people make, which a forgiving tab offers corrections for to the last letter.
constexpr const char* kMisspelled[] = {"becuse",   "thier",  "recieve",  "wich",    "teh",     "goverment",
                                       "seperate", "untill", "tommorow", "occured", "beleive", "definately"};

// Writes the options file that makes the default settings' first tab forgive spelling mistakes.
bool WriteForgivingOptions(const std::wstring& folder) {
  std::vector<uint8_t> options = quillet::DefaultOptionsRecord();
  const int16_t tab = static_cast<int16_t>(quillet::MakeDefaultSettings().view().tab(0).tabId());
  if (!quillet::WriteTabOptions(options.data(), options.size(), tab,
                                {quillet::CandidateOrder::kDictionary, false, true})) {
    return false;
  }
  HANDLE file = CreateFileW((folder + L"\\options.dat").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, options.data(), static_cast<DWORD>(options.size()), &written, nullptr) &&
                  written == options.size();
  CloseHandle(file);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  int words = 400;
  bool forgiving = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--match") == 0 && i + 1 < argc &&
        (std::strcmp(argv[i + 1], "exact") == 0 || std::strcmp(argv[i + 1], "forgiving") == 0)) {
      forgiving = std::strcmp(argv[++i], "forgiving") == 0;
    } else if (argv[i][0] >= '1' && argv[i][0] <= '9') {
      words = std::max(1, std::atoi(argv[i]));
    } else {
      std::fprintf(stderr, "usage: typing_bench [--match exact|forgiving] [WORDS]\n");
      return 2;
    }
  }
  std::mt19937 random(7);
  std::string keys;
  for (int i = 0; i < words; ++i) {
    if (random() % 8 == 0) {
      keys += kMisspelled[random() % (sizeof kMisspelled / sizeof kMisspelled[0])];
      keys += " ";
      continue;
    }
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
  if (forgiving && !WriteForgivingOptions(config)) {
    std::fprintf(stderr, "typing_bench: the options file could not be written\n");
    return 1;
  }

  const ProgramRun run =
      RunProgram(L"\"" + BinFolder() + L"tsfhost.exe\" --timing --keys \"" + Widen(keys) + L"\"", 1800000);
  StopLoader(ns);
  DeleteFileW((config + L"\\settings.dat").c_str());
  DeleteFileW((config + L"\\options.dat").c_str());
  RemoveDirectoryW(config.c_str());

  std::printf("typing %d words (%zu characters of key script) in tsfhost with quillsvc.dll, %s spelling\n", words,
              keys.size(), forgiving ? "forgiving" : "exact");
  for (const std::string& line : Lines(run.out)) {
    if (line.compare(0, 7, "timing ") == 0) std::printf("%s\n", line.c_str() + 7);
  }
  if (run.exitCode != 0) {
    std::fprintf(stderr, "tsfhost ended with %lu: %s\n", static_cast<unsigned long>(run.exitCode), run.err.c_str());
    return 1;
  }
  return 0;
}

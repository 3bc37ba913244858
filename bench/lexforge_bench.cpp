// The generator's throughput: building and exporting a generated 1,000,000-entry word list, against
// a plain read-and-write copy of the same files in the same run, and the memory pass 1 needs for two
// list sizes (it must not grow with the list).
//
//   lexforge_bench [FOLDER] [ENTRIES]   (default: the system's temporary folder, 1000000)
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "lexforge/builder.h"
#include "lexforge/export.h"

namespace {

// Heap in use and its peak, counted by the program's own operator new.
std::atomic<size_t> heapNow{0};
std::atomic<size_t> heapPeak{0};

}  // namespace

void* operator new(size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  const size_t now = heapNow += malloc_usable_size(p);
  size_t peak = heapPeak.load();
  while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
  }
  return p;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  heapNow -= malloc_usable_size(p);
  std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using quillet::Result;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Sorted keys of realistic lengths (3 to 14 letters, most near 8), a third with display and
// description texts.
void WriteWordList(const fs::path& path, size_t entries) {
  std::mt19937 random(12345);
  std::discrete_distribution<int> length({0, 0, 0, 2, 5, 8, 11, 13, 13, 12, 10, 8, 6, 4, 3});
  // Letter frequencies of English text, roughly.
  std::discrete_distribution<int> letter(
      {82, 15, 28, 43, 127, 22, 20, 61, 70, 2, 8, 40, 24, 67, 75, 19, 1, 60, 63, 91, 28, 10, 24, 2, 20, 1});
  std::vector<std::u16string> keys(entries);
  for (auto& k : keys) {
    const int n = length(random);
    for (int i = 0; i < n; ++i) k += static_cast<char16_t>(u'a' + letter(random));
  }
  std::sort(keys.begin(), keys.end());
  std::u16string text(1, static_cast<char16_t>(0xFEFF));
  for (size_t i = 0; i < keys.size(); ++i) {
    text += keys[i];
    if (i % 3 == 0) {
      std::u16string display = keys[i];
      display[0] = static_cast<char16_t>(display[0] - 0x20);
      text += u"\t" + display + u"\t\tgenerated entry number " + std::u16string(1 + i % 7, u'x');
    }
    text += u"\r\n";
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::string bytes(2 * text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The physical reference: what reading and writing the same bytes costs, as cp does it.
void CopyFile(const fs::path& from, const fs::path& to) {
  FILE* in = std::fopen(from.c_str(), "rb");
  FILE* out = std::fopen(to.c_str(), "wb");
  static char buffer[1 << 17];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) std::fwrite(buffer, 1, n, out);
  std::fclose(in);
  std::fclose(out);
}

struct Timing {
  double wall = 1e300;  // best of the runs
  double cpu = 1e300;
};

Timing Best(int runs, const std::function<void()>& once);

// A "Vm..." figure of /proc/self/status in KiB, 0 when absent.
long StatusKib(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.compare(0, prefix.size(), prefix) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
  }
  return 0;
}

// Runs pass 1 alone in a fresh child process: its heap peak, and how far its resident set grew (the
// mapped word list's pages count there too, though they are page cache, not memory of ours).
void MeasurePass1(const fs::path& folder, size_t entries) {
  const fs::path list = folder / ("pass1-" + std::to_string(entries) + ".txt");
  WriteWordList(list, entries);
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    std::ofstream("/proc/self/clear_refs") << "5";  // restarts the resident-set peak
    const long rssBefore = StatusKib("VmRSS");
    heapPeak = heapNow.load();
    const size_t before = heapNow;
    Result r;
    {
      quillet::lexforge::DictionaryBuilder builder((folder / "pass1").u16string(), list.u16string());
      r = builder.WriteSideFiles();
    }
    std::printf("pass 1, %8zu entries (list %5.1f MiB): result %d, heap peak +%6.1f KiB, resident peak +%6.1f MiB\n",
                entries, fs::file_size(list) / 1048576.0, quillet::ToInt(r), (heapPeak - before) / 1024.0,
                (StatusKib("VmHWM") - rssBefore) / 1024.0);
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  fs::remove(list);
}

// Processor time of this process so far, user and system.
double CpuSeconds() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Timing Best(int runs, const std::function<void()>& once) {
  Timing best;
  for (int i = 0; i < runs; ++i) {
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    once();
    best.wall = std::min(best.wall, Seconds(start));
    best.cpu = std::min(best.cpu, CpuSeconds() - cpu);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path folder = fs::path(argc > 1 ? argv[1] : fs::temp_directory_path().string()) / "lexforge-bench";
  const size_t entries = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1000000;
  fs::create_directories(folder);
  const fs::path list = folder / "words.txt";
  const fs::path dictionary = folder / "words.dict";
  const fs::path exported = folder / "back.txt";

  WriteWordList(list, entries);
  const double listMb = fs::file_size(list) / 1e6;
  std::printf("word list: %zu entries, %.1f MB, in %s\n", entries, listMb, folder.c_str());

  constexpr int kRuns = 5;
  const Timing copyList = Best(kRuns, [&] { CopyFile(list, folder / "copy.txt"); });
  Result built = Result::kSuccess;
  const Timing build = Best(
      kRuns, [&] { built = quillet::lexforge::ConvertTextToDictionary(dictionary.u16string(), list.u16string()); });
  const double dictMb = fs::file_size(dictionary) / 1e6;
  Result exportedResult = Result::kSuccess;
  const Timing exportTime = Best(kRuns, [&] {
    exportedResult = quillet::lexforge::ConvertDictionaryToText(exported.u16string(), dictionary.u16string());
  });
  const double textMb = fs::file_size(exported) / 1e6;
  const Timing copyText = Best(kRuns, [&] { CopyFile(exported, folder / "copy2.txt"); });

  std::printf("(best of %d runs; wall-clock seconds, processor seconds in brackets)\n", kRuns);
  std::printf("copy word list     %6.3f s [%6.3f]  %7.1f MB/s\n", copyList.wall, copyList.cpu, listMb / copyList.wall);
  std::printf("build   (result %d) %6.3f s [%6.3f]  %7.1f MB/s of list  %9.0f entries/s  %.2fx [%.2fx] the copy\n",
              quillet::ToInt(built), build.wall, build.cpu, listMb / build.wall, entries / build.wall,
              build.wall / copyList.wall, build.cpu / copyList.cpu);
  std::printf("dictionary %.1f MB; exported text %.1f MB\n", dictMb, textMb);
  std::printf("copy export        %6.3f s [%6.3f]  %7.1f MB/s\n", copyText.wall, copyText.cpu, textMb / copyText.wall);
  std::printf("export  (result %d) %6.3f s [%6.3f]  %7.1f MB/s of text  %9.0f entries/s  %.2fx [%.2fx] the copy\n",
              quillet::ToInt(exportedResult), exportTime.wall, exportTime.cpu, textMb / exportTime.wall,
              entries / exportTime.wall, exportTime.wall / copyText.wall, exportTime.cpu / copyText.cpu);

  MeasurePass1(folder, entries / 10);
  MeasurePass1(folder, entries);
  fs::remove_all(folder);
  return built == Result::kSuccess && exportedResult == Result::kSuccess ? 0 : 1;
}

// The loader's figures: block lock round trips (LockRead + Unlock per second, alone, against a
// reader, and against a writer), the time the loader takes to publish the default dictionary and a
// generated 1,000,000-entry one (start, and reload while a reader holds the old publication; both
// with the sound index it makes of each dictionary, whose own share and size are shown beside), and
// what a text service's open of the publications and its look for new ones cost.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/dict_image_testing.h"
#include "ipc/shared_block.h"
#include "lexwarden/warden.h"
#include "lookup/published_data.h"
#include "lookup/sound_key.h"
#include "platform/process.h"
#include "platform/test_namespace.h"
#include "platform/user_data.h"

namespace {

using namespace quillet;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Read lock round trips (taken and given back) per second for about `seconds`, while `other` runs in another thread.
template <typename Other>
void LockFigure(const char* label, double seconds, Other other) {
  std::atomic<bool> stop{false};
  std::atomic<long> otherOps{0};
  std::thread t([&] {
    SharedBlock block;
    block.policy = kToolLockPolicy;
    if (OpenSettingsBlock(block) != Result::kSuccess) return;
    while (!stop.load(std::memory_order_relaxed)) {
      if (other(block)) otherOps.fetch_add(1, std::memory_order_relaxed);
    }
    CloseBlock(block, false);
  });
  SharedBlock block;
  block.policy = kToolLockPolicy;
  if (OpenSettingsBlock(block) != Result::kSuccess) {
    std::printf("%-34s cannot open the settings block\n", label);
    stop = true;
    t.join();
    return;
  }
  long ops = 0, failures = 0;
  const auto start = Clock::now();
  while (Seconds(Clock::now() - start) < seconds) {
    if (BlockReadLock(block)) {
      ++ops;
    } else {
      ++failures;
    }
  }
  const double elapsed = Seconds(Clock::now() - start);
  stop = true;
  t.join();
  CloseBlock(block, false);
  std::printf("%-34s %12.0f round trips/s  (other party: %10.0f/s, failed waits %ld)\n", label, ops / elapsed,
              otherOps.load() / elapsed, failures);
}

std::vector<uint8_t> GeneratedDictionary(size_t count) {
  // Realistic keys: 2 to 14 lowercase letters, sorted, unique; a third with a display text.
  std::mt19937 rng(12345);
  std::vector<std::u16string> keys;
  keys.reserve(count + count / 10);
  while (keys.size() < count + count / 20) {
    const size_t n = 2 + rng() % 13;
    std::u16string k(n, u'a');
    for (char16_t& c : k) c = static_cast<char16_t>(u'a' + rng() % 26);
    keys.push_back(k);
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  keys.resize(std::min(keys.size(), count));
  std::vector<quillet::testing::ImageEntry> entries(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    entries[i].key = keys[i];
    if (i % 3 == 0) entries[i].display = u"X" + keys[i];
  }
  return quillet::testing::BuildDictionaryImage(entries);
}

// The time the loader spends on the sound index of one dictionary (the best of three), and its size.
void SoundIndexFigure(const fs::path& dictionary, double* seconds, size_t* bytes) {
  std::ifstream in(dictionary, std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  DictionaryView view;
  *seconds = 0;
  *bytes = 0;
  if (!DictionaryView::FromFile(file.data(), file.size(), &view)) return;
  for (int run = 0; run < 3; ++run) {
    const auto t0 = Clock::now();
    *bytes = BuildSoundIndex(view).size();
    const double took = Seconds(Clock::now() - t0);
    if (run == 0 || took < *seconds) *seconds = took;
  }
}

void PublishFigure(const char* label, const fs::path& dictionary) {
  const fs::path program = fs::temp_directory_path() / ("quillet-bench-" + std::to_string(std::random_device{}()));
  fs::create_directories(program);
  fs::copy_file(dictionary, program / "english.dict");
  const double mb = static_cast<double>(fs::file_size(dictionary)) / (1 << 20);

  warden::Warden warden({program.u16string(), u""});
  auto t0 = Clock::now();
  const int status = ToInt(warden.Start());
  const double start = Seconds(Clock::now() - t0);

  // A text service's open, and its look for new publications at every new word.
  PublishedData holder;
  t0 = Clock::now();
  const int opened = ToInt(holder.Open());
  const double open = Seconds(Clock::now() - t0);
  const bool sounds = holder.sounds(0) != nullptr;
  constexpr int kLooks = 100000;
  t0 = Clock::now();
  for (int i = 0; i < kLooks; ++i) holder.Refresh();
  const double look = Seconds(Clock::now() - t0) / kLooks;

  // A reload while that text service holds the old publication.
  const uint64_t before = warden.publications();
  t0 = Clock::now();
  warden.HandleMessage(kLoaderReloadMessage, 0, 1);
  while (warden.publications() == before && Seconds(Clock::now() - t0) < 60) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const double reload = Seconds(Clock::now() - t0);
  holder.Close();
  std::printf("%-34s %7.1f MB file: start %8.1f ms (status %d), reload %8.1f ms\n", label, mb, start * 1000, status,
              reload * 1000);
  std::printf("%-34s open %8.3f ms (result %d), look for new ones %6.3f us\n", "  a text service's", open * 1000,
              opened, look * 1e6);
  double soundSeconds = 0;
  size_t soundBytes = 0;
  SoundIndexFigure(dictionary, &soundSeconds, &soundBytes);
  std::printf("%-34s %8.1f ms of that, %6.1f MB (%s to the text service)\n", "  the sound index", soundSeconds * 1000,
              static_cast<double>(soundBytes) / (1 << 20), sounds ? "published" : "NOT published");
  warden.Stop();
  std::error_code ec;
  fs::remove_all(program, ec);
}

}  // namespace

int main() {
  // Objects of its own, away from a loader the user runs.
  const std::string ns = "bench" + std::to_string(std::random_device{}());
  quillet::testing::UseNamespace(ns);
  const fs::path work = fs::temp_directory_path() / ("quillet-bench-lock-" + std::to_string(std::random_device{}()));
  fs::create_directories(work);

  {
    std::printf("== block lock\n");
    warden::Warden warden({work.u16string(), u""});
    (void)warden.Start();  // the blocks are made even without a dictionary
    LockFigure("LockRead+Unlock, alone", 1.0, [](SharedBlock&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      return false;
    });
    LockFigure("LockRead+Unlock, against a reader", 1.0, [](SharedBlock& b) { return BlockReadLock(b).held(); });
    std::vector<uint8_t> copy(kTabsSection.size());
    LockFigure("LockRead+Unlock, against a writer", 1.0, [&copy](SharedBlock& b) {
      BlockWriteLock lock(b);
      if (lock) std::memcpy(b.view() + kTabsSection.begin, copy.data(), copy.size());
      return lock.held();
    });
    warden.Stop();
  }

  std::printf("== publishing\n");
  const fs::path english = fs::path(platform::ModuleFolder()) / "english.dict";
  if (fs::exists(english)) {
    PublishFigure("default dictionary", english);
  } else {
    std::printf("default dictionary: %s not built, skipped\n", english.string().c_str());
  }
  const fs::path big = work / "million.dict";
  {
    const std::vector<uint8_t> bytes = GeneratedDictionary(1000000);
    std::ofstream(big, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  PublishFigure("1,000,000 entries", big);
  std::error_code ec;
  fs::remove_all(work, ec);
  return 0;
}

// The real loader, several reader processes and a writer, all at once for a few seconds: the writer
// rewrites settings sections and has the loader keep them and reload the dictionaries again and
// again. Readers must never see a torn section or a damaged dictionary, and never read outside a view
// (AddressSanitizer natively). Timing is never asserted.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/options_record.h"
#include "ipc/loader_link.h"
#include "ipc/shared_block.h"
#include "lexwarden/stress_common.h"
#include "lexwarden/warden_testing.h"
#include "lookup/learning_reporter.h"
#include "lookup/tab_source_set.h"
#include "platform/kept_file.h"
#include "platform/process.h"
#include "platform/test_namespace.h"
#include "platform/user_data.h"

namespace quillet::warden {
namespace {

using namespace stress;

// A program built next to this test.
std::u16string Program(const char16_t* name) { return quillet::testing::SiblingProgram(name); }

// The first handshake with a loader started here. Under Wine a program counts as ready a moment before
// its window exists, so a window not found yet is looked for again, as the loader link does.
Result FirstHandshake() {
  Result r = Result::kGeneralFailure;
  quillet::testing::Eventually([&] {
    r = SendToLoader(kLoaderHandshakeMessage, 0, 0);
    return r != Result::kGeneralFailure;
  });
  return r;
}

// A loader as the text service starts it, serving once this returns.
void StartLoader(platform::Process* loader) {
  *loader = platform::Process();
  platform::OsError error = 0;
  ASSERT_TRUE(loader->Start(Program(u"lexwarden"), u"from service", &error)) << error;
  ASSERT_EQ(loader->WaitUntilReady(10000, &error), platform::WaitResult::kSignalled);
  ASSERT_EQ(FirstHandshake(), Result::kSuccess);
}

void WriteDictionaries(const std::u16string& folder) {
  for (size_t d = 0; d < 3; ++d) {
    testing::WriteBytes(DictionaryPath(folder, d),
                        testing::MakeDictionary(kDictionaries[d].prefix, kDictionaries[d].count));
  }
}

constexpr int kReaders = 3;
constexpr int kDurationMs = 3000;

TEST(LoaderStress, ReadersNeverSeeTornSectionsWhileTheLoaderRepublishes) {
  testing::UseFreshNamespace();
  testing::TempFolder data;
  testing::TempFolder config;
  WriteDictionaries(data.path());
  const SettingsRecord initial = Variant(data.path(), 0, 0);
  testing::WriteBytes(config.File(u"settings.dat"), std::vector<uint8_t>(initial.data(), initial.data() + 15700));
  platform::SetEnvironmentValue(u"QUILLET_CONFIG_DIR", config.path());
  platform::SetEnvironmentValue(u"QUILLET_STRESS_DIR", data.path());
  platform::SetEnvironmentValue(u"QUILLET_STRESS_MS", std::u16string(u"3000"));

  platform::Process loader;
  ASSERT_NO_FATAL_FAILURE(StartLoader(&loader));

  platform::OsError error = 0;
  std::vector<platform::Process> readers(kReaders);
  for (platform::Process& reader : readers) ASSERT_TRUE(reader.Start(Program(u"stress_reader"), u"", &error)) << error;

  SharedBlock settings;
  ASSERT_EQ(OpenSettingsBlock(settings), Result::kSuccess);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDurationMs);
  int writes = 0;
  int reloads = 0;
  while (std::chrono::steady_clock::now() < end) {
    const SettingsRecord next = Variant(data.path(), static_cast<size_t>(writes), static_cast<uint8_t>(writes));
    {
      BlockWriteLock lock(settings);
      ASSERT_TRUE(lock);
      CopySections(next.view(), SettingsView(settings.view(), settings.viewSize()), true, true);
    }
    ++writes;
    if (writes % 4 == 0) {
      EXPECT_EQ(SendToLoader(kLoaderReloadMessage, 1, 1), Result::kSuccess);
      ++reloads;
    }
  }
  CloseBlock(settings, false);

  for (platform::Process& reader : readers) {
    int code = -1;
    ASSERT_TRUE(reader.WaitForExit(30000, &code));
    EXPECT_EQ(code, 0) << "1: torn settings section, 2: damaged dictionary, 3: nothing read, 4: a sound index of "
                          "another dictionary, or none";
  }
  // Still serving after all that, and it kept what was written last.
  EXPECT_EQ(SendToLoader(kLoaderReloadMessage, 1, 1), Result::kSuccess);
  EXPECT_EQ(SendToLoader(kLoaderHandshakeMessage, 0, 0), Result::kSuccess);
  const std::vector<uint8_t> saved = testing::ReadBytes(config.File(u"settings.dat"));
  ASSERT_EQ(saved.size(), 15700u);
  EXPECT_TRUE(TabsWhole(saved.data()));
  EXPECT_TRUE(DictionariesWhole(saved.data(), data.path()));
  loader.Kill();
  std::printf("%d section writes, %d reloads\n", writes, reloads);
}

TEST(LoaderStress, ASecondLoaderLeavesAtOnceAndTheFirstKeepsServing) {
  testing::UseFreshNamespace();
  testing::TempFolder config;
  platform::SetEnvironmentValue(u"QUILLET_CONFIG_DIR", config.path());
  platform::Process first;
  platform::OsError error = 0;
  ASSERT_TRUE(first.Start(Program(u"lexwarden"), u"from service", &error));
  ASSERT_EQ(first.WaitUntilReady(10000, &error), platform::WaitResult::kSignalled);
  const Result handshake = FirstHandshake();
  EXPECT_TRUE(handshake == Result::kSuccess || handshake == Result::kFileOpenFailed)
      << ToInt(handshake);  // english.dict may not be built here

  platform::Process second;  // started by hand: no command line
  ASSERT_TRUE(second.Start(Program(u"lexwarden"), u"", &error));
  int code = -1;
  ASSERT_TRUE(second.WaitForExit(15000, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(SendToLoader(kLoaderHandshakeMessage, 0, 0), handshake);
  first.Kill();
}

// A loader killed at any moment: while it publishes, while it keeps a settings record, while it
// drains what was written. Applications that had what it published keep typing with it; the next
// loader serves at once, takes over the locks the dead one held, and every file it kept is whole.
TEST(LoaderStress, ALoaderKilledAtAnyMomentLeavesNoApplicationStuckAndNoFileDamaged) {
  testing::UseFreshNamespace();
  testing::TempFolder data;
  testing::TempFolder config;
  WriteDictionaries(data.path());
  // Settings to type with, ten of them: the dictionaries in turning order, the first tab's title
  // saying which one it is.
  auto variant = [&](size_t v) {
    SettingsRecord r = MakeDefaultSettings();
    SettingsView s = r.view();
    s.SetDictionaryCount(0);
    for (size_t d = 0; d < 3; ++d) EXPECT_TRUE(AddDictionary(s, DictionaryPath(data.path(), (d + v) % 3)));
    s.tab(0).SetTitle(u"v" + std::u16string(1, static_cast<char16_t>(u'0' + v % 10)));
    return std::vector<uint8_t>(r.data(), r.data() + kSettingsRecordSize);
  };
  auto isVariant = [&](const std::vector<uint8_t>& kept) {
    for (size_t v = 0; v < 10; ++v) {
      if (kept == variant(v)) return true;
    }
    return false;
  };
  testing::WriteBytes(config.File(u"settings.dat"), variant(0));
  platform::SetEnvironmentValue(u"QUILLET_CONFIG_DIR", config.path());

  // What a text service does at a new word: its candidates, from what it holds or what it opens now.
  auto typed = [](PublishedData& published, TabSourceSet& set) {
    set.Clear();
    published.Refresh();
    set.Rebuild();
    return set.SetPrefix(u"k") > 0;
  };

  platform::Process loader;
  ASSERT_NO_FATAL_FAILURE(StartLoader(&loader));
  // An application that typed before the first kill.
  PublishedData published;
  TabSourceSet before(published);
  LearningReporter reporter;
  ASSERT_EQ(published.Open(), Result::kSuccess);
  ASSERT_TRUE(reporter.Open());
  std::mt19937 rng(20);
  constexpr int kKills = 24;
  for (int kill = 0; kill < kKills; ++kill) {
    // Work of every kind, then the kill at a moment of its own.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(rng() % 1500);
    SharedBlock settings;
    settings.policy = kToolLockPolicy;
    ASSERT_EQ(OpenSettingsBlock(settings), Result::kSuccess);
    for (int n = 0; std::chrono::steady_clock::now() < until; ++n) {
      reporter.ReportWritten(u"kaa kab kac. ");
      if (n % 3 == 0) {
        const std::vector<uint8_t> next = variant(rng() % 10);
        if (BlockWriteLock lock(settings); lock) std::memcpy(settings.view(), next.data(), next.size());
        (void)SendToLoader(kLoaderReloadMessage, 1, rng() % 2);
      }
    }
    CloseBlock(settings, false);
    loader.Kill();
    ASSERT_TRUE(loader.WaitForExit(10000, nullptr));

    EXPECT_TRUE(typed(published, before)) << "kill " << kill;
    for (const char16_t* name : {u"settings.dat", u"options.dat"}) {
      const std::vector<uint8_t> kept = testing::ReadBytes(config.File(name));
      if (name[0] == u's') {
        EXPECT_TRUE(isVariant(kept)) << "kill " << kill;
      } else if (!kept.empty()) {
        EXPECT_TRUE(ValidOptionsRecord(kept.data(), kept.size())) << "kill " << kill;
      }
    }
    ASSERT_NO_FATAL_FAILURE(StartLoader(&loader));
    PublishedData fresh;  // an application that starts typing now
    TabSourceSet after(fresh);
    EXPECT_EQ(fresh.Open(), Result::kSuccess) << "kill " << kill;
    EXPECT_TRUE(typed(fresh, after)) << "kill " << kill;
  }
  // The last loader keeps what it is given, after every lock the dead ones held was taken over.
  const std::vector<uint8_t> last = variant(7);
  {
    SharedBlock settings;
    settings.policy = kToolLockPolicy;
    ASSERT_EQ(OpenSettingsBlock(settings), Result::kSuccess);
    BlockWriteLock lock(settings);
    ASSERT_TRUE(lock);
    std::memcpy(settings.view(), last.data(), last.size());
  }
  EXPECT_EQ(SendToLoader(kLoaderReloadMessage, 1, 1), Result::kSuccess);
  EXPECT_TRUE(quillet::testing::Eventually([&] { return testing::ReadBytes(config.File(u"settings.dat")) == last; }));
  loader.Kill();
  const platform::KeptContent learned =
      platform::KeptFile(config.File(u"learned.dat"), kMaxLearnedFileSize, &IsLearnedStore).Load();
  EXPECT_TRUE(learned.origin == platform::KeptOrigin::kFile || learned.origin == platform::KeptOrigin::kFirstRun);
}

}  // namespace
}  // namespace quillet::warden

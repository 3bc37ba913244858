// EnsureLoader and SendToLoader across real processes, against stand-in loaders that misbehave on
// purpose (loader_stub.cpp). Every test runs in a namespace of its own.
#include "ipc/loader_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/result.h"
#include "platform/process.h"
#include "platform/test_namespace.h"
#include "platform/user_data.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kStubQuit = 0x8010;

// A program built next to this test.
std::u16string Program(const char16_t* name) { return quillet::testing::SiblingProgram(name); }

class LoaderLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    const std::string id = "link" + std::to_string(rd()) + "x" + std::to_string(++counter_);
    quillet::testing::UseNamespace(id);
    folder_ = fs::temp_directory_path() / ("quillet-link-" + id);
    fs::create_directories(folder_);
    platform::SetEnvironmentValue(u"QUILLET_CONFIG_DIR", folder_.u16string());
  }
  void TearDown() override {
    static_cast<void>(SendToLoader(kStubQuit, 0, 0));  // ends a stub that is still serving
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  std::vector<std::string> Log() const {
    std::ifstream in(folder_ / "stub.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static int counter_;
  fs::path folder_;
};

int LoaderLinkTest::counter_ = 0;

TEST_F(LoaderLinkTest, WithoutTheProgramTheStartFailsAndTheLockIsGivenBack) {
  platform::OsError error = 0;
  EXPECT_EQ(EnsureLoaderAt(Program(u"no_such_loader"), &error, kFromService), Result::kLoaderStartFailed);
  EXPECT_NE(error, 0u);
  // A lock left taken would make this wait and fail with 9.
  EXPECT_EQ(EnsureLoaderAt(Program(u"no_such_loader"), &error, kFromService), Result::kLoaderStartFailed);
  EXPECT_EQ(SendToLoader(kLoaderReloadMessage, 0, 1), Result::kGeneralFailure);  // no loader window
  // A path that does not fit the 260-character buffer is refused before anything starts.
  EXPECT_EQ(EnsureLoaderAt(std::u16string(300, u'a'), &error, kFromService), Result::kLoaderPathFailed);
  EXPECT_EQ(EnsureLoaderAt(u"", &error, kFromService), Result::kLoaderPathFailed);
  EXPECT_EQ(EnsureLoaderAt(Program(u"no_such_loader"), &error, kFromService), Result::kLoaderStartFailed);
}

TEST_F(LoaderLinkTest, ALoaderThatNeverMakesItsWindowGivesOne) {
  platform::OsError error = 0;
  EXPECT_EQ(EnsureLoaderAt(Program(u"loader_stub_silent"), &error, kFromService), Result::kGeneralFailure);
}

TEST_F(LoaderLinkTest, ALoaderThatNeverAnswersGivesTwentyFive) {
  platform::OsError error = 0;
  EXPECT_EQ(EnsureLoaderAt(Program(u"loader_stub_mute"), &error, kFromService), Result::kLoaderNoAnswer);
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));  // let the stub finish its late answer
}

TEST_F(LoaderLinkTest, TheLoadersOwnAnswerToTheHandshakeIsTheResult) {
  platform::OsError error = 0;
  EXPECT_EQ(EnsureLoaderAt(Program(u"loader_stub_seven"), &error, kFromSetting), static_cast<Result>(7));
}

TEST_F(LoaderLinkTest, ARunningLoaderIsNotStartedAgainNorAsked) {
  platform::OsError error = 0;
  // The command line is handed over cut to the 19 characters of its buffer.
  ASSERT_EQ(EnsureLoaderAt(Program(u"loader_stub_counting"), &error, u"from service and more"), Result::kSuccess);
  const std::vector<std::string> afterStart = Log();
  ASSERT_EQ(afterStart.size(), 2u);
  EXPECT_EQ(afterStart[0], "start from service and mo");
  EXPECT_EQ(afterStart[1], "message " + std::to_string(kLoaderHandshakeMessage));

  EXPECT_EQ(EnsureLoaderAt(Program(u"loader_stub_counting"), &error, kFromService), Result::kSuccess);
  EXPECT_EQ(Log(), afterStart);

  EXPECT_EQ(SendToLoader(kLoaderReloadMessage, 1, 0), Result::kSuccess);
  EXPECT_EQ(Log().back(), "message " + std::to_string(kLoaderReloadMessage));
}

// As setup starts the loader and runs a tool at once: the tool finds the presence mark before the
// window, and waits for the window rather than failing.
TEST_F(LoaderLinkTest, ALoaderStartedElsewhereIsAwaitedUntilItServes) {
  platform::Process loader;
  platform::OsError error = 0;
  ASSERT_TRUE(loader.Start(Program(u"loader_stub_late"), u"", &error)) << error;
  for (int i = 0; i < 200 && !LoaderRuns(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(LoaderRuns());
  EXPECT_EQ(AwaitLoader(kLoaderIdleTimeoutMs, &error), Result::kSuccess);
  EXPECT_EQ(Log().back(), "message " + std::to_string(kLoaderHandshakeMessage));
}

TEST_F(LoaderLinkTest, TwoProcessesEnsuringAtOnceStartOneLoader) {
  platform::SetEnvironmentValue(u"QUILLET_TEST_LOADER", Program(u"loader_stub_counting"));
  platform::Process clients[3];
  for (platform::Process& client : clients) {
    platform::OsError error = 0;
    ASSERT_TRUE(client.Start(Program(u"loader_client"), u"", &error)) << error;
  }
  for (platform::Process& client : clients) {
    int code = -1;
    ASSERT_TRUE(client.WaitForExit(30000, &code));
    EXPECT_EQ(code, 0);
  }
  int starts = 0;
  for (const std::string& line : Log()) starts += line.rfind("start", 0) == 0 ? 1 : 0;
  EXPECT_EQ(starts, 1);
}

// With a loader running, nothing waits, whoever holds the start lock. Without one, a text service
// waits for a start once; after a failed one it does not try again for a while, so a process that
// keeps the start lock costs one wait, not one per focus change.
TEST_F(LoaderLinkTest, AStartLockHeldElsewhereCostsOneWaitNotOnePerFocus) {
  platform::Event startLock;
  platform::OsError error = 0;
  ASSERT_TRUE(startLock.CreateOrOpen(kLoaderStartLockName, false, true, nullptr, &error));
  ASSERT_EQ(platform::Wait(startLock, 0, &error), platform::WaitResult::kSignalled);  // taken, never given back

  LoaderStarts starts(Program(u"loader_stub_counting"));
  EXPECT_EQ(starts.Ensure(kFromService, &error), Result::kWaitFailed);
  startLock.Set();
  EXPECT_EQ(starts.Ensure(kFromService, &error), Result::kWaitFailed) << "tried again at once";
  EXPECT_TRUE(Log().empty());

  // Another party starts it meanwhile: then everybody finds it at once.
  ASSERT_EQ(EnsureLoaderAt(Program(u"loader_stub_counting"), &error, kFromService), Result::kSuccess);
  ASSERT_EQ(platform::Wait(startLock, 0, &error), platform::WaitResult::kSignalled);
  EXPECT_EQ(starts.Ensure(kFromService, &error), Result::kSuccess);
  EXPECT_EQ(EnsureLoaderAt(Program(u"loader_stub_counting"), &error, kFromService), Result::kSuccess);
  startLock.Set();
  EXPECT_EQ(Log().size(), 2u) << "one start, one handshake";
}

}  // namespace
}  // namespace quillet

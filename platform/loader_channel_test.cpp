#include "platform/loader_channel.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/process.h"
#include "platform/test_namespace.h"

namespace quillet::platform {
namespace {

const bool kIsolated = testing::IsolateNamespace("pc");

TEST(LoaderChannelTest, NoLoaderMeansNotFound) {
  ASSERT_TRUE(kIsolated);
  intptr_t reply = 5;
  OsError error = 0;
  EXPECT_EQ(SendLoaderMessage(0x800B, 0, 0, 1000, &reply, &error), SendStatus::kNotFound);
  EXPECT_EQ(reply, 5);
}

// Starts the helper that serves the channel and waits until its window answers. Twice in full runs a
// helper made no window for as long as anyone waited, early in a young Wine prefix, while passing in
// every run alone: such a start is reported and made once more.
bool StartServing(Process& loader) {
  for (int attempt = 1; attempt <= 2; ++attempt) {
    OsError error = 0;
    if (!loader.Start(testing::SiblingProgram(u"platform_test_helper"), u"serve", &error)) {
      ADD_FAILURE() << "start failed: " << error;
      return false;
    }
    loader.WaitUntilReady(10000, &error);
    intptr_t reply = 0;
    if (testing::Eventually(
            [&] { return SendLoaderMessage(0x8001, 3, -4, 5000, &reply, &error) != SendStatus::kNotFound; }, 15000)) {
      return true;
    }
    int code = 0;
    const bool exited = loader.WaitForExit(0, &code);
    if (exited) {
      std::fprintf(stderr, "attempt %d: the helper made no window and exited with %d\n", attempt, code);
    } else {
      std::fprintf(stderr, "attempt %d: the helper made no window in 15 s; ended\n", attempt);
    }
    loader.Kill();
    loader.WaitForExit(5000, nullptr);
    loader = Process();
  }
  return false;
}

TEST(LoaderChannelTest, RoundTripTimeOutAndQuit) {
  Process loader;
  testing::KillOnExit loaderGuard(loader);
  ASSERT_TRUE(StartServing(loader));

  OsError error = 0;
  intptr_t reply = 0;
  ASSERT_EQ(SendLoaderMessage(0x8001, 3, -4, 5000, &reply, &error), SendStatus::kReplied);
  EXPECT_EQ(reply, 2996);
  ASSERT_EQ(SendLoaderMessage(0x8001, 0, -70000, 5000, &reply, &error), SendStatus::kReplied);
  EXPECT_EQ(reply, -70000) << "a negative lParam and reply survive the trip";
  ASSERT_EQ(SendLoaderMessage(0x800B, 0, 0, 5000, &reply, &error), SendStatus::kReplied);
  EXPECT_EQ(reply, -1);

  // The helper sleeps on 0x8002 longer than we wait; the loader is still usable afterwards.
  EXPECT_EQ(SendLoaderMessage(0x8002, 0, 0, 200, &reply, &error), SendStatus::kTimedOut);
  ASSERT_EQ(SendLoaderMessage(0x8001, 1, 1, 5000, &reply, &error), SendStatus::kReplied) << error;
  EXPECT_EQ(reply, 1001);

  ASSERT_EQ(SendLoaderMessage(0x8003, 0, 0, 5000, &reply, &error), SendStatus::kReplied);
  EXPECT_EQ(reply, 77);
  int code = -1;
  ASSERT_TRUE(loader.WaitForExit(10000, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(SendLoaderMessage(0x8001, 0, 0, 1000, &reply, &error), SendStatus::kNotFound);
}

}  // namespace
}  // namespace quillet::platform

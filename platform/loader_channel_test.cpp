#include "platform/loader_channel.h"

#include <gtest/gtest.h>

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

TEST(LoaderChannelTest, RoundTripTimeOutAndQuit) {
  Process loader;
  testing::KillOnExit loaderGuard(loader);
  OsError error = 0;
  ASSERT_TRUE(loader.Start(testing::SiblingProgram(u"platform_test_helper"), u"serve", &error)) << error;
  ASSERT_EQ(loader.WaitUntilReady(10000, &error), WaitResult::kSignalled) << error;

  // Ready says little for a console helper on Windows; its window may follow seconds later on a busy Wine.
  intptr_t reply = 0;
  ASSERT_TRUE(testing::Eventually(
      [&] { return SendLoaderMessage(0x8001, 3, -4, 5000, &reply, &error) != SendStatus::kNotFound; }, 30000));
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

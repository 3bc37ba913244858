#include "platform/process.h"

#include <gtest/gtest.h>

#include "platform/loader_channel.h"
#include "platform/test_namespace.h"

namespace quillet::platform {
namespace {

const bool kIsolated = testing::IsolateNamespace("pp");

std::u16string Helper() { return testing::SiblingProgram(u"platform_test_helper"); }

TEST(ModulePathTest, NamesThisProgramAndItsFolder) {
  ASSERT_TRUE(kIsolated);
  const std::u16string path = ModulePath();
  const std::u16string folder = ModuleFolder();
  ASSERT_FALSE(path.empty());
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(path.compare(0, folder.size(), folder), 0);
  EXPECT_NE(path.find(u"platform_test"), std::u16string::npos);
  const std::u16string joined = JoinPath(folder, u"x");
  EXPECT_EQ(joined.size(), folder.size() + 2);
  EXPECT_EQ(JoinPath(joined.substr(0, joined.size() - 1), u"y"), folder + joined[folder.size()] + u"y");
}

TEST(ProcessTest, StartReportsMissingProgram) {
  Process p;
  testing::KillOnExit pGuard(p);
  OsError error = 0;
  EXPECT_FALSE(p.Start(ModuleFolder() + u"/no-such-program.exe", u"from service", &error));
  EXPECT_NE(error, 0u);
  EXPECT_FALSE(p.valid());
  EXPECT_FALSE(p.WaitForExit(0, nullptr));
  EXPECT_EQ(p.WaitUntilReady(0, &error), WaitResult::kFailed);
}

TEST(ProcessTest, ExitCodeAndReadiness) {
  Process quick;
  testing::KillOnExit quickGuard(quick);
  OsError error = 0;
  ASSERT_TRUE(quick.Start(Helper(), u"exit 7", &error)) << error;
  int code = -1;
  ASSERT_TRUE(quick.WaitForExit(10000, &code));
  EXPECT_EQ(code, 7);

  Process ready;

  testing::KillOnExit readyGuard(ready);
  ASSERT_TRUE(ready.Start(Helper(), u"serve", &error)) << error;
  ASSERT_EQ(ready.WaitUntilReady(10000, &error), WaitResult::kSignalled) << error;
  EXPECT_EQ(ready.WaitUntilReady(0, &error), WaitResult::kSignalled) << "readiness is remembered";
  EXPECT_FALSE(ready.WaitForExit(0, nullptr));
  ready.Kill();
  ASSERT_TRUE(ready.WaitForExit(10000, &code));
}

TEST(ProcessTest, ReadyWaitEndsWhenTheChildDiesFirst) {
  Process quits;
  testing::KillOnExit quitsGuard(quits);
  OsError error = 0;
  ASSERT_TRUE(quits.Start(Helper(), u"exit 3", &error)) << error;
  int code = -1;
  ASSERT_TRUE(quits.WaitForExit(10000, &code));
  // Never ready, and no wait for the whole time-out.
  EXPECT_NE(quits.WaitUntilReady(60000, &error), WaitResult::kSignalled);
}

}  // namespace
}  // namespace quillet::platform

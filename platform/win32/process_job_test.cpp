// A helper started from a host that runs in a kill-on-close job (a browser's sandbox, say) outlives
// the host: it is started outside the job, where the job allows it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/named_objects.h"
#include "platform/process.h"
#include "platform/test_namespace.h"

namespace quillet::platform {
namespace {

const bool kIsolated = testing::IsolateNamespace("job");

TEST(ProcessJobTest, AHelperStartedInsideAKillOnCloseJobOutlivesIt) {
  ASSERT_TRUE(kIsolated);
  Process host;
  testing::KillOnExit guard(host);
  OsError error = 0;
  ASSERT_TRUE(host.Start(testing::SiblingProgram(u"platform_test_helper"),
                         u"jailed Local\\@@JOBHELD@@ Local\\@@JOBMAP@@", &error))
      << error;
  int code = -1;
  ASSERT_TRUE(host.WaitForExit(30000, &code));
  ASSERT_EQ(code, 0) << "5: no job here, 6: the helper did not start, 7: it never held its mapping";
  // The job has ended whatever was left in it; the helper still holds its mapping.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Mapping held;
  EXPECT_TRUE(held.Open(u"Local\\@@JOBMAP@@", &error, true)) << error;
}

}  // namespace
}  // namespace quillet::platform

// Reports to the learning inbox while another process misbehaves with its lock.
#include "lookup/learning_reporter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "ipc/shared_block_testing.h"
#include "platform/process.h"
#include "platform/test_namespace.h"

namespace quillet {
namespace {

// A process that takes the inbox's token, or shuts its writers' gate, and keeps it: writing costs a
// host one short wait, and then none for a while, instead of a wait at every word.
TEST(LearningReporterTest, AProcessThatKeepsTheInboxLockCostsOneShortWaitNotOnePerWord) {
  for (const char16_t* how : {u"token", u"gate"}) {
    ASSERT_TRUE(testing::IsolateNamespace("rep"));
    platform::Mapping inbox;  // as the loader makes it
    platform::OsError error = 0;
    ASSERT_TRUE(inbox.Create(kLearnInboxBlockNames.mapping, kLearnInboxSize, nullptr, &error) && inbox.Map(&error));
    InitLearnInbox(inbox.data(), kLearnInboxSize);
    LearningReporter reporter;
    ASSERT_TRUE(reporter.Open());
    reporter.ReportWritten(u"before");

    platform::Event opened;
    ASSERT_TRUE(opened.CreateOrOpen(kOpenedEventName, true, false, nullptr, &error));
    platform::Process hostile;
    testing::KillOnExit guard(hostile);
    ASSERT_TRUE(hostile.Start(testing::SiblingProgram(u"shared_block_test_helper"),
                              u"hostile inbox " + std::u16string(how) + u" 60000", &error));
    ASSERT_EQ(platform::Wait(opened, 20000, &error), platform::WaitResult::kSignalled);

    const auto start = std::chrono::steady_clock::now();
    for (int word = 0; word < 200; ++word) reporter.ReportWritten(u"one two. ");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "waited at every word";
    hostile.Kill();
    // A shut gate keeps readers out, not writers: the words still go in.
    const std::vector<LearnEvent> reported = TakeLearnEvents(inbox.data(), kLearnInboxSize);
    ASSERT_EQ(reported.size(), std::u16string(how) == u"gate" ? 601u : 1u) << std::string(how, how + 4);
    EXPECT_EQ(reported[0].word, u"before");
  }
}

}  // namespace
}  // namespace quillet

#include "lexforge/order_command.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "ipc/shared_block.h"
#include "lexwarden/test_support.h"
#include "lexwarden/warden.h"
#include "platform/loader_channel_testing.h"

namespace quillet::lexforge {
namespace {

// A loader in this process with its files in a folder of its own, answering on the real channel.
class OrderCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    warden::testing::UseFreshNamespace();
    // 10: the default settings name a dictionary this folder lacks; the settings are served.
    const Result started = warden_.Start();
    ASSERT_TRUE(started == Result::kSuccess || started == Result::kFileOpenFailed) << ToInt(started);
    channel_ = std::make_unique<quillet::testing::RecordingChannel>(
        [this](uint32_t m, uintptr_t w, intptr_t l) { return warden_.HandleMessage(m, w, l); });
  }
  void TearDown() override {
    if (channel_) channel_->Stop();
    warden_.Stop();
  }

  TabOptions Published(int16_t tabId) {
    SharedBlock block;
    TabOptions options;
    if (OpenOptionsBlock(block) == Result::kSuccess) {
      const BlockReadLock lock(block);
      if (lock.held()) options = ReadTabOptions(block.view(), kOptionsRecordSize, tabId);
    }
    CloseBlock(block, false);
    return options;
  }

  warden::testing::TempFolder folder_;
  warden::Warden warden_{{folder_.path(), folder_.File(u"settings.dat")}};
  std::unique_ptr<quillet::testing::RecordingChannel> channel_;
};

TEST_F(OrderCommandTest, SetsTheFirstTabsOrderAndTheLoaderKeepsIt) {
  std::ostringstream out, err;
  ASSERT_EQ(SetTabOrder(0, CandidateOrder::kLearning, out, err), 0) << err.str();
  // The default settings' first tab has id 0; what it had besides the order stays.
  EXPECT_EQ(Published(0).order, CandidateOrder::kLearning);
  const std::vector<uint8_t> kept = warden::testing::ReadBytes(folder_.File(u"options.dat"));
  ASSERT_EQ(kept.size(), kOptionsRecordSize);
  EXPECT_EQ(ReadTabOptions(kept.data(), kept.size(), 0).order, CandidateOrder::kLearning);

  ASSERT_EQ(SetTabOrder(0, CandidateOrder::kDictionary, out, err), 0) << err.str();
  EXPECT_EQ(Published(0).order, CandidateOrder::kDictionary);
}

TEST_F(OrderCommandTest, RefusesATabThatDoesNotExistAndBadCommandLines) {
  std::ostringstream out, err;
  EXPECT_EQ(SetTabOrder(99, CandidateOrder::kFrequent, out, err), 1);
  EXPECT_NE(err.str().find("no tab 99"), std::string::npos) << err.str();
  EXPECT_EQ(RunOrder({u"order"}, out, err), 2);
  EXPECT_EQ(RunOrder({u"order", u"sideways"}, out, err), 2);
  EXPECT_EQ(RunOrder({u"order", u"--tab", u"x", u"learning"}, out, err), 2);
  EXPECT_EQ(RunOrder({u"order", u"learning", u"frequent"}, out, err), 2);
}

}  // namespace
}  // namespace quillet::lexforge

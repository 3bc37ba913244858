#include "lexforge/order_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "ipc/shared_block.h"
#include "lexwarden/warden_testing.h"

namespace quillet::lexforge {
namespace {

// A loader in this process with its files in a folder of its own, answering on the real channel.
class OrderCommandTest : public ::testing::Test {
 protected:
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

  warden::testing::InProcessLoader loader_;
};

TEST_F(OrderCommandTest, SetsTheFirstTabsOrderAndTheLoaderKeepsIt) {
  std::ostringstream out, err;
  ASSERT_EQ(SetTabOrder(0, CandidateOrder::kLearning, out, err), 0) << err.str();
  // The default settings' first tab has id 0; what it had besides the order stays.
  EXPECT_EQ(Published(0).order, CandidateOrder::kLearning);
  const std::vector<uint8_t> kept = loader_.SavedFile(u"options.dat");
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

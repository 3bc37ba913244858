#include "quillsvc/service/key_table.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using A = KeyAction;

// The table itself is data; what the controller does with its entries is the controller's test.
TEST(KeyTableTest, LookUpTakesTheShiftColumnAndIgnoresKeysBeyondTheTable) {
  EXPECT_EQ(LookUpKey(vk::kSpace, false).action, A::CommitWithChar);
  EXPECT_EQ(LookUpKey(vk::kSpace, true).action, A::InsertChar);
  EXPECT_EQ(LookUpKey(vk::kOemPlus, true).value, 1);
  EXPECT_EQ(LookUpKey(0x100 + vk::kA, false).action, A::None);
  EXPECT_EQ(LookUpKey(0xFFFFFFFF, true).action, A::None);
}

}  // namespace
}  // namespace quillet

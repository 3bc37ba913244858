#include "quillsvc/com/guid_text.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(GuidTextTest, FieldsReadLittleEndianAndTheTailInOrder) {
  const uint8_t bytes[16] = {0x78, 0x56, 0x34, 0x12, 0xbc, 0x9a, 0xf0, 0xde,
                             0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
  const std::u16string text = GuidText(bytes);
  EXPECT_EQ(text, u"{12345678-9ABC-DEF0-0123-456789ABCDEF}");
  EXPECT_EQ(text.size(), kGuidTextLength);
}

TEST(GuidTextTest, ZeroAndAllOnes) {
  uint8_t bytes[16] = {};
  EXPECT_EQ(GuidText(bytes), u"{00000000-0000-0000-0000-000000000000}");
  for (uint8_t& b : bytes) b = 0xff;
  EXPECT_EQ(GuidText(bytes), u"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}");
}

}  // namespace
}  // namespace quillet

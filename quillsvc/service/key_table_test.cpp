#include "quillsvc/service/key_table.h"

#include <gtest/gtest.h>

#include <map>

namespace quillet {
namespace {

using A = KeyAction;

// The table written out a second time, key by key, from the keyboard's point of view.
std::map<uint32_t, KeyEntry> Expected() {
  std::map<uint32_t, KeyEntry> e = {
      {0x08, {A::DeleteChar, 0, A::None, 0}},
      {0x09, {A::SelectHighlighted, 0, A::None, 0}},
      {0x0D, {A::CommitTyped, 0, A::None, 0}},
      {0x10, {A::ToggleOpen, 0, A::None, 0}},
      {0x1B, {A::Cancel, 0, A::None, 0}},
      {0x20, {A::CommitWithChar, ' ', A::InsertChar, ' '}},
      {0x21, {A::Page, 0, A::None, 0}},
      {0x22, {A::Page, 1, A::None, 0}},
      {0x25, {A::MoveCaret, 0, A::None, 0}},
      {0x26, {A::MoveHighlight, 0, A::None, 0}},
      {0x27, {A::MoveCaret, 1, A::None, 0}},
      {0x28, {A::MoveHighlight, 1, A::None, 0}},
      {0x2E, {A::DeleteChar, 1, A::None, 0}},
      {0x30, {A::SelectByNumber, 9, A::CommitWithChar, ')'}},
      {0x31, {A::SelectByNumber, 0, A::CommitWithChar, '!'}},
      {0x32, {A::SelectByNumber, 1, A::CommitWithChar, '@'}},
      {0x33, {A::SelectByNumber, 2, A::CommitWithChar, '#'}},
      {0x34, {A::SelectByNumber, 3, A::CommitWithChar, '$'}},
      {0x35, {A::SelectByNumber, 4, A::CommitWithChar, '%'}},
      {0x36, {A::SelectByNumber, 5, A::CommitWithChar, '^'}},
      {0x37, {A::SelectByNumber, 6, A::CommitWithChar, '&'}},
      {0x38, {A::SelectByNumber, 7, A::CommitWithChar, '*'}},
      {0x39, {A::SelectByNumber, 8, A::CommitWithChar, '('}},
      {0x60, {A::SelectByNumber, 9, A::None, 0}},
      {0x6A, {A::CommitWithChar, '*', A::None, 0}},
      {0x6B, {A::CommitWithChar, '+', A::None, 0}},
      {0x6D, {A::CommitWithChar, '-', A::None, 0}},
      {0x6E, {A::CommitWithChar, '.', A::None, 0}},
      {0x6F, {A::CommitWithChar, '/', A::None, 0}},
      {0xBA, {A::CommitWithChar, ';', A::CommitWithChar, ':'}},
      {0xBB, {A::CommitWithChar, '=', A::SwitchTab, 1}},
      {0xBC, {A::CommitWithChar, ',', A::CommitWithChar, '<'}},
      {0xBD, {A::CommitWithChar, '-', A::SwitchTab, 0}},
      {0xBE, {A::CommitWithChar, '.', A::CommitWithChar, '>'}},
      {0xBF, {A::CommitWithChar, '/', A::CommitWithChar, '?'}},
      {0xC0, {A::CommitWithChar, '`', A::CommitWithChar, '~'}},
      {0xDB, {A::CommitWithChar, '[', A::CommitWithChar, '{'}},
      {0xDC, {A::CommitWithChar, '\\', A::CommitWithChar, '|'}},
      {0xDD, {A::CommitWithChar, ']', A::CommitWithChar, '}'}},
      {0xDE, {A::CommitWithChar, '\'', A::CommitWithChar, '"'}},
  };
  for (uint8_t i = 1; i <= 9; ++i) e[0x60 + i] = {A::SelectByNumber, static_cast<uint8_t>(i - 1), A::None, 0};
  for (uint8_t i = 0; i < 26; ++i) {
    e[0x41 + i] = {A::TypeLetter, static_cast<uint8_t>('a' + i), A::TypeLetter, static_cast<uint8_t>('A' + i)};
  }
  return e;
}

TEST(KeyTableTest, EveryKeyHasItsActionAndEveryOtherKeyNone) {
  const std::map<uint32_t, KeyEntry> expected = Expected();
  for (uint32_t key = 0; key < 256; ++key) {
    SCOPED_TRACE(key);
    const auto it = expected.find(key);
    const KeyEntry want = it == expected.end() ? KeyEntry{} : it->second;
    const KeyEntry& got = kKeyTable[key];
    EXPECT_EQ(got.action, want.action);
    EXPECT_EQ(got.value, want.value);
    EXPECT_EQ(got.shiftAction, want.shiftAction);
    EXPECT_EQ(got.shiftValue, want.shiftValue);
  }
}

TEST(KeyTableTest, LookUpTakesTheShiftColumnAndIgnoresKeysBeyondTheTable) {
  EXPECT_EQ(LookUpKey(vk::kSpace, false).action, A::CommitWithChar);
  EXPECT_EQ(LookUpKey(vk::kSpace, true).action, A::InsertChar);
  EXPECT_EQ(LookUpKey(vk::kOemPlus, true).value, 1);
  EXPECT_EQ(LookUpKey(0x100 + vk::kA, false).action, A::None);
  EXPECT_EQ(LookUpKey(0xFFFFFFFF, true).action, A::None);
}

}  // namespace
}  // namespace quillet

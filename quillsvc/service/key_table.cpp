#include "quillsvc/service/key_table.h"

namespace quillet {
namespace {

using A = KeyAction;

constexpr void Set(KeyTable& t, uint32_t key, A action, char16_t value, A shiftAction = A::None,
                   char16_t shiftValue = 0) {
  t[key] = KeyEntry{action, static_cast<uint8_t>(value), shiftAction, static_cast<uint8_t>(shiftValue)};
}

constexpr KeyTable MakeKeyTable() {
  KeyTable t{};
  Set(t, vk::kBack, A::DeleteChar, 0);
  Set(t, vk::kTab, A::SelectHighlighted, 0);
  Set(t, vk::kReturn, A::CommitTyped, 0);
  Set(t, vk::kShift, A::ToggleOpen, 0);
  Set(t, vk::kEscape, A::Cancel, 0);
  Set(t, vk::kSpace, A::CommitWithChar, u' ', A::InsertChar, u' ');
  Set(t, vk::kPrior, A::Page, 0);
  Set(t, vk::kNext, A::Page, 1);
  Set(t, vk::kLeft, A::MoveCaret, 0);
  Set(t, vk::kUp, A::MoveHighlight, 0);
  Set(t, vk::kRight, A::MoveCaret, 1);
  Set(t, vk::kDown, A::MoveHighlight, 1);
  Set(t, vk::kDelete, A::DeleteChar, 1, A::Forget, 0);

  // The digit row picks rows 1 to 9 and 0 picks the tenth; with Shift it types the US symbols.
  const char16_t shifted[] = u")!@#$%^&*(";
  for (uint32_t d = 0; d <= 9; ++d) {
    const uint8_t row = static_cast<uint8_t>(d == 0 ? 9 : d - 1);
    Set(t, vk::k0 + d, A::SelectByNumber, row, A::CommitWithChar, shifted[d]);
    Set(t, vk::kNumpad0 + d, A::SelectByNumber, row);
  }
  for (uint32_t i = 0; i < 26; ++i) {
    Set(t, vk::kA + i, A::TypeLetter, static_cast<char16_t>(u'a' + i), A::TypeLetter, static_cast<char16_t>(u'A' + i));
  }

  Set(t, vk::kMultiply, A::CommitWithChar, u'*');
  Set(t, vk::kAdd, A::CommitWithChar, u'+');
  Set(t, vk::kSubtract, A::CommitWithChar, u'-');
  Set(t, vk::kDecimal, A::CommitWithChar, u'.');
  Set(t, vk::kDivide, A::CommitWithChar, u'/');
  Set(t, vk::kOem1, A::CommitWithChar, u';', A::CommitWithChar, u':');
  Set(t, vk::kOemPlus, A::CommitWithChar, u'=', A::SwitchTab, 1);
  Set(t, vk::kOemComma, A::CommitWithChar, u',', A::CommitWithChar, u'<');
  Set(t, vk::kOemMinus, A::CommitWithChar, u'-', A::SwitchTab, 0);
  Set(t, vk::kOemPeriod, A::CommitWithChar, u'.', A::CommitWithChar, u'>');
  Set(t, vk::kOem2, A::CommitWithChar, u'/', A::CommitWithChar, u'?');
  Set(t, vk::kOem3, A::CommitWithChar, u'`', A::CommitWithChar, u'~');
  Set(t, vk::kOem4, A::CommitWithChar, u'[', A::CommitWithChar, u'{');
  Set(t, vk::kOem5, A::CommitWithChar, u'\\', A::CommitWithChar, u'|');
  Set(t, vk::kOem6, A::CommitWithChar, u']', A::CommitWithChar, u'}');
  Set(t, vk::kOem7, A::CommitWithChar, u'\'', A::CommitWithChar, u'"');
  return t;
}

}  // namespace

constexpr KeyTable kKeyTable = MakeKeyTable();

KeyCommand LookUpKey(uint32_t virtualKey, bool shift) {
  if (virtualKey >= kKeyTable.size()) return {KeyAction::None, 0};
  const KeyEntry& e = kKeyTable[virtualKey];
  return shift ? KeyCommand{e.shiftAction, e.shiftValue} : KeyCommand{e.action, e.value};
}

}  // namespace quillet

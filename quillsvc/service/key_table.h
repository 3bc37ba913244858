// What each key does while the input method handles it: one 4-byte entry per virtual-key code, the
// action and value without Shift, then with Shift held. The characters follow a US keyboard whatever
// layout is active; Alt is never looked at.
#pragma once

#include <array>
#include <cstdint>

namespace quillet {

// Windows virtual-key codes the key handling names (portable code sees keys as these numbers).
namespace vk {
inline constexpr uint32_t kBack = 0x08;
inline constexpr uint32_t kTab = 0x09;
inline constexpr uint32_t kReturn = 0x0D;
inline constexpr uint32_t kShift = 0x10;
inline constexpr uint32_t kControl = 0x11;
inline constexpr uint32_t kMenu = 0x12;  // Alt
inline constexpr uint32_t kCapital = 0x14;
inline constexpr uint32_t kEscape = 0x1B;
inline constexpr uint32_t kSpace = 0x20;
inline constexpr uint32_t kPrior = 0x21;
inline constexpr uint32_t kNext = 0x22;
inline constexpr uint32_t kLeft = 0x25;
inline constexpr uint32_t kUp = 0x26;
inline constexpr uint32_t kRight = 0x27;
inline constexpr uint32_t kDown = 0x28;
inline constexpr uint32_t kDelete = 0x2E;
inline constexpr uint32_t k0 = 0x30;
inline constexpr uint32_t k1 = 0x31;
inline constexpr uint32_t k9 = 0x39;
inline constexpr uint32_t kA = 0x41;
inline constexpr uint32_t kZ = 0x5A;
inline constexpr uint32_t kNumpad0 = 0x60;
inline constexpr uint32_t kNumpad1 = 0x61;
inline constexpr uint32_t kNumpad9 = 0x69;
inline constexpr uint32_t kMultiply = 0x6A;
inline constexpr uint32_t kAdd = 0x6B;
inline constexpr uint32_t kSubtract = 0x6D;
inline constexpr uint32_t kDecimal = 0x6E;
inline constexpr uint32_t kDivide = 0x6F;
inline constexpr uint32_t kOem1 = 0xBA;  // ; :
inline constexpr uint32_t kOemPlus = 0xBB;
inline constexpr uint32_t kOemComma = 0xBC;
inline constexpr uint32_t kOemMinus = 0xBD;
inline constexpr uint32_t kOemPeriod = 0xBE;
inline constexpr uint32_t kOem2 = 0xBF;  // / ?
inline constexpr uint32_t kOem3 = 0xC0;  // ` ~
inline constexpr uint32_t kOem4 = 0xDB;  // [ {
inline constexpr uint32_t kOem5 = 0xDC;  // \ |
inline constexpr uint32_t kOem6 = 0xDD;  // ] }
inline constexpr uint32_t kOem7 = 0xDE;  // ' "
}  // namespace vk

enum class KeyAction : uint8_t {
  TypeLetter = 0,         // value: the letter (Caps Lock inverts its case)
  InsertChar = 1,         // value: the character to insert into the composition
  CommitWithChar = 2,     // value: the character appended before the composition ends
  SelectByNumber = 3,     // value: row 0 to 9 of the visible page
  DeleteChar = 4,         // value: 0 before the caret, 1 after it
  SelectHighlighted = 5,  //
  CommitTyped = 6,        //
  Cancel = 7,             //
  SwitchTab = 8,          // value: 1 next, 0 previous
  Page = 9,               // value: 0 previous, 1 next
  MoveCaret = 10,         // value: 0 left, 1 right
  MoveHighlight = 11,     // value: 0 up, 1 down
  ToggleOpen = 12,        //
  None = 13,              //
  Forget = 14,            // the highlighted candidate is forgotten by learning (Shift+Delete)
};

struct KeyEntry {
  KeyAction action = KeyAction::None;
  uint8_t value = 0;
  KeyAction shiftAction = KeyAction::None;
  uint8_t shiftValue = 0;
};
static_assert(sizeof(KeyEntry) == 4, "a key entry is 4 bytes");

using KeyTable = std::array<KeyEntry, 256>;
static_assert(sizeof(KeyTable) == 1024, "the key table is 256 entries of 4 bytes");

extern const KeyTable kKeyTable;

// The action and value of a key, from the Shift column when Shift is held. Keys beyond the table
// (a window message may carry any number) do nothing.
struct KeyCommand {
  KeyAction action;
  uint8_t value;
};
KeyCommand LookUpKey(uint32_t virtualKey, bool shift);

}  // namespace quillet

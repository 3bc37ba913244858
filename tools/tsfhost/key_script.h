// The --keys script of tsfhost: characters typed with their US-layout keys and {Name} tokens.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::tsfhost {

// Windows virtual-key codes used by the script (the portable code has no windows.h).
namespace vk {
inline constexpr uint8_t kBack = 0x08, kTab = 0x09, kReturn = 0x0D, kShift = 0x10, kControl = 0x11, kCapital = 0x14,
                         kEscape = 0x1B, kSpace = 0x20, kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24,
                         kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28, kDelete = 0x2E, kNumpad0 = 0x60;
}

struct KeyToken {
  enum class Kind {
    kKey,        // `key` pressed and released, with Shift and/or Ctrl held around it
    kShiftTap,   // {Shift}: Shift pressed and released alone
    kClick,      // {Click N}: a mouse click on candidate row N
    kClickTab,   // {ClickTab N}: a mouse click on tab N of the candidate window
    kBlur,       // {Blur}: the thread loses the focus
    kFocus,      // {Focus}: the thread regains it
    kCaret,      // {Caret N}: the application puts the caret at N, as a click in the text does
    kTerminate,  // {Terminate}: the application ends the composition
    kItem,       // {Item N}: a left click on language-bar item N
    kMenu,       // {Menu N M}: choosing entry M of language-bar item N's menu
    kOpenClose,  // {Open}, {Close}: the application sets the open/close compartment (number 1 or 0)
    kWait,       // {Wait NAME}: the host answers its messages until the event NAME is set (another
                 // program acts on its windows meanwhile)
    kBusy,       // {Busy NAME}: the host's thread is busy for half a second, taking no message, with
                 // the event NAME set meanwhile (an application stalls)
  };
  Kind kind = Kind::kKey;
  uint8_t key = 0;
  bool shift = false;
  bool ctrl = false;
  int32_t number = 0;
  int32_t second = 0;
  std::u16string name;   // kWait's and kBusy's event
  std::u16string label;  // the token as written, for the trace
};

// The key and Shift state that type `c` on a US keyboard; nullopt for characters it has no key for.
struct UsKey {
  uint8_t key;
  bool shift;
};
std::optional<UsKey> UsKeyFor(char16_t c);

// Parses a script; on failure returns nullopt with `error` saying what and where.
std::optional<std::vector<KeyToken>> ParseKeyScript(std::u16string_view script, std::string* error);

}  // namespace quillet::tsfhost

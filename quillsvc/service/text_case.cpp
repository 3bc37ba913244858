#include "quillsvc/service/text_case.h"

namespace quillet {
namespace {

// The capital of a letter whose two cases the collation treats as equal; any other character
// stands for itself. Letters without a one-character counterpart there ('ß', 'ı', 'İ', 'ĸ', 'ŉ', 'ſ',
// 'µ') stand for themselves too.
char16_t Fold(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  if (c < 0x100) {
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
    if (c == 0xFF) return 0x178;
    return c;
  }
  if (c < 0x180) {
    // Pairs start on an even code except from U+0139 to U+0148 and from U+0179 to U+017E.
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x178 || c == 0x17F) return c;
    const bool oddFirst = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (oddFirst) return (c & 1) ? c : static_cast<char16_t>(c - 1);
    return static_cast<char16_t>(c & ~1u);
  }
  if (c >= 0x370 && c < 0x400) {
    switch (c) {
      case 0x371:
      case 0x373:
      case 0x377:
        return static_cast<char16_t>(c - 1);
      case 0x37E:  // Greek question mark: a semicolon
        return u';';
      case 0x387:  // ano teleia: a middle dot
        return 0xB7;
      case 0x3AC:
        return 0x386;
      case 0x3AD:
      case 0x3AE:
      case 0x3AF:
        return static_cast<char16_t>(c - 0x25);
      case 0x3C2:  // final sigma
        return 0x3A3;
      case 0x3CC:
        return 0x38C;
      case 0x3CD:
      case 0x3CE:
        return static_cast<char16_t>(c - 0x3F);
      default:
        break;
    }
    if (c >= 0x3B1 && c <= 0x3CB) return static_cast<char16_t>(c - 0x20);
    return c;
  }
  if (c >= 0x400 && c < 0x460) {
    if (c >= 0x450) return static_cast<char16_t>(c - 0x50);
    if (c >= 0x430) return static_cast<char16_t>(c - 0x20);
    return c;
  }
  return c;
}

// Whether c is the capital of a letter pair Fold knows: the distances between a capital and its small
// letter there.
bool Capital(char16_t c) {
  if (Fold(c) != c) return false;
  for (char16_t d : {0x1, 0x20, 0x25, 0x26, 0x3F, 0x50}) {
    const char16_t small = static_cast<char16_t>(c + d);
    if (Fold(small) == c) return true;
  }
  return false;
}

}  // namespace

std::u16string UpperAscii(std::u16string_view word) {
  std::u16string upper(word);
  for (char16_t& c : upper) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 0x20);
  }
  return upper;
}

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

std::u16string AdaptCase(CaseRule rule, std::u16string_view typed, std::u16string_view word) {
  if (rule == CaseRule::Upper) return UpperAscii(word);
  if (typed.size() > word.size() || !EqualIgnoringCase(typed, word.substr(0, typed.size()))) {
    // A corrected spelling: what was typed in capitals, or begun with one, still is.
    std::u16string adapted(word);
    if (typed.empty() || adapted.empty() || !Capital(typed[0])) return adapted;
    bool allCapitals = typed.size() >= 2;
    for (char16_t c : typed) allCapitals = allCapitals && Capital(c);
    if (allCapitals) return UpperAscii(word);
    adapted[0] = Fold(adapted[0]);
    return adapted;
  }
  std::u16string adapted(typed);
  adapted.append(word.substr(typed.size()));
  return adapted;
}

}  // namespace quillet

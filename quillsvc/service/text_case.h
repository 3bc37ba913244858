// How a chosen word takes the case of what was typed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// The codes the key handling passes when it picks a candidate.
enum class CaseRule : int32_t {
  Upper = 0,      // the whole word in capitals (Caps Lock is on)
  KeepTyped = 2,  // the typed letters keep their case, the rest comes from the word
};

// `word` with a to z turned into A to Z and every other character unchanged ('straße' gives
// 'STRAßE'), as the C runtime's upper-casing does in its default locale.
std::u16string UpperAscii(std::u16string_view word);

// Whether two texts are equal ignoring case, character by character. This is the system's
// case-insensitive collation (NORM_IGNORECASE | SORT_STRINGSORT in the system locale) restricted to the
// letters words are made of: Basic Latin, Latin-1, Latin Extended-A, Greek and Cyrillic, where it
// agrees with the system. Beyond them characters compare exactly; the collation's expansions
// ('ß' against "ss") and ignorable characters are not modelled.
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b);

// The text that replaces the typed text T when word W is picked:
//   Upper: W in capitals (UpperAscii).
//   KeepTyped: T followed by the rest of W when T is W's first |T| characters in any case ('PRO' and
//     'program' give 'PROgram'); otherwise (a corrected spelling, a longer T) W, in capitals when T is
//     two or more capitals ('TEH' and 'the' give 'THE'), with a capital first when T begins with one
//     ('Teh' gives 'The').
std::u16string AdaptCase(CaseRule rule, std::u16string_view typed, std::u16string_view word);

}  // namespace quillet

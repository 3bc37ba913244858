// The portable case rules against the system's own: the collation the picked word's case is decided
// by, and the C runtime's upper-casing.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "quillsvc/service/text_case.h"

namespace quillet {
namespace {

bool SystemEqual(std::u16string_view a, std::u16string_view b) {
  return CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE | SORT_STRINGSORT,
                        reinterpret_cast<const wchar_t*>(a.data()), static_cast<int>(a.size()),
                        reinterpret_cast<const wchar_t*>(b.data()), static_cast<int>(b.size())) == CSTR_EQUAL;
}

// The characters words are made of: printable Basic Latin, Latin-1 and Latin Extended-A, the Greek
// letters and signs of the modern alphabet, and Cyrillic, without unassigned code points and without
// characters the collation ignores altogether.
std::vector<char16_t> Letters() {
  std::vector<char16_t> all;
  auto add = [&](char16_t first, char16_t last) {
    for (char16_t c = first; c <= last; ++c) all.push_back(c);
  };
  add(0x20, 0x7E);
  add(0xA0, 0xAC);
  add(0xAE, 0x17F);  // not the soft hyphen
  add(0x370, 0x377);
  add(0x37A, 0x37E);
  add(0x384, 0x38A);
  add(0x38C, 0x38C);
  add(0x38E, 0x3A1);
  add(0x3A3, 0x3CE);
  add(0x400, 0x45F);
  return all;
}

TEST(TextCaseWinTest, CaseInsensitiveEqualityAgreesWithTheSystemForEveryPairOfLetters) {
  const std::vector<char16_t> letters = Letters();
  int disagreements = 0;
  for (char16_t a : letters) {
    for (char16_t b : letters) {
      const std::u16string_view x(&a, 1);
      const std::u16string_view y(&b, 1);
      if (EqualIgnoringCase(x, y) != SystemEqual(x, y) && ++disagreements <= 20) {
        ADD_FAILURE() << std::hex << "U+" << static_cast<int>(a) << " U+" << static_cast<int>(b) << " system "
                      << SystemEqual(x, y);
      }
    }
  }
  EXPECT_EQ(disagreements, 0);
}

TEST(TextCaseWinTest, WordsCompareAsTheSystemComparesThem) {
  const std::u16string_view pairs[][2] = {
      {u"pro", u"pro"},
      {u"Pro", u"pro"},
      {u"PRO", u"pro"},
      {u"prx", u"pro"},
      {u"new y", u"New Y"},
      {u"new y", u"new-y"},
      {u"don", u"don'"},
      {u"\u00c9t\u00c9", u"\u00e9t\u00e9"},
      {u"a b", u"ab "},
      {u"\u0141\u00f3d", u"\u0142\u00d3D"},
      {u"\u03a3\u03bf", u"\u03c3\u039f"},
  };
  for (const auto& p : pairs) {
    EXPECT_EQ(EqualIgnoringCase(p[0], p[1]), SystemEqual(p[0], p[1]))
        << std::string(p[0].begin(), p[0].end()) << " / " << std::string(p[1].begin(), p[1].end());
  }
}

TEST(TextCaseWinTest, UpperRaisesWhatTheRuntimeRaisesInItsDefaultLocale) {
  for (uint32_t c = 1; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;
    wchar_t s[2] = {static_cast<wchar_t>(c), 0};
    ASSERT_EQ(_wcsupr_s(s, 2), 0);
    const std::u16string upper = UpperAscii(std::u16string(1, static_cast<char16_t>(c)));
    ASSERT_EQ(static_cast<uint32_t>(upper[0]), static_cast<uint32_t>(s[0])) << std::hex << c;
  }
}

}  // namespace
}  // namespace quillet

// UTF-16 helpers for portable code. Text is char16_t everywhere below the OS layer (wchar_t is 32-bit
// on Linux); conversion to wchar_t happens only at Win32 calls, in platform/win32.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// Malformed input (stray surrogates, invalid UTF-8) becomes U+FFFD; nothing is dropped silently.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// The C library's lowercase mapping in the default locale: A to Z only.
inline char16_t FoldLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// The lowercase of a letter of Basic Latin, Latin-1 or Latin Extended-A (simple mappings); other
// characters are returned as they are.
char16_t SimpleLower(char16_t c);
std::u16string LowerText(std::u16string_view text);
// The key a word is typed and stored under: lowercase, apostrophes and hyphens removed.
std::u16string WordKey(std::u16string_view word);

}  // namespace quillet

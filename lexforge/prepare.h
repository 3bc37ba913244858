// Makes a valid word list from a plain list of words: UTF-8, one word per line, any case and order,
// blank lines and surrounding white space ignored. Each word gives the key the input method types
// (lowercase, apostrophes and hyphens removed); a word that differs from its key becomes the display
// and commit texts. Entries are sorted by key in UTF-16 code units, as lookups require.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "common/utf16.h"
#include "platform/error.h"

namespace quillet::lexforge {

struct PreparedEntry {
  std::u16string key;
  std::u16string form;  // the word as written when it differs from the key, else empty
  bool operator==(const PreparedEntry& o) const { return key == o.key && form == o.form; }
};

struct PrepareReport {
  platform::OsError osError = 0;
  std::u16string failedPath;    // the file of the failing call
  size_t words = 0;             // non-blank lines
  size_t entries = 0;           // after merging duplicates
  size_t skippedLines = 0;      // a control character inside, an empty key, or over 5119 code units
  size_t firstSkippedLine = 0;  // 1-based
};

// Sorted by key, then by form (a bare key first); duplicates merged.
std::vector<PreparedEntry> PrepareEntries(std::string_view utf8, PrepareReport* report);

// The word-list text of the entries, starting with U+FEFF, CR LF after every line. Double quotes are
// doubled so that the builder's quote rule gives them back.
std::u16string FormatWordList(const std::vector<PreparedEntry>& entries);

// Reads `source`, writes `destination` (replacing it) as UTF-16LE. Results: kFileOpenFailed (the
// source cannot be opened or the destination not created), kFileReadFailed, kFileWriteFailed,
// kFileSizeFailed, kNoEntry (no word), kOutOfMemory (a source too large to hold in memory at all).
// Allocation failure otherwise throws std::bad_alloc.
Result PrepareWordList(const std::u16string& destination, const std::u16string& source, PrepareReport* report);

}  // namespace quillet::lexforge

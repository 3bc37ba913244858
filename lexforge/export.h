// Dictionary file back to a word list: one line per entry, in entry order, key TAB display TAB commit
// TAB description CR LF, UTF-16LE after a byte-order mark, nothing quoted or escaped.
#pragma once

#include <string>

#include "common/result.h"
#include "platform/error.h"

namespace quillet::lexforge {

// Writes the text file `destination` (replacing it) from the dictionary file `source`. Results:
//   kSuccess;
//   kMappingCreateFailed, kViewFailed: the dictionary could not be mapped (an empty file gives the
//     first);
//   kFileOpenFailed: the dictionary could not be opened or the text file not created;
//   kFileWriteFailed: a write failed (the file keeps the lines written before);
//   kMalformed: the dictionary is not well formed (its header or an entry points outside the file).
// The dictionary is opened and checked before the text file is created, so a dictionary that cannot
// be read leaves an existing text file untouched; after a malformed entry the partial text is deleted.
// `failedPath`, when given, receives the file of a failure.
Result ConvertDictionaryToText(const std::u16string& destination, const std::u16string& source,
                               platform::OsError* osError = nullptr, std::u16string* failedPath = nullptr);

}  // namespace quillet::lexforge

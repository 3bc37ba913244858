// One way to replace a file, for every file Quillet writes whole: the user's kept records and store,
// and the dictionaries and ranking data the generator makes.
#include <string>

#include "common/utf16.h"
#include "platform/file.h"
#include "platform/process.h"

namespace quillet::platform {

bool ReplaceFile(const std::u16string& path, const FileWriter& write, bool ownerOnly, OsError* error) {
  // A name of this process's own: two processes replacing one file never write into each other's.
  std::u16string temporary = path + u".tmp-";
  for (const char c : std::to_string(CurrentProcessId())) temporary += static_cast<char16_t>(c);
  File out;
  if (!out.Create(temporary, error, ownerOnly)) return false;
  const bool written = write(out, error) && out.Flush(error);
  if (!out.Close(error) || !written || !RenameFile(temporary, path, error)) {
    RemoveFile(temporary);
    return false;
  }
  return true;
}

bool ReplaceFile(const std::u16string& path, const uint8_t* data, size_t size, bool ownerOnly, OsError* error) {
  return ReplaceFile(
      path,
      [&](File& out, OsError* e) {
        size_t done = 0;
        return out.Write(data, size, &done, e) && done == size;
      },
      ownerOnly, error);
}

}  // namespace quillet::platform

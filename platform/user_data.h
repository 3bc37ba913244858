// Per-user data files: where they live, reading one whole, and setting a damaged one aside (replacing
// one: ReplaceFile in file.h).
// Also the environment, through which tests point programs at their own folders and namespaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace quillet::platform {

// The value of an environment variable; empty when it is unset.
std::u16string EnvironmentValue(std::u16string_view name);
// Sets (or, with an empty value, removes) a variable of this process; children inherit it.
bool SetEnvironmentValue(std::u16string_view name, std::u16string_view value);

// The folder for Quillet's per-user files: $QUILLET_CONFIG_DIR when set; otherwise
// %APPDATA%\Quillet on Windows, $XDG_CONFIG_HOME/quillet or ~/.config/quillet elsewhere. Empty when
// none can be determined. The folder may not exist yet.
std::u16string UserConfigFolder();

// Creates the folder and any missing parents; true when it exists afterwards.
bool CreateFolders(const std::u16string& path, OsError* error);

enum class ReadStatus { kRead, kNotFound, kTooLarge, kFailed };
// Reads the whole file into *bytes; files larger than maxSize are refused (kTooLarge).
ReadStatus ReadWholeFile(const std::u16string& path, size_t maxSize, std::vector<uint8_t>* bytes, OsError* error);

// Renames `path` to the first free name of the form path + suffix, path + suffix + ".1", ... so that
// nothing is overwritten. *newPath receives the name it got.
bool MoveAside(const std::u16string& path, std::u16string_view suffix, std::u16string* newPath, OsError* error);

}  // namespace quillet::platform

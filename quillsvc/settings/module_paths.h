// Dictionary paths as the settings sheet keeps them: stored relative to the folder that holds the text
// service (so that a moved installation still finds its dictionaries) and shown absolute. Windows path
// rules, done on text so that they are tested natively: '\' and '/' both separate, a root is a drive
// ("C:"), a share ("\\server\share") or a bare separator, and names compare ignoring letter case.
#pragma once

#include <string>
#include <string_view>

namespace quillet::settings {

// Capacity of a stored path (characters, terminator excluded) and of a path given to the system.
constexpr size_t kMaxStoredPath = 255;
constexpr size_t kMaxFullPath = 259;

// `path` with separators made '\', repeated separators joined, and "." and ".." segments resolved
// (".." never climbs above the root). A trailing separator is dropped except on a bare root.
std::u16string CanonicalizePath(std::u16string_view path);

// The folder part of a file path (its file name removed), without a trailing separator.
std::u16string FolderOf(std::u16string_view filePath);

// True when both name the same path once canonicalised, letters compared ignoring case.
bool SamePath(std::u16string_view a, std::u16string_view b);
// Plain text comparison ignoring letter case (Latin, Greek and Cyrillic letters fold).
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b);

enum class RelativeStatus {
  kOk,
  kNotAbsolute,  // the target or the module is not a full path
  kOtherRoot,    // another drive or share: no relative path exists
  kTooLong,      // the relative path does not fit a stored path, or its full form exceeds kMaxFullPath
};

struct RelativePath {
  RelativeStatus status = RelativeStatus::kNotAbsolute;
  std::u16string path;  // ".\sub\name.dict" below the folder, "..\name.dict" above it; empty unless kOk
};

// The path of `target` relative to the folder of `moduleFile`, in the form that finds the file again
// through AbsoluteFromModule.
RelativePath RelativeToModule(std::u16string_view moduleFile, std::u16string_view target);

// The full path of a stored dictionary path: a relative one starts at the folder of `moduleFile`, a
// full one stands as it is, one starting with a separator starts at the module's root. Canonicalised.
// Empty when the module path is empty or the result would exceed kMaxFullPath.
std::u16string AbsoluteFromModule(std::u16string_view moduleFile, std::u16string_view stored);

}  // namespace quillet::settings

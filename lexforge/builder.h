// Word list to dictionary file, in two passes: the parsed lines stream into three side files
// (".pos", ".lst", ".inf" beside the destination) through fixed buffers, then the side files are
// mapped, indexed and written out behind the header and node table as the dictionary. Entries keep the order of the
// lines: nothing is sorted, merged or case-folded here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"
#include "lexforge/paths.h"
#include "lexforge/word_list.h"
#include "platform/error.h"
#include "platform/file.h"

namespace quillet::lexforge {

// What a conversion saw, for diagnosis and for the command line's warnings.
struct BuildReport {
  platform::OsError osError = 0;  // of the failing call, 0 when none failed
  std::u16string failedPath;      // the file of the failing call
  uint32_t entries = 0;
  uint32_t nodes = 0;
  uint64_t skippedLines = 0;  // empty keys and overlong fields
  // Entries that lookups will miss: a key below the one before it, or a key holding A-Z.
  uint32_t unsortedKeys = 0;
  uint64_t firstUnsortedLine = 0;
  uint32_t uppercaseKeys = 0;
  uint64_t firstUppercaseLine = 0;
};

// Converts the word list at `source` into the dictionary file named like `destination` with the
// extension ".dict". Results:
//   kSuccess;
//   kGeneralFailure: too many entries (6,553,500 or more) or a dictionary beyond 4 GiB of offsets;
//   kMappingCreateFailed, kViewFailed: the source or a side file could not be mapped;
//   kFileOpenFailed: a file could not be opened or created (also when the finished dictionary cannot
//     replace the old one);
//   kFileReadFailed: a side file changed between the passes;
//   kFileWriteFailed: a write failed;
//   kFileSizeFailed: a size could not be obtained;
//   kNoEntry: the list gave no entry;
//   kNoByteOrderMark: the source does not begin with U+FEFF.
// Allocation failure throws std::bad_alloc, for the caller's boundary to report as out of memory.
// The side files this conversion created are deleted in every case. The new dictionary is written under a temporary
// name and renamed over the destination only when complete, so a failure leaves an existing dictionary as it was.
Result ConvertTextToDictionary(const std::u16string& destination, const std::u16string& source,
                               BuildReport* report = nullptr);

// The same conversion of a word list held in memory (all of it, byte-order mark first) into the
// dictionary's bytes, with the same results for the same text (an empty one gives
// kMappingCreateFailed, as an empty file does); the key-order warnings are not counted.
Result BuildDictionaryInMemory(const uint8_t* text, size_t size, std::vector<uint8_t>* out,
                               BuildReport* report = nullptr);

// The two passes on their own (for measurements); ConvertTextToDictionary is the one to use.
class DictionaryBuilder {
 public:
  DictionaryBuilder(const std::u16string& destination, const std::u16string& source);
  ~DictionaryBuilder();  // deletes the side files
  DictionaryBuilder(const DictionaryBuilder&) = delete;
  DictionaryBuilder& operator=(const DictionaryBuilder&) = delete;

  Result WriteSideFiles();   // pass 1
  Result WriteDictionary();  // pass 2, after pass 1 succeeded
  void DeleteSideFiles();
  const BuildReport& report() const { return report_; }
  const BuildPaths& paths() const { return paths_; }

 private:
  // A side file of pass 1. Only one that this conversion created is deleted: its name may be taken by
  // a file we could not open (the source itself, say), and that file is not ours.
  struct SideFile {
    const std::u16string& path;
    bool created = false;
  };

  Result Fail(Result r, platform::OsError error, const std::u16string& path);
  bool CreateSideFile(SideFile& side, platform::File* file, platform::OsError* error);
  // Counts keys that lookups will miss: below the key before them, or holding A-Z.
  void NoteKeyOrder(const WordListEntry& entry, std::vector<uint8_t>* previousKey);

  BuildPaths paths_;
  std::u16string source_;
  BuildReport report_;
  SideFile positions_{paths_.positions};
  SideFile keys_{paths_.keys};
  SideFile infos_{paths_.infos};
};

}  // namespace quillet::lexforge

#include "lookup/learned_file.h"

#include <vector>

#include "platform/kept_file.h"

namespace quillet {

platform::KeptFile LearnedFile(const std::u16string& path) {
  return platform::KeptFile(path, kMaxLearnedFileSize, [](const uint8_t* bytes, size_t size) {
    LearnedStore check;
    return check.Load(bytes, size);
  });
}

Result LoadLearnedStore(const std::u16string& path, LearnedStore* store, bool* damaged, platform::OsError* error) {
  *damaged = false;
  store->Clear();
  platform::KeptContent content = LearnedFile(path).Load();
  *error = content.error;
  switch (content.origin) {
    case platform::KeptOrigin::kFile:
      store->Load(content.bytes.data(), content.bytes.size());
      return Result::kSuccess;
    case platform::KeptOrigin::kDamaged:
      *damaged = true;
      return Result::kSuccess;
    case platform::KeptOrigin::kUnreadable:
      return Result::kFileReadFailed;
    case platform::KeptOrigin::kFirstRun:
    case platform::KeptOrigin::kNoFolder:
      break;
  }
  return Result::kSuccess;
}

Result SaveLearnedStore(const LearnedStore& store, const std::u16string& path, platform::OsError* error) {
  const std::vector<uint8_t> bytes = store.Serialize();
  return LearnedFile(path).Save(bytes.data(), bytes.size(), error);
}

}  // namespace quillet

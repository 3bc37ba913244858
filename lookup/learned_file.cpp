#include "lookup/learned_file.h"

#include <vector>

#include "platform/file.h"

namespace quillet {

Result LoadLearnedStore(const std::u16string& path, LearnedStore* store, bool* damaged, platform::OsError* error) {
  *damaged = false;
  store->Clear();
  if (!platform::FileExists(path)) return Result::kSuccess;
  platform::File in;
  if (!in.OpenRead(path, error)) return Result::kFileOpenFailed;
  uint64_t size = 0;
  if (!in.Size(&size, error)) return Result::kFileSizeFailed;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  size_t done = 0;
  if (!in.Read(bytes.data(), bytes.size(), &done, error) || done != bytes.size()) return Result::kFileReadFailed;
  in.Close();
  if (store->Load(bytes.data(), bytes.size())) return Result::kSuccess;
  *damaged = true;
  platform::RenameFile(path, path + u".damaged", error);
  return Result::kSuccess;
}

Result SaveLearnedStore(const LearnedStore& store, const std::u16string& path, platform::OsError* error) {
  const std::vector<uint8_t> bytes = store.Serialize();
  const std::u16string temporary = path + u".tmp";
  platform::File out;
  if (!out.Create(temporary, error)) return Result::kFileOpenFailed;
  size_t done = 0;
  const bool written = out.Write(bytes.data(), bytes.size(), &done, error) && done == bytes.size();
  if (!out.Close(error) || !written) {
    platform::RemoveFile(temporary);
    return Result::kFileWriteFailed;
  }
  if (!platform::RenameFile(temporary, path, error)) {
    platform::RemoveFile(temporary);
    return Result::kFileWriteFailed;
  }
  return Result::kSuccess;
}

}  // namespace quillet

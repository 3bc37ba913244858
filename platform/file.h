// Files for the dictionary conversions: exclusive opens, whole reads and writes, and a read-only
// mapping of a whole file. Every failing call reports the OS error (GetLastError or errno) through its
// `error` argument, which may be null.
//
// "No sharing" is the Windows share mode 0. On POSIX it is emulated with an exclusive advisory lock
// (flock) taken right after open, so two of our own opens of one file exclude each other as they do on
// Windows, also inside one process; a file is truncated only after its lock is held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/error.h"
#include "platform/mapped_view.h"

namespace quillet::platform {

class File {
 public:
  File();
  ~File();  // closes
  File(File&&) noexcept;
  File& operator=(File&&) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file for reading, no sharing.
  bool OpenRead(const std::u16string& path, OsError* error);
  // Creates the file for writing, no sharing, replacing (truncating) an existing one.
  bool Create(const std::u16string& path, OsError* error);

  bool valid() const;
  // Reads up to `size` bytes; *done is the count read (short only at the end of the file).
  bool Read(void* buffer, size_t size, size_t* done, OsError* error);
  // Writes all `size` bytes, in pieces as the OS needs; *done is the count written, also on failure.
  bool Write(const void* buffer, size_t size, size_t* done, OsError* error);
  bool Size(uint64_t* size, OsError* error) const;
  // Closes the handle; false when the OS reported a failure on closing (a lost write on POSIX).
  bool Close(OsError* error = nullptr);

  struct Impl;

 private:
  friend class FileMapping;
  std::unique_ptr<Impl> impl_;
};

// A read-only view of a whole open file. The file must stay open while the view is used.
class FileMapping {
 public:
  enum class Status {
    kMapped,
    kCreateFailed,  // no mapping object could be made (an empty file cannot be mapped)
    kViewFailed,    // the mapping exists but could not be viewed
  };

  Status Map(const File& file, OsError* error);
  const uint8_t* data() const { return view_.data(); }
  size_t size() const { return view_.size(); }
  void Unmap() { view_.Reset(); }

 private:
  MappedView view_;
};

// True when `path` lies on another machine: a share (\\server\share, //server/share, \\?\UNC\...) or
// a drive letter mapped to one. Opening such a file connects to that machine as the user.
bool IsNetworkPath(const std::u16string& path);
// True when `path` names an existing file (not a folder).
bool FileExists(const std::u16string& path);
// Deletes a file. (Not named DeleteFile: <windows.h> defines that as a macro.)
bool RemoveFile(const std::u16string& path, OsError* error = nullptr);
// Renames `from` to `to`, replacing `to` when it exists.
bool RenameFile(const std::u16string& from, const std::u16string& to, OsError* error = nullptr);

}  // namespace quillet::platform

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
#include <functional>
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
  // The same for a file that anyone may have named: opening never waits (a FIFO has no writer to wait
  // for here). Check IsRegular() before reading.
  bool OpenReadNoWait(const std::u16string& path, OsError* error);
  // Whether the open file is an ordinary file on a disk (not a pipe, device or console).
  bool IsRegular() const;
  // Creates the file for writing, no sharing, replacing (truncating) an existing one. `ownerOnly`: on
  // POSIX the file is the owner's alone (mode 0600); on Windows a new file takes its folder's rights
  // (the user's own for the per-user folder).
  bool Create(const std::u16string& path, OsError* error, bool ownerOnly = false);

  bool valid() const;
  // Reads up to `size` bytes; *done is the count read (short only at the end of the file).
  bool Read(void* buffer, size_t size, size_t* done, OsError* error);
  // Writes all `size` bytes, in pieces as the OS needs; *done is the count written, also on failure.
  bool Write(const void* buffer, size_t size, size_t* done, OsError* error);
  bool Size(uint64_t* size, OsError* error) const;
  // Makes what was written durable: on the disk, not only in the system's caches.
  bool Flush(OsError* error);
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

// Replaces `path` with what `write` writes into a file open for writing (false from `write`, with
// *error set, fails): the new content goes to a temporary file beside it, which is flushed to the
// disk and then renamed over `path`, the rename made durable too. A crash or a kill at any moment
// leaves the old content or the new, never a torn or empty file. On failure `path` is as it was and
// the temporary file is gone. `ownerOnly` as for File::Create.
using FileWriter = std::function<bool(File& out, OsError* error)>;
bool ReplaceFile(const std::u16string& path, const FileWriter& write, bool ownerOnly, OsError* error);
// The same for `size` bytes.
bool ReplaceFile(const std::u16string& path, const uint8_t* data, size_t size, bool ownerOnly, OsError* error);

}  // namespace quillet::platform

// The asking side of learning a text file (the settings sheet, `lexforge learn`): the request and a
// cancel go to the loader through the learning inbox, how it goes comes back in the progress block
// (common/learn_progress.h). Both blocks are private to the user's processes of medium integrity.
#pragma once

#include <cstdint>
#include <string>

#include "common/learn_progress.h"
#include "common/result.h"
#include "ipc/shared_block.h"

namespace quillet {

class LearnFileClient {
 public:
  explicit LearnFileClient(LockPolicy policy) : policy_(policy) {}
  ~LearnFileClient() { Close(); }
  LearnFileClient(const LearnFileClient&) = delete;
  LearnFileClient& operator=(const LearnFileClient&) = delete;

  // Opens both blocks; kMappingOpenFailed when the loader has no progress block (an older loader
  // learns no files) or none runs.
  Result Open();
  void Close();

  enum class Asked { kAsked, kPathTooLong, kNotOpen, kInboxBusy };
  // Asks for `path` (a full path: the loader's folder is not the caller's); *ticket names the request.
  Asked Ask(const std::u16string& path, uint32_t* ticket);
  // False when the cancel could not be sent now (try again).
  bool Cancel(uint32_t ticket);
  // How the request goes; false (nothing in *out) while the loader has not taken it up, or the block
  // could not be read now.
  bool Progress(uint32_t ticket, LearnFileProgress* out);

 private:
  LockPolicy policy_;
  SharedBlock inbox_;
  SharedBlock progress_;
};

}  // namespace quillet

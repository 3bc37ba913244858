#include "platform/posix/unique_fd.h"

#include <fcntl.h>

namespace quillet::platform::posix {

bool MakePipe(Pipe* pipe, int flags) {
  int fds[2];
  if (pipe2(fds, flags) != 0) return false;
  pipe->read.Reset(fds[0]);
  pipe->write.Reset(fds[1]);
  return true;
}

}  // namespace quillet::platform::posix

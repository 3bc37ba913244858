// `lexforge learn FILE... [--history FILE]`: learns text files as if the person had written them.
// Without --history through the running loader (started when needed), which learns them into the
// user's store as the settings sheet asks it to; with it, into the learned store kept in that file,
// as `lexforge lookup --stdin --history` keeps it. Prints per file the words and sentences learned,
// or why it could not be.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quillet::lexforge {

// `args` start with "learn". Returns 0, 1 when a file could not be learned, 2 for a bad command
// line, or the result code of a failing step (the history file, the loader).
int RunLearn(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err);

}  // namespace quillet::lexforge

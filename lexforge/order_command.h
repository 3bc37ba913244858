// `lexforge order [--tab N] dictionary|frequent|learning`: sets the order of a tab's candidates (the
// first tab unless named) through the running loader, as the settings sheet does: the options block
// is written under its lock and the loader is told to keep it. The installer uses it for the choice
// on its last page.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "common/options_record.h"

namespace quillet::lexforge {

// Starts the loader when it is not running, then sets the order. `args` start with "order".
// Returns 0, 2 for a bad command line, or the failing result code.
int RunOrder(const std::vector<std::u16string>& args, std::ostream& out, std::ostream& err);

// The part after the loader is known to run: writes tab `tabIndex`'s order into the published
// options and has the loader keep them. Returns 0, 1 for a tab that does not exist, or the failing
// result code (a block that cannot be opened or locked, a loader that did not keep the options).
int SetTabOrder(size_t tabIndex, CandidateOrder order, std::ostream& out, std::ostream& err);

}  // namespace quillet::lexforge

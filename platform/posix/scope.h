// Per-user scoping of the names that stand in for the session's Local\ namespace.
#pragma once

#include <string>

namespace quillet::platform::posix {

// "<uid>" or, when QUILLET_NAMESPACE is set, "<uid>-<namespace>" with every character outside
// [A-Za-z0-9_-] replaced. Tests set the variable so that they cannot meet a loader the user runs.
std::string UserScope();

}  // namespace quillet::platform::posix

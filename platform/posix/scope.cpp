#include "platform/posix/scope.h"

#include <unistd.h>

#include <cstdlib>

namespace quillet::platform::posix {

std::string UserScope() {
  std::string scope = std::to_string(static_cast<unsigned long>(geteuid()));
  const char* ns = std::getenv("QUILLET_NAMESPACE");
  if (ns != nullptr && *ns != '\0') {
    scope += '-';
    // Bounded so that the derived shared-memory and socket names stay well inside their limits.
    for (size_t i = 0; ns[i] != '\0' && i < 48; ++i) {
      const char c = ns[i];
      const bool plain =
          (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
      scope += plain ? c : '_';
    }
  }
  return scope;
}

}  // namespace quillet::platform::posix

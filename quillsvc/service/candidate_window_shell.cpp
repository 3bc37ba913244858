#include "quillsvc/service/candidate_window_shell.h"

namespace quillet {

// The candidate window is not part of the module yet: the text service composes without one.
std::unique_ptr<CandidateWindowShell> CandidateWindowShell::Create(SharedBlock*, const uint8_t*, size_t,
                                                                   IWidgetMouseEventCallback*, int) {
  return nullptr;
}

}  // namespace quillet

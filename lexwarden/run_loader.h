// The loader program, the same on every platform; each main only wires its own ways to end the run.
#pragma once

#include <string_view>

#include "platform/loader_channel.h"

namespace quillet::warden {

// Takes the session's presence mark (returns 0 at once when another loader serves), fills the
// blocks, and serves messages until the channel is told to quit. `serving` is called with the
// channel once it exists, and with nullptr once it has stopped.
int RunLoader(std::u16string_view commandLine, void (*serving)(platform::LoaderChannel*));

}  // namespace quillet::warden

// For --timing: the window system's calls that make, show, move and destroy windows, made by the text
// service, timed as a zone of their own (Zone::kWindowSystem) rather than as its own code. Under Wine
// each is a round trip to the X server that costs far more than the text service's work around it.
#pragma once

#include <windows.h>

namespace quillet::tsfhost {

// Points the DLL's imports of those calls at timed ones; false when its import table names none.
bool TimeWindowCalls(HMODULE dll);

}  // namespace quillet::tsfhost

// Test helper support: become ready, then wait for ever (until killed).
#include <unistd.h>

#include "platform/process.h"

void IdleForever() {
  quillet::platform::SignalReady();
  for (;;) pause();
}

bool EnterKillOnCloseJob() { return false; }

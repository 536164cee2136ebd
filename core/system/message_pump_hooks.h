// The shell's message pump as services and subsystems reach it: through two
// handlers the shell installs at start-up (they stay below the shell).
#pragma once

namespace Korvo {

// Install the pump (one pass of the message processing: 0, or non-zero once the
// program is ending) and the wait while the window is inactive; null removes them
void SetMessagePumpHandlers(int (*pumpOnce)(), void (*waitWhileInactive)());
// One pass of the message processing; 0 when no pump is installed
int PumpMessagesOnce();
// Wait while the window is inactive; nothing when no pump is installed
void WaitWhileAppInactive();

} // namespace Korvo

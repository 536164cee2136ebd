// Handlers of the shell's message pump for the layers below it.

#include "core/system/message_pump_hooks.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static int (*PumpOnceHandler)();
static void (*WaitWhileInactiveHandler)();

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Install the pump and the inactive wait; null removes them
void SetMessagePumpHandlers(int (*pumpOnce)(), void (*waitWhileInactive)())
{
    PumpOnceHandler = pumpOnce;
    WaitWhileInactiveHandler = waitWhileInactive;
}

// One pass of the message processing; 0 when no pump is installed
int PumpMessagesOnce()
{
    return PumpOnceHandler != nullptr ? PumpOnceHandler() : 0;
}

// Wait while the window is inactive; nothing when no pump is installed
void WaitWhileAppInactive()
{
    if (WaitWhileInactiveHandler != nullptr) {
        WaitWhileInactiveHandler();
    }
}

} // namespace Korvo

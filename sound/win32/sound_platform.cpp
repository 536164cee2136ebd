// The window and machine facts the sound code needs, from the core services.

#include "sound/sound_platform.h"

#include "core/public_api.h"
#include "core/system/win32/app_window.h"
#include "core/system/window_state.h"

#include <windows.h>

namespace Korvo {

// One pass of the message pump (the API lock is recursive: callers that hold it may pump)
int PumpMessagesForSound()
{
    return ServiceMessageQueue();
}

// Pump while the window exists and is inactive; the pump itself waits inside
// while the window is inactive and returns once it is active again or ends
void WaitWhileAppInactiveForSound()
{
    while (GetAppActiveState() == 0 && GetAppWindowHandle() != nullptr) {
        if (ServiceMessageQueue() != 0) {
            return;
        }
    }
}

int GetSoundMachineProcessorCount()
{
    return GetLogicalProcessorCount();
}

// The thread wrappers offer up to "highest"; the stream thread runs above that
void RaiseSoundThreadPriority(ThreadRecord *record)
{
    SetThreadPriority(record->threadHandle, THREAD_PRIORITY_TIME_CRITICAL);
}

int GetSoundLoadInBackgroundFlag()
{
    return GetLoadInBackgroundFlag();
}

} // namespace Korvo

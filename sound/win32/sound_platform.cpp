// The window and machine facts the sound code needs, from the core runtime.

#include "sound/sound_platform.h"

#include "core/main_window.h"
#include "core/message_pump.h"

#include <windows.h>

namespace Korvo {

// The pump without the API lock
int PumpMessagesForSound()
{
    return ServiceMessageQueueUnlocked();
}

// Wait only while the library must wait and the window is inactive
void WaitWhileAppInactiveForSound()
{
    if (GetAppActiveState() == 0) {
        BlockUntilAppActive();
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

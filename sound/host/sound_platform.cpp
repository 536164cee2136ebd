// Host stand-ins of the window and machine facts the sound code needs: no
// window (the pump reports what the tests set), the machine's processors.

#include "sound/sound_platform.h"

#include "sound/host/sound_platform_host.h"
#include "sound/sound_backend.h"

#include <thread>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
int HostSoundPumpResult = 0;
int HostSoundLoadInBackground = 0;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int PumpMessagesForSound()
{
    return HostSoundPumpResult;
}

void WaitWhileAppInactiveForSound()
{
}

int GetSoundMachineProcessorCount()
{
    return static_cast<int>(std::thread::hardware_concurrency());
}

void RaiseSoundThreadPriority(ThreadRecord *record)
{
    SetThreadRecordPriority(record, 3);
}

int GetSoundLoadInBackgroundFlag()
{
    return HostSoundLoadInBackground;
}

// No sound device on the build machine
int StartPlatformSoundBackend(SoundBackend *backend)
{
    (void)backend;
    return -1;
}

} // namespace Korvo

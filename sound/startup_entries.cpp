// Sound entries of the core runtime's sequences that belong to the sound-file
// conversion and to music, which this build does not have yet. The output
// system's own entries are in sound_system.cpp, stream_refill.cpp and
// soft_sound.cpp.

#include "sound/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The compression manager's readers are not built yet: nothing is loaded.
int LoadAcmFunctions()
{
    return -1;
}

// No background music is ever recorded, so there is nothing to stop.
int StopBackgroundMusicHandle()
{
    return 0;
}

// Nothing was loaded.
int FreeAcmFunctions()
{
    return -1;
}

// No music handle is ever created, so none plays.
int RefreshMusicPlayFlags()
{
    return -1;
}

// No MCI device is ever opened.
int HandleMciMidiPlayEnd()
{
    return 0;
}

} // namespace Korvo

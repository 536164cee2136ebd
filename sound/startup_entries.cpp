// Sound entries of the core runtime's sequences that belong to music, which
// this build does not have yet. The output system's own entries are in
// sound_system.cpp, stream_refill.cpp and soft_sound.cpp; the compression
// manager's in acm_library.cpp.

#include "sound/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// No background music is ever recorded, so there is nothing to stop.
int StopBackgroundMusicHandle()
{
    return 0;
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

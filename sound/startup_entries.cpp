// Sound entries of the core runtime's sequences, until sound is built.
//
// No sound output exists yet: these entries start, play and refill nothing and
// report "sound is down" (-1) where the interface has that answer. They are
// replaced by the sound subsystem's own code.

#include "sound/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Not built yet: nothing is loaded.
int LoadAcmFunctions()
{
    return -1;
}

// Not built yet: no sound output is started.
int InitSoundOutputSystem()
{
    return -1;
}

// Not built yet: there is no music.
int StopBackgroundMusicHandle()
{
    return 0;
}

// Not built yet: sound was never started.
int TermSoundOutputSystem()
{
    return -1;
}

// Not built yet: nothing was loaded.
int FreeAcmFunctions()
{
    return -1;
}

// Not built yet: no stream sounds.
int RefillAllStreamSounds()
{
    return -1;
}

// Not built yet: no soft-sound players.
int UpdateSoftSoundPlayers()
{
    return -1;
}

// Not built yet: no music plays.
int RefreshMusicPlayFlags()
{
    return -1;
}

// Not built yet: no MCI device is open.
int HandleMciMidiPlayEnd()
{
    return 0;
}

// Not built yet: sound is down.
int SetSoundHandlesPaused(int pause)
{
    (void)pause;
    return -1;
}

// Not built yet: sound is down.
int SetSoftSoundPlayersPaused(int pause)
{
    (void)pause;
    return -1;
}

} // namespace Korvo

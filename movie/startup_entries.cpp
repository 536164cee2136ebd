// Movie entries of the core runtime's sequences, until movie playback is built.
//
// No movie module exists yet: these entries build, register and play nothing,
// and answer "not started" (-1) where the interface has that answer. They are
// replaced by the movie subsystem's own code.

#include "movie/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Not built yet: there are no colour tables to fill.
void BuildTheoraYuvTables()
{
}

// Not built yet: no movie kind is registered.
int InitMovieHandleType()
{
    return -1;
}

// Not built yet: no movie kind to end.
int TermMovieHandleType()
{
    return -1;
}

// Not built yet: the movie module is not started.
int CheckMovieModuleAfterReset()
{
    return -1;
}

// Not built yet: no movies to resume.
int ResumeSuspendedMovies()
{
    return -1;
}

// Not built yet: no movies to pause.
int SuspendAllMovies()
{
    return -1;
}

} // namespace Korvo

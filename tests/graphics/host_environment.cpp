// Window facts the front end reads, for the host build where no window exists.
#if !defined(_WIN32)

#include "core/library_life.h"
#include "core/main_window.h"

namespace Korvo {

int GetShutdownRequestedFlag()
{
    return 0;
}

int GetLibraryStartedFlag()
{
    return 0;
}

int GetWindowedModeState()
{
    return 1;
}

} // namespace Korvo

#endif

#if !defined(_WIN32)
#include "graphics/screen_modes.h"

namespace Korvo {

// No display on the host: no modes.
bool EnumeratePlatformDisplayMode(int, DisplayModeEntry *)
{
    return false;
}

} // namespace Korvo
#endif

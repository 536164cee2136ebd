// Window facts the front end reads, for the host build where no window exists.
#if !defined(_WIN32)

#include "core/public_api.h"
#include "graphics/screen_modes.h"

namespace Korvo {

int GetShutdownRequestedFlag()
{
    return 0;
}

int GetWindowedModeState()
{
    return 1;
}

// No display on the host: no modes.
bool EnumeratePlatformDisplayMode(int, DisplayModeEntry *)
{
    return false;
}

} // namespace Korvo

#endif

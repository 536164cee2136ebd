// Window facts the front end reads, for the host build where no window exists.
#if !defined(_WIN32)

#include "tests/graphics/host_environment.h"

#include "core/public_api.h"
#include "graphics/device/graphics_state.h"
#include "graphics/screen/device_startup.h"
#include "graphics/screen/screen_modes.h"

int GraphicsTest::HostDirectXFailsAtWidth = 0;

namespace Korvo {

int GetShutdownRequestedFlag()
{
    return 0;
}

int GetWindowedModeState()
{
    return 1;
}

// No window on the host: no timer, and no DirectX to start (the tests set the road);
// a test may have it fail for one screen width.
int StartFrontScreenRefresh(int)
{
    return 0;
}

int StartDirectXSystem()
{
    const int failing = GraphicsTest::HostDirectXFailsAtWidth;
    return failing != 0 && GraphicsState.mainWidth == failing ? -1 : 0;
}

int EndDirectXSystem()
{
    return 0;
}

// The window is always active on the host; loads follow the background flag.
static int LoadInBackground = 0;

int GetAppActiveState()
{
    return 1;
}

int GetLoadInBackgroundFlag()
{
    return LoadInBackground;
}

int SetLoadInBackgroundFlag(int flag)
{
    LoadInBackground = flag != 0 ? 1 : 0;
    return 0;
}

// No display on the host: no modes.
bool EnumeratePlatformDisplayMode(int, DisplayModeEntry *)
{
    return false;
}

} // namespace Korvo

#endif

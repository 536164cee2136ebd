// Multisample requests lowered until the adapter supports them.

#include "graphics/device/multisample.h"

#include "core/public_api.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/main_thread_call.h"

#include <algorithm>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Lower *type until the format supports it; false when it may not be lowered.
static bool LowerUntilSupported(K_D3DFORMAT format, int *type, int *quality, int noLowering, DWORD *levels)
{
    BOOL windowed = GetWindowedModeState() != 0 ? TRUE : FALSE;
    while (*type > 0 && D3D_CheckDeviceMultiSampleType(0, K_D3DDEVTYPE_HAL, format, windowed,
                                                       static_cast<UINT>(*type), levels) < 0) {
        if (noLowering != 0) {
            *quality = 0;
            return false;
        }
        *type -= 1;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int ChooseMultiSampleSetting(K_D3DFORMAT format, int *type, int *quality, int noLowering)
{
    DWORD colourLevels = 0;
    DWORD depthLevels = 0;
    if (!LowerUntilSupported(format, type, quality, noLowering, &colourLevels)) {
        return -1;
    }
    if (*type > 0 && !LowerUntilSupported(K_D3DFMT_D16, type, quality, noLowering, &depthLevels)) {
        return -1;
    }
    if (*type <= 0) {
        *type = 0;
        *quality = 0;
        return 0;
    }
    int levels = static_cast<int>(std::min(colourLevels, depthLevels));
    *quality = std::min(*quality, levels - 1);
    return 0;
}

int ChooseMultiSampleOnMainThread(K_D3DFORMAT format, int *type, int *quality, int noLowering, void *context)
{
    return RunOnMainThread(context, [&] { return ChooseMultiSampleSetting(format, type, quality, noLowering); });
}

} // namespace Korvo

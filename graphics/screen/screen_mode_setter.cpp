// The program's screen-mode setter.
//
// Before start-up the setter only stores the request; after it the screen-mode
// change rebuilds the graphics module for the new mode. It has a file of its own:
// the shell's tests link it with a stand-in of the change.

#include "graphics/public_api.h"

#include "core/system/window_state.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/screen_request.h"
#include "graphics/device/shell_services.h"
#include "graphics/screen/screen_modes.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool IsSupportedDepth(int bits)
{
    return bits == 8 || bits == 16 || bits == 32;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Store the request, or change the screen to it
int SetScreenResolutionAndDepth(int width, int height, int bitsPerPixel, int refreshRate)
{
    if (width <= 0 || height <= 0 || !IsSupportedDepth(bitsPerPixel)) {
        // A 24-bit request before start-up is still recorded: the start-up
        // sequence refuses to start with it and says why in the log.
        if (bitsPerPixel == 24 && width > 0 && height > 0 && ShellLibraryStarted() == 0) {
            StoreMainScreenSize(width, height);
            GraphicsState.bitsPerPixel = 24;
            GraphicsState.refreshRate = refreshRate;
        }
        return -1;
    }
    if (ShellLibraryStarted() == 0) {
        StoreMainScreenSize(width, height);
        StoreScreenDepth(bitsPerPixel);
        GraphicsState.refreshRate = refreshRate;
        return 0;
    }
    int oldWidth = GraphicsState.mainWidth;
    int oldHeight = GraphicsState.mainHeight;
    int oldBits = GraphicsState.bitsPerPixel;
    int oldRate = GraphicsState.refreshRate;
    ApplyScreenModeChange(width, height, bitsPerPixel, 0, refreshRate);
    int fullScreen = GetWindowedModeState() == 0;
    if (GraphicsState.mainWidth == width && GraphicsState.mainHeight == height &&
        (fullScreen || (GraphicsState.bitsPerPixel == bitsPerPixel && GraphicsState.refreshRate == refreshRate))) {
        return 0;
    }
    bool changed = GraphicsState.mainWidth != oldWidth || GraphicsState.mainHeight != oldHeight ||
                   GraphicsState.bitsPerPixel != oldBits || GraphicsState.refreshRate != oldRate;
    bool fellBack = GraphicsState.mainWidth == 640 && GraphicsState.mainHeight == 480 &&
                    (fullScreen || (GraphicsState.bitsPerPixel == 16 && GraphicsState.refreshRate == 0));
    return changed && fellBack ? -2 : -1;
}

} // namespace Korvo

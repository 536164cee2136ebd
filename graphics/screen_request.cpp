// The screen mode the program asks for and the sizes the graphics module runs with.
//
// Before start-up the setter only stores the request; after it the screen-mode
// change rebuilds the graphics module for the new mode.

#include "graphics/screen_request.h"

#include "graphics/shell_services.h"
#include "core/public_api.h"
#include "core/system/window_state.h"
#include "core/math/vector_math.h"
#include "graphics/graphics_state.h"
#include "graphics/screen_modes.h"
#include "softraster/draw_state.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

int DoubledScreenModeFlag = 0;
int Window640x480RequestFlag = 0;
int PresentInProgressFlag = 0;
int DialogBoxModeFlag = 0;

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

// The depth, 16 while unset
int GetScreenBitsPerPixel()
{
    return GraphicsState.bitsPerPixel != 0 ? GraphicsState.bitsPerPixel : 16;
}

// The refresh rate
int GetScreenRefreshRate()
{
    return GraphicsState.refreshRate;
}

// The drawn size, 640x480 while unset
int GetVirtualScreenSize(int *width, int *height)
{
    if (width != nullptr) {
        *width = GraphicsState.virtualWidth != 0 ? GraphicsState.virtualWidth : 640;
    }
    if (height != nullptr) {
        *height = GraphicsState.virtualHeight != 0 ? GraphicsState.virtualHeight : 480;
    }
    return 0;
}

// Set the main size; the drawn size is 320x240 for a doubled 640x480 screen
void StoreMainScreenSize(int width, int height)
{
    GraphicsState.mainWidth = width;
    GraphicsState.mainHeight = height;
    if (DoubledScreenModeFlag != 0 && width == 640 && height == 480) {
        GraphicsState.virtualWidth = 320;
        GraphicsState.virtualHeight = 240;
    } else {
        GraphicsState.virtualWidth = width != 0 ? width : 640;
        GraphicsState.virtualHeight = height != 0 ? height : 480;
    }
    SetProjectionScreenSize(GraphicsState.virtualWidth, GraphicsState.virtualHeight);
}

// 320x240 while doubled, else the main size; and the depth
int GetScreenSizeAndDepth(int *width, int *height, int *bitsPerPixel)
{
    if (DoubledScreenModeFlag != 0) {
        if (width != nullptr) {
            *width = 320;
        }
        if (height != nullptr) {
            *height = 240;
        }
    } else {
        GetMainScreenSize(width, height);
    }
    if (bitsPerPixel != nullptr) {
        *bitsPerPixel = GetScreenBitsPerPixel();
    }
    return 0;
}

// The main size, 640x480 while unset
int GetMainScreenSize(int *width, int *height)
{
    if (width != nullptr) {
        *width = GraphicsState.mainWidth != 0 ? GraphicsState.mainWidth : 640;
    }
    if (height != nullptr) {
        *height = GraphicsState.mainHeight != 0 ? GraphicsState.mainHeight : 480;
    }
    return 0;
}

// Store the depth and the software screen kind (1 for 32 bits, else 0)
void StoreScreenDepth(int bitsPerPixel)
{
    GraphicsState.bitsPerPixel = bitsPerPixel;
    SetMemImgDefaultScreenKind(bitsPerPixel == 32 ? 1 : 0);
}

// Store the refresh rate
void StoreScreenRefreshRate(int refreshRate)
{
    GraphicsState.refreshRate = refreshRate;
}

} // namespace Korvo

// The screen mode the program asks for and the sizes the graphics module runs with.

#include "graphics/device/screen_request.h"

#include "core/public_api.h"
#include "core/math/vector_math.h"
#include "graphics/device/graphics_state.h"
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
// Public functions
// ---------------------------------------------------------------------------

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

// The requested screen mode and the graphics flags the window layer reads.
//
// Only the request is kept here; the screen itself is built by the graphics
// system from it.

#include "graphics/screen_request.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

int DoubledScreenModeFlag = 0;
int Window640x480RequestFlag = 0;
int PresentInProgressFlag = 0;
int DialogBoxModeFlag = 0;

static int RequestedWidth = 640;
static int RequestedHeight = 480;
static int RequestedBits = 16;
static int RequestedRefreshRate = 0;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Store the request
int SetScreenResolutionAndDepth(int width, int height, int bitsPerPixel, int refreshRate)
{
    RequestedWidth = width;
    RequestedHeight = height;
    RequestedBits = bitsPerPixel;
    RequestedRefreshRate = refreshRate;
    return 0;
}

// The requested depth
int GetScreenBitsPerPixel()
{
    return RequestedBits;
}

// The requested refresh rate
int GetScreenRefreshRate()
{
    return RequestedRefreshRate;
}

// The drawn size: halved while the doubled 320x240 mode shows it at 640x480
int GetVirtualScreenSize(int *width, int *height)
{
    int w = RequestedWidth;
    int h = RequestedHeight;
    if (DoubledScreenModeFlag != 0) {
        w = 320;
        h = 240;
    }
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
    return 0;
}

// Set the main screen size
void StoreMainScreenSize(int width, int height)
{
    RequestedWidth = width;
    RequestedHeight = height;
}

// The drawn size and the requested depth
int GetScreenSizeAndDepth(int *width, int *height, int *bitsPerPixel)
{
    GetVirtualScreenSize(width, height);
    if (bitsPerPixel != nullptr) {
        *bitsPerPixel = RequestedBits;
    }
    return 0;
}

} // namespace Korvo

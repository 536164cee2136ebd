// Where a present puts the screen in the window, and the way back from a window
// rectangle to the screen pixels shown in it.
#pragma once

#include "core/korvo_types.h"

namespace Korvo {

// The screen pixels a present shows (source) and the client area they fill (dest).
struct PresentRects {
    RECT source;
    RECT dest;
    bool doubled;  // a 320x240 picture shown doubled on a 640x480 screen
};

// The rectangles of a whole-screen present for the screen mode in force
PresentRects ComputePresentRects(int mainWidth, int mainHeight, int virtualWidth, int virtualHeight,
                                 bool lowResolutionRequest, bool windowed, double scaleX, double scaleY);
// The screen pixels behind a window rectangle, through a present's rectangles; false when none
bool MapWindowRectToScreen(const RECT &windowRect, const RECT &source, const RECT &dest, RECT *out);

} // namespace Korvo

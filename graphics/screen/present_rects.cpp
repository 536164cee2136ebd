// Present rectangles: the screen area shown and the part of the window it
// fills, and a window rectangle mapped back to screen pixels for a partial
// present. The way back divides by the destination's size: a doubled or scaled
// picture maps x back to x / 2 and so on, never the other way round.

#include "graphics/screen/present_rects.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// One coordinate from the destination's span back into the source's.
static LONG MapCoordinate(LONG value, LONG destStart, LONG destSpan, LONG sourceStart, LONG sourceSpan)
{
    return sourceStart + static_cast<LONG>(static_cast<int64_t>(value - destStart) * sourceSpan / destSpan);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

PresentRects ComputePresentRects(int mainWidth, int mainHeight, int virtualWidth, int virtualHeight,
                                 bool lowResolutionRequest, bool windowed, double scaleX, double scaleY)
{
    PresentRects rects = {};
    rects.doubled = lowResolutionRequest && mainWidth == 640 && mainHeight == 480;
    rects.source = RECT{0, 0, mainWidth, mainHeight};
    rects.dest = rects.source;
    if (rects.doubled) {
        rects.source = RECT{0, 0, 320, 240};
        rects.dest = RECT{0, 0, 640, 480};
    } else if (windowed) {
        rects.dest = RECT{0, 0, static_cast<LONG>(virtualWidth * scaleX), static_cast<LONG>(virtualHeight * scaleY)};
    }
    return rects;
}

bool MapWindowRectToScreen(const RECT &windowRect, const RECT &source, const RECT &dest, RECT *out)
{
    const LONG sourceWidth = source.right - source.left;
    const LONG sourceHeight = source.bottom - source.top;
    const LONG destWidth = dest.right - dest.left;
    const LONG destHeight = dest.bottom - dest.top;
    if (sourceWidth <= 0 || sourceHeight <= 0 || destWidth <= 0 || destHeight <= 0) {
        return false;
    }
    out->left = MapCoordinate(windowRect.left, dest.left, destWidth, source.left, sourceWidth);
    out->right = MapCoordinate(windowRect.right, dest.left, destWidth, source.left, sourceWidth);
    out->top = MapCoordinate(windowRect.top, dest.top, destHeight, source.top, sourceHeight);
    out->bottom = MapCoordinate(windowRect.bottom, dest.top, destHeight, source.top, sourceHeight);
    return out->right > out->left && out->bottom > out->top;
}

} // namespace Korvo

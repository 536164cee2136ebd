// Clipping of one integer rectangle against another.
#include "core/math/rect_clip.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static LONG ClampToRange(LONG value, LONG low, LONG high)
{
    if (value > high)
        return high;
    if (value < low)
        return low;
    return value;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Order rect, then clamp it into bounds
int ClipRectToRect(RECT *rect, const RECT *bounds)
{
    if (rect->right < rect->left)
        rect->right = rect->left;
    if (rect->bottom < rect->top)
        rect->bottom = rect->top;
    rect->bottom = ClampToRange(rect->bottom, bounds->top, bounds->bottom);
    rect->top = ClampToRange(rect->top, bounds->top, bounds->bottom);
    rect->right = ClampToRange(rect->right, bounds->left, bounds->right);
    rect->left = ClampToRange(rect->left, bounds->left, bounds->right);
    return 0;
}

} // namespace Korvo

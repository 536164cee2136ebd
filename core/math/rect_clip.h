// Clipping of one integer rectangle against another (right and bottom exclusive).
#pragma once

#include "core/korvo_types.h"

namespace Korvo {

// Order rect, then clamp it into bounds; a rect outside collapses onto the
// nearest edge (right <= left or bottom <= top means nothing to draw); 0
int ClipRectToRect(RECT *rect, const RECT *bounds);

} // namespace Korvo

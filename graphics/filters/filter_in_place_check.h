// The start-up check of whether a filter's shader pass may render into the
// graph it reads.
#pragma once

#include "image/public_api.h"

namespace Korvo {

// Test hook: sees the check's read-back (8 x 8 XRGB) before it is judged, and may change it
extern void (*FilterInPlaceReadBackHook)(RasterImage *readBack);

// Invert four known colours in place on a drawable 8 x 8 graph and read them back;
// 1 when every channel came back as its inverse, else 0
int CheckFilterRendersInPlace();

} // namespace Korvo

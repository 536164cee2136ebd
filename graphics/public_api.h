// Korvo's public operations of graphics. Programs include korvo.h, which includes this.
#pragma once

namespace Korvo {

// The screen mode, set before start-up
// Store the requested screen size, depth and refresh rate; 0
int SetScreenResolutionAndDepth(int width, int height, int bitsPerPixel, int refreshRate);

} // namespace Korvo

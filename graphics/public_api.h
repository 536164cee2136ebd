// Public operations of graphics (included by korvo.h).
#pragma once

#include "core/korvo_types.h"

namespace Korvo {

// Before start-up store the screen mode; after it change the screen; 0, -2 (fell back to 640x480) or -1
int SetScreenResolutionAndDepth(int width, int height, int bitsPerPixel, int refreshRate);
// Before start-up: 0 draws in software without Direct3D; 0, or -1 once started
int SetHardwareRenderingWanted(int wanted);
// Whether start-up tries Direct3D
int IsHardwareRenderingWanted();
// Whether presents wait for the vertical blank; 0
int SetWaitForVerticalBlank(int enable);
// The vertical-blank wait setting
int IsWaitForVerticalBlankOn();
// Clear the draw target to the background colour; 0, or -1 before start-up
int ClearDrawScreen();
// Show what was drawn into the back screen; 0, or -1 before start-up or once the end was requested
int PresentBackScreen();
// The same with a rectangle of the window (null: all)
int PresentBackScreenRect(const RECT *rect);

} // namespace Korvo

// The screen mode the program asks for, and the graphics state flags that the
// window layer reads. Set before start-up by the program's setters.
#pragma once

#include "graphics/public_api.h"

namespace Korvo {

// Graphics state read by the window layer.
extern int DoubledScreenModeFlag;   // full-screen 320x240 shown as a doubled 640x480 screen
extern int Window640x480RequestFlag; // graphics asks for a 640x480 window
extern int PresentInProgressFlag;    // the present routine runs
extern int DialogBoxModeFlag;        // Direct3D dialog-box mode

// The requested depth (16 while none was set)
int GetScreenBitsPerPixel();
// The requested refresh rate (0 while none was set)
int GetScreenRefreshRate();
// The screen size the program draws (640x480 while none was set, 320x240 in the doubled mode); 0
int GetVirtualScreenSize(int *width, int *height);
// Set the main screen size (640x480 becomes 320x240 in the doubled mode)
void StoreMainScreenSize(int width, int height);
// The drawn screen size and depth (null pointers skipped); 0
int GetScreenSizeAndDepth(int *width, int *height, int *bitsPerPixel);

} // namespace Korvo

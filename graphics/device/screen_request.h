// The screen mode: the size, depth and rate the program asks for, the screen
// sizes the graphics module runs with, and the flags the window layer reads.
#pragma once

#include "graphics/public_api.h"

namespace Korvo {

// Graphics state read by the window layer.
extern int DoubledScreenModeFlag;     // full-screen 320x240 shown as a doubled 640x480 screen
extern int Window640x480RequestFlag;  // low-resolution emulation request: a 640x480 screen for 320x240
extern int PresentInProgressFlag;     // the present routine runs
extern int DialogBoxModeFlag;         // Direct3D dialog-box mode

// The depth (16 while none was set)
int GetScreenBitsPerPixel();
// The refresh rate (0 while none was set)
int GetScreenRefreshRate();
// The drawn screen size (640x480 while none was set); 0
int GetVirtualScreenSize(int *width, int *height);
// Set the main screen size and the drawn size that follows from it
void StoreMainScreenSize(int width, int height);
// The screen size (320x240 in the doubled mode) and depth (null pointers skipped); 0
int GetScreenSizeAndDepth(int *width, int *height, int *bitsPerPixel);
// The main (display) screen size (640x480 while none was set); 0
int GetMainScreenSize(int *width, int *height);
// Store the depth and the software screen kind that goes with it
void StoreScreenDepth(int bitsPerPixel);
// Store the refresh rate
void StoreScreenRefreshRate(int refreshRate);

} // namespace Korvo

// Draw targets of the screens (back -2, front -4, and -3, -5) and the software
// screen image; clearing the target, locking its pixels for reading.
#pragma once

#include "graphics/public_api.h"

#include "core/korvo_types.h"
#include "softraster/memimg.h"

namespace Korvo {

// The software screen image (software mode)
extern MEMIMG SoftwareScreen;

// The current draw target
int GetSelectedDrawTarget();
// Size of the current draw target; 0, or -1 when the target is no longer valid
int GetDrawTargetSize(int *width, int *height);
// The software image of a graph draw target, or null for the screens
MEMIMG *GetDrawTargetGraphMemImg();
// The draw area becomes the whole draw target (and the viewport follows); 0
int SetDrawAreaToWholeTarget();
// A sorted area inside the target becomes the DrawArea; 0, -1 without a device in Direct3D mode
int ApplyDrawArea(const RECT &area);
// Fill a rectangle of the target (null: all) with the background colour; 0
int FillDrawTargetWithBackground(const RECT *rect);
// Make the software screen image, cleared to the background colour; ends the process on failure
int CreateSoftwareScreen();
// Dispose the software screen image
void DisposeSoftwareScreen();

} // namespace Korvo

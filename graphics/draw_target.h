// Draw targets of the screens (back -2, front -4, and -3, -5) and the software
// screen image; clearing the target to the background colour.
#pragma once

#include "core/korvo_types.h"
#include "softraster/memimg.h"

namespace Korvo {

// The software screen image (software mode)
extern MEMIMG SoftwareScreen;

// Direct drawing to a screen target; 0, or -1 before start-up or for another value
int SelectDrawTarget(int target);
// The current draw target
int GetSelectedDrawTarget();
// The draw area becomes the whole draw target (and the viewport follows); 0
int SetDrawAreaToWholeTarget();
// Fill a rectangle of the target (null: all) with the background colour; 0
int FillDrawTargetWithBackground(const RECT *rect);
// Make the software screen image, cleared to the background colour; ends the process on failure
int CreateSoftwareScreen();
// Dispose the software screen image
void DisposeSoftwareScreen();

} // namespace Korvo

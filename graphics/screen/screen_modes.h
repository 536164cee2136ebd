// Screen-mode change after start-up (the graphics module is shut down and
// started again, with a fixed chain of fallbacks) and the adapter's display modes.
#pragma once

#include "graphics/startup_entries.h"

namespace Korvo {

// One display mode as the enumeration gives it; false when the index is past the last mode.
typedef bool (*DisplayModeEnumerator)(int index, DisplayModeEntry *mode);

// Rebuild the screen for a new mode (-1 keeps a value); 0, or -1 when a full-screen
// request names a mode the adapter does not list (nothing changes then)
int ApplyScreenModeChange(int width, int height, int bitsPerPixel, int force, int refreshRate);
// Enumerate twice (count, then fill) the modes of 16 bits or more into the list
void BuildDisplayModeList(DisplayModeEnumerator enumerate);
// Free the list (it is built again on first use)
void FreeDisplayModeList();
// The platform's enumeration of display modes
bool EnumeratePlatformDisplayMode(int index, DisplayModeEntry *mode);
// 1 when the list has a mode of exactly that size and depth
int IsDisplayModeAvailable(int width, int height, int bitsPerPixel);

} // namespace Korvo

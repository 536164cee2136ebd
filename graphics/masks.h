// Masks and the mask screen: while masking is active, drawing goes to a copy of
// the target and the outermost end of each draw's bracket writes the drawn
// pixels back where the mask lets them through. Nothing in the library makes a
// mask screen yet, so the brackets only count their nesting.
#pragma once

#include "graphics/public_api.h"

#include "core/korvo_types.h"
#include "graphics/startup_entries.h"
#include "softraster/memimg.h"

namespace Korvo {

struct MaskState {
    int moduleReady;    // kind 7 registered
    int created;        // a mask screen was asked for
    int use;            // set by EnableMaskScreen
    int active;         // use and created
    int reverse;        // pass where the mask byte is non-zero
    int pendingPass;
    int nesting;
    uint8_t *plane;     // one byte per pixel of the virtual screen
    int planePitch;
    MEMIMG screen;      // software mask screen
    int screenMadeHere;
};

extern MaskState Masks;

// Register the mask kind; 0, -1 when done already
int InitMaskModule();
// Masking off, surfaces released, mask records deleted, the kind unregistered; 0, -1 when not initialised
int EndMaskModule();
// Make the mask plane and the software mask screen (nothing for 0); 0
int CreateMaskScreenSurfaces(int flag);
// Free the plane and the mask screen; 0
int ReleaseMaskScreenSurfaces();
// Open a masked draw over a rectangle; 0
int BeginMaskedDrawRect(RECT rect);
// Close it; the outermost close writes the drawn pixels back through the mask; 0
int EndMaskedDrawRect(RECT rect);
// Complete a pending mask pass over the DrawArea
void CompletePendingMaskPass();

} // namespace Korvo

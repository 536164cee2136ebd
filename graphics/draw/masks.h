// Masks and the mask screen: while masking is active, drawing goes to a copy of
// the target and the outermost end of each draw's bracket writes the drawn
// pixels back where the mask lets them through. Nothing in the library makes a
// mask screen yet, so the brackets only count their nesting.
#pragma once

#include "graphics/public_api.h"

#include "core/korvo_types.h"
#include "graphics/device/d3d9_types.h"
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
    int planeWidth;
    int planeHeight;
    MEMIMG screen;      // software mask screen
    int screenMadeHere;
    // Direct3D: the gate (alpha) and the mask screen (a render target), power-of-two sides
    K_IDirect3DTexture9 *imageTexture;
    K_IDirect3DTexture9 *screenTexture;
    K_IDirect3DSurface9 *screenSurface;
    int textureWidth;
    int textureHeight;
    K_IDirect3DSurface9 *bracketTarget; // the target surface the outermost bracket writes back to
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
// After a device rebuild: the mask screen again when one was made, masking on again when it was; 0, -1 before start-up
int RestoreMaskScreen();
// Open a masked draw over a rectangle; 0
int BeginMaskedDrawRect(RECT rect);
// Close it; the outermost close writes the drawn pixels back through the mask; 0
int EndMaskedDrawRect(RECT rect);
// Complete a pending mask pass over the DrawArea
void CompletePendingMaskPass();

// The Direct3D side (mask_device_pass.cpp)
// Make the gate texture (cleared) and the mask screen texture; ends the process on failure
void CreateMaskDeviceSurfaces(int width, int height);
void ReleaseMaskDeviceSurfaces();
// Render target 0 becomes the mask screen (active) or the draw target's surface
void SelectMaskRenderTarget(int active);
// Copy a rectangle of the target into the mask screen (the outermost bracket opens)
void CopyTargetIntoMaskScreen(const RECT &rect);
// Draw the mask screen's rectangle back onto the target where the gate passes
void WriteMaskScreenBackOnDevice(const RECT &rect);

} // namespace Korvo

// Draw targets: the screens (back -2, front -4, and -3, -5) and drawable graphs,
// the extra render-target slots, the depth buffer, the software screen image;
// clearing the target, locking its pixels for reading, copying it into graphs.
#pragma once

#include "graphics/public_api.h"

#include "core/korvo_types.h"
#include "graphics/device/d3d9_types.h"
#include "softraster/memimg.h"

namespace Korvo {

struct GraphTexturePiece;

constexpr int kRenderTargetSlotCount = 16;

// The software screen image (software mode)
extern MEMIMG SoftwareScreen;

// Arms (flag non-zero) the timer that shows the front screen again while it is
// the draw target. Presenting sits above drawing, so the screen code installs it.
typedef int (*FrontScreenRefreshStarter)(int flag);
// Install the starter SelectDrawTarget calls (null: none is called); 0
int SetFrontScreenRefreshStarter(FrontScreenRefreshStarter starter);

// Size of the current draw target; 0, or -1 when the target is no longer valid
int GetDrawTargetSize(int *width, int *height);
// The software image of a graph draw target, or null for the screens
MEMIMG *GetDrawTargetGraphMemImg();
// The software image of a screen or graph (the current target's as drawing sees it), or null
MEMIMG *GetTargetMemImg(int target);
// Size of a screen or graph; 0, or -1 for an invalid graph
int GetTargetSize(int target, int *width, int *height);
// The device surface drawing into a target goes to (a screen, or a piece of a graph), or null
K_IDirect3DSurface9 *GetDrawTargetSurface(int target, int pieceIndex);
// Set a surface on a render-target slot (skipped when it is set already); slot 0 takes its viewport; 0 or -1
int SetRenderTargetSurface(K_IDirect3DSurface9 *surface, int slot);
// Forget the surfaces set on the device (it was released): the next sets happen
void ForgetRenderTargetSurfaces();
// The target of a render-target slot (slot 0: the draw target), -1 for none
int GetRenderTargetSlot(int slot);
// The depth-buffer graph, or -2 for the default depth buffer
int GetDrawZBufferGraph();
// Set the depth surface that goes with the current target (masking: the default one)
void ApplyDrawTargetDepthBuffer();
// The depth surface set for the current target, or null
K_IDirect3DSurface9 *GetCurrentDepthSurface();
// Copy a piece's multisample surface onto its texture; 0 or -1
int ResolveMultisampleSurface(GraphTexturePiece *piece);
// Whether the screens' surface is made lockable and whole reads of it lock it
// (the start-up timing found that faster, and there is no multisampling)
bool ScreensReadByLock();
// (Re)make the sub back buffer: a render target of the main size in the screen
// format, lockable when the screens are read by locking; 0 or -1
int AllocSubBackBuffer();
// Release the kept read-back copies of LockDrawScreenBuffer (the device is going); an open lock ends
void ReleaseScreenReadCopies();
// How the last LockDrawScreenBuffer read its pixels (none: it failed, or no read yet)
enum ScreenReadRoad {
    kScreenReadNone,
    kScreenReadSoftware,   // pointed into the software image
    kScreenReadLock,       // locked the screens' surface
    kScreenReadWholeCopy,  // read the whole surface into its kept copy
    kScreenReadRectCopy,   // copied the rectangle on the device and read that back
};
ScreenReadRoad LastScreenReadRoad();
// Draw into the sub back buffer from now on (made from the back buffer once); 0 or -1
int UseSubBackBuffer();
// The draw area becomes the whole draw target (and the viewport follows); 0
int SetDrawAreaToWholeTarget();
// A sorted area inside the target becomes the DrawArea; 0, -1 without a device in Direct3D mode
int ApplyDrawArea(const RECT &area);
// The CPU half of ApplyDrawArea: the DrawArea, its float copies and the software
// clip, without the device's viewport and scissor or the empty flag
void StoreDrawAreaForCpuClipping(const RECT &area);
// Fill a rectangle of the target (null: all) with the background colour; 0
int FillDrawTargetWithBackground(const RECT *rect);
// Make the software screen image, cleared to the background colour; ends the process on failure
int CreateSoftwareScreen();
// Dispose the software screen image
void DisposeSoftwareScreen();

} // namespace Korvo

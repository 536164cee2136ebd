// Graphics entries of the core runtime's sequences, window procedure,
// activation and message pump that have no other home in graphics.

#include "graphics/startup_entries.h"

#include "graphics/device/shell_services.h"
#include "core/public_api.h"
#include "core/system/window_state.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/screen/device_startup.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/device/draw_settings.h"
#include "core/log/error_log.h"
#include "graphics/draw/draw_target.h"
#include "graphics/device/graphics_state.h"
#include "graphics/draw/masks.h"
#include "graphics/public_api.h"
#include "graphics/device/screen_request.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static int RestoreCallbackChosen = 0;
static int LogDrawingGuard = 0;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int IsHardwareRenderingWanted()
{
    return GraphicsState.softwareOnlyRequest != 0 ? 0 : 1;
}

// Before start-up only: 0 asks for software drawing
int SetHardwareRenderingWanted(int wanted)
{
    if (ShellLibraryStarted() != 0) {
        return -1;
    }
    GraphicsState.softwareOnlyRequest = wanted != 0 ? 0 : 1;
    return 0;
}

// Records the restore routine (null: the built-in one)
int SetGraphRestoreCallback(GraphRestoreCallback callback)
{
    Draw.graphRestoreCallback = callback;
    RestoreCallbackChosen = 1;
    return 0;
}

int HasGraphRestoreCallback()
{
    return RestoreCallbackChosen;
}

// The on-screen log over the whole screen, blend mode none and bright white; the
// caller's DrawArea, blend mode and bright colour are put back afterwards.
static void DrawScreenLogOverFrame()
{
    const RECT area = Draw.drawArea;
    const int mode = Draw.blendMode;
    const int param = Draw.blendParam;
    const uint32_t bright = Draw.brightColor;
    int width = 0;
    int height = 0;
    GetMainScreenSize(&width, &height);
    ApplyDrawArea(RECT{0, 0, width, height});
    SetBlendModeAndParam(0, param);
    StoreBrightColor(0xFFFFFF);
    LogDrawingGuard = 1;
    DrawScreenLogLines();
    LogDrawingGuard = 0;
    ApplyDrawArea(area);
    SetBlendModeAndParam(mode, param);
    StoreBrightColor(bright);
}

// Show what was drawn into the back screen
int PresentBackScreen()
{
    return PresentBackScreenRect(nullptr);
}

// The present with an optional rectangle of the window
int PresentBackScreenRect(const RECT *rect)
{
    PresentInProgressFlag = 1;
    if (LogDrawingGuard != 0) {
        PresentInProgressFlag = 0;
        return 0;
    }
    if (ShellLibraryStarted() == 0 || GetShutdownRequestedFlag() != 0 || GraphicsState.started == 0) {
        PresentInProgressFlag = 0;
        return -1;
    }
    CompletePendingMaskPass();
    if (GetScreenLogDrawFlag() != 0) {
        DrawScreenLogOverFrame();
    }
    int result = PresentScreen(rect);
    PresentInProgressFlag = 0;
    return result < 0 ? -1 : 0;
}

// Clear the draw target to the background colour
int ClearDrawScreen()
{
    if (GraphicsState.started == 0) {
        return -1;
    }
    return FillDrawTargetWithBackground(nullptr);
}

// The window needs painting: present the back screen again. A full-screen
// present may leave the back buffer undefined, so drawing moves to the sub back
// buffer first, whose copy survives each present.
void RefreshPresentedScreen()
{
    if (GraphicsState.direct3DModeActive != 0 && GetWindowedModeState() == 0) {
        UseSubBackBuffer();
    }
    PresentBackScreenRect(nullptr);
}

int IsFullScreenMode()
{
    return GetWindowedModeState() != 0 ? 0 : 1;
}

// End an open scene and pass the flag to the device; 0
int G_D3D_SwitchDialogBoxMode(int flag)
{
    if (G_D3D_HasDevice() != 0) {
        G_D3D_EndSceneIfBegun();
        D3DDev_SetDialogBoxMode(flag != 0 ? TRUE : FALSE);
    }
    return 0;
}

// Store the flag; with a device switch the dialog-box mode off and, when asked, on
int SetMenuDialogBoxMode(int enable)
{
    DialogBoxModeFlag = enable;
    if (GraphicsState.direct3DModeActive != 0 && G_D3D_HasDevice() != 0) {
        G_D3D_EndSceneIfBegun();
        D3DDev_SetDialogBoxMode(FALSE);
        if (enable != 0) {
            D3DDev_SetDialogBoxMode(TRUE);
        }
    }
    return 0;
}

int GetMenuDialogBoxMode()
{
    return DialogBoxModeFlag;
}

} // namespace Korvo

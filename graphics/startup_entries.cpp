// Graphics entries of the core runtime's sequences, until graphics is built.
//
// The graphics system does not exist yet: these entries start, draw, present
// and restore nothing. Each says what it leaves undone; they are replaced by
// the graphics subsystem's own code.

#include "graphics/startup_entries.h"

#include "core/system/window_state.h"
#include "graphics/screen_request.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static int RestoreCallbackChosen = 0;
static int DrawTarget = -2;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Not built yet: no adapter is enumerated, so there are no modes.
int CountDisplayModes()
{
    return 0;
}

// Not built yet: every index is out of range.
DisplayModeEntry GetDisplayModeEntry(int index)
{
    (void)index;
    return DisplayModeEntry{-1, -1, -1, -1};
}

// Not built yet: software-only rendering was never chosen.
int IsHardwareRenderingWanted()
{
    return 1;
}

// Records the choice only; the built-in restore routine comes with graphics.
int SetGraphRestoreCallback(GraphRestoreCallback callback)
{
    (void)callback; // the routine itself is kept once graphics can call it
    RestoreCallbackChosen = 1;
    return 0;
}

// Whether a restore routine was chosen (null chooses the built-in one).
int HasGraphRestoreCallback()
{
    return RestoreCallbackChosen;
}

// Not built yet: starts nothing; there is nothing that could fail.
int StartupGraphicsSystem()
{
    return 0;
}

// Not built yet: nothing was started, nothing to end.
int ShutdownGraphicsSystem()
{
    RestoreCallbackChosen = 0;
    return 0;
}

// Not built yet: remembers the id only; nothing is drawn anywhere.
int SelectDrawTarget(int target)
{
    DrawTarget = target;
    return 0;
}

// The id last selected.
int GetSelectedDrawTarget()
{
    return DrawTarget;
}

// Not built yet: there is no back screen to show.
void RefreshPresentedScreen()
{
}

// Not built yet: there is no screen to rebuild; the window layer has already
// restyled the window, so the mode change itself reports no failure.
int ApplyScreenModeChange(int width, int height, int bitsPerPixel, int force, int refreshRate)
{
    (void)width;
    (void)height;
    (void)bitsPerPixel;
    (void)force;
    (void)refreshRate;
    return 0;
}

// Not built yet: no device.
int G_D3D_HasDevice()
{
    return 0;
}

// Not built yet: no scene is ever open.
void G_D3D_EndSceneIfBegun()
{
}

// Not built yet: no device, so none is lost.
int G_D3D_IsDeviceLost()
{
    return 0;
}

// Not built yet: no device to re-create.
int RecreateGraphicsDevice()
{
    return 0;
}

// Not built yet: no device to release.
void ReleaseGraphicsDevice()
{
}

// The window mode decides until graphics keeps its own state.
int IsFullScreenMode()
{
    return GetWindowedModeState() != 0 ? 0 : 1;
}

// Not built yet: no DirectDraw object exists.
void *GetDirectDraw7Object()
{
    return nullptr;
}

// Not built yet: there is no mask screen.
int EnableMaskScreen(int enable)
{
    (void)enable;
    return -1;
}

// Not built yet: masking is never on.
int IsMaskScreenEnabled()
{
    return 0;
}

// Not built yet: nothing is presented; the setting is not kept.
int SetWaitForVerticalBlank(int enable)
{
    (void)enable;
    return 0;
}

// Not built yet: presenting never waits.
int IsWaitForVerticalBlankOn()
{
    return 0;
}

// Not built yet: there is no device to apply the mode to; the flag is kept.
int SetMenuDialogBoxMode(int enable)
{
    DialogBoxModeFlag = enable;
    return 0;
}

// The stored flag.
int GetMenuDialogBoxMode()
{
    return DialogBoxModeFlag;
}

} // namespace Korvo

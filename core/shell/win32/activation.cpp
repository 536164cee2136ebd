// Activation of the main window and the small window services around it:
// pausing and resuming the library, the foreground, desktop composition, the
// cursor and the full-screen menu-bar check.

#include "core/shell/library_life.h"
#include "core/shell/main_window.h"
#include "core/shell/win32/shell_window.h"

#include "core/log/error_log.h"
#include "core/system/platform_libraries.h"
#include "graphics/device/screen_request.h"
#include "graphics/startup_entries.h"
#include "input/startup_entries.h"
#include "movie/startup_entries.h"
#include "sound/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kWindowsVistaCode = 264;
// Cursor height that counts as "near the top" in the full-screen menu check.
constexpr int kMenuBarCursorLimit = 60;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void PauseSoundsAndMovies()
{
    SuspendAllMovies();
    SetSoundHandlesPaused(1);
    SetSoftSoundPlayersPaused(1);
}

static void ResumeSoundsAndMovies()
{
    ResumeSuspendedMovies();
    SetSoundHandlesPaused(0);
    SetSoftSoundPlayersPaused(0);
}

static void PostSetCursor()
{
    if (WindowState.window != nullptr) {
        PostMessageA(WindowState.window, WM_SETCURSOR, reinterpret_cast<WPARAM>(WindowState.window),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    }
}

static void Activate()
{
    if (GetImeEnabledFlag() != 0 && GetImeActiveFlag() != 0) {
        SetImeResetPending(1);
    }
    if (WindowState.windowedMode != 0) {
        if (G_D3D_HasDevice() != 0) {
            G_D3D_EndSceneIfBegun();
            if (G_D3D_IsDeviceLost() != 0) {
                RecreateGraphicsDevice();
            }
        }
    } else if (WindowState.libraryStarted != 0) {
        RecreateGraphicsDevice();
    }
    ResumeSoundsAndMovies();
    ReacquireInputDevices();
}

// Returns -1 when the system must end.
static int Deactivate()
{
    if (WindowState.windowedMode == 0) {
        ReleaseGraphicsDevice();
        if (WindowState.windowsVersionCode >= kWindowsVistaCode || GetMenuDialogBoxMode() == 0) {
            ChangeDisplaySettingsA(nullptr, 0);
            ShowWindow(WindowState.window, SW_MINIMIZE);
        }
    }
    if (WindowState.windowedMode == 0 && IsFullScreenMode() != 0 && GetDirectDraw7Object() != nullptr) {
        if (WindowState.compositionSwitchedOff != 0) {
            SetDesktopCompositionState(1);
        }
        if (HasGraphRestoreCallback() == 0) {
            AppendLogText("復元関数が登録されていないため終了します\n");
            if (WindowState.forcedClose == 0) {
                WindowState.forcedClose = 1;
                PostMessageA(WindowState.window, WM_CLOSE, 0, 0);
            }
            return -1;
        }
        PauseSoundsAndMovies();
    } else {
        PauseSoundsAndMovies();
        ReacquireInputDevices();
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Pause or resume the library for a new activation state
int HandleAppActivation(int wParam, int isActivateApp)
{
    (void)isActivateApp;
    int newState = LOWORD(wParam) != 0 ? 1 : 0;
    if (WindowState.creating != 0) {
        WindowState.active = newState;
        return 0;
    }
    if (HIWORD(wParam) != 0) {
        newState = 0;
    }
    if (newState == WindowState.active) {
        return 0;
    }
    WindowState.active = newState;
    if (newState != 0) {
        Activate();
    } else if (Deactivate() == -1) {
        return -1;
    }
    ApplyJoypadVibrationStates();
    return 0;
}

// Bring a window to the foreground past the foreground lock
void ForceForegroundWindow(HWND window, int topmost)
{
    DWORD ownThread = GetWindowThreadProcessId(window, nullptr);
    DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    AttachThreadInput(ownThread, foregroundThread, TRUE);
    DWORD lockTimeout = 0;
    SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &lockTimeout, 0);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    SetForegroundWindow(window);
    SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<PVOID>(static_cast<UINT_PTR>(lockTimeout)),
                          0);
    AttachThreadInput(ownThread, foregroundThread, FALSE);
    if (topmost == 1) {
        SetWindowPos(WindowState.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW);
    }
}

// Switch composition when it differs from what the library recorded
int SetDesktopCompositionState(int enable)
{
    int switchedOff = enable != 0 ? 0 : 1;
    if (switchedOff != WindowState.compositionSwitchedOff) {
        if (PlatformLibraries.dwmapi.DwmEnableComposition != nullptr) {
            PlatformLibraries.dwmapi.DwmEnableComposition(enable != 0 ? 1 : 0);
        }
        WindowState.compositionSwitchedOff = switchedOff;
    }
    return 0;
}

// Show or hide the cursor until the display count agrees
int ApplyMouseCursorVisibility(int shown)
{
    if (shown != -1) {
        WindowState.cursorShownSetting = shown;
    }
    if (WindowState.cursorShownSetting != WindowState.cursorShownState || shown == -1) {
        if (WindowState.cursorShownSetting == 0) {
            while (ShowCursor(FALSE) >= 0) {
            }
        } else {
            while (ShowCursor(TRUE) < 0) {
            }
        }
        PostSetCursor();
        WindowState.cursorShownState = WindowState.cursorShownSetting;
    }
    return 0;
}

// Full screen: keep the dialog-box mode and cursor in step with the cursor's height
int UpdateMenuBarAutoDisplay()
{
    if (WindowState.windowedMode != 0) {
        return 0;
    }
    int y = 0;
    GetCursorClientPosition(nullptr, &y);
    if (GetMenuDialogBoxMode() != 0) {
        if (y > kMenuBarCursorLimit) {
            ApplyMouseCursorVisibility(-1);
        }
        return 0;
    }
    WindowState.cursorNearTop = y < kMenuBarCursorLimit ? 1 : 0;
    SetMenuDialogBoxMode(GetMenuDialogBoxMode());
    ApplyMouseCursorVisibility(-1);
    return 0;
}

} // namespace Korvo

// What the shell's Windows files share among themselves.
#pragma once

#include "core/system/win32/app_window.h"
#include "core/system/win32/window_state.h"

namespace Korvo {

// Draw-target ids the window procedure checks.
constexpr int kDrawTargetBackScreen = -2;
constexpr int kDrawTargetFrontScreen = -4;

// Zero the window-life part of the state, keeping what setters and earlier start-up steps wrote
void ResetWindowStateForStartup();
// Base client size of the current mode (640x480 when doubled or asked for by graphics)
void GetModeClientSize(int *width, int *height);
// Bring a window to the foreground (and make the main window top-most with topmost 1)
void ForceForegroundWindow(HWND window, int topmost);
// The main window's procedure
LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// An activation change (WM_ACTIVATE, or WM_ACTIVATEAPP with isActivateApp 1):
// queued for the pump while it runs, else applied at once
void QueueOrApplyActivation(WPARAM wParam, int isActivateApp);

} // namespace Korvo

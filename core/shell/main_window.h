// The main window as the shell drives it: start-up and end, window mode,
// activation. The facts it records for others are in core/system/window_state.h.
#pragma once

#include "core/public_api.h"

#include "core/system/window_state.h"

namespace Korvo {

// Create the main window and the services it owns; 0, or -1 (quit and end request set)
int StartMainWindow();
// Destroy the main window and end its services; 0
int EndMainWindow();

// Store the window-mode flag and log it; 0
int StoreWindowModeFlag(int windowed);
// Give the window the styles, size and place of the current mode; 0
int ApplyWindowStyleForMode();
// Size the window so that its client area is the screen size; 0
int ResizeWindowToSettings();
// Apply a queued activation change; 0, or -1 when the system must end
int HandleAppActivation(int wParam, int isActivateApp);
// Full-screen menu-bar check of the pump; 0
int UpdateMenuBarAutoDisplay();

// Write the machine's facts to the log and record them; 0
int LogSystemInformation();

// The main window accepts no dropped files; 0
int ApplyFileDropAcceptance();

} // namespace Korvo

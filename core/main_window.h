// The main window: start-up and end, window mode, activation and the window
// services other subsystems read (no Windows types here; see core/win32/app_window.h).
#pragma once

#include "core/korvo_types.h"

namespace Korvo {

// Create the main window and the services it owns; 0, or -1 (quit and end request set)
int StartMainWindow();
// Destroy the main window and end its services; 0
int EndMainWindow();

// Switch between windowed (1) and full-screen (0) display, before or after start-up
int ChangeWindowMode(int windowed);
// Store the window-mode flag and log it; 0
int StoreWindowModeFlag(int windowed);
// Give the window the styles, size and place of the current mode; 0
int ApplyWindowStyleForMode();
// Size the window so that its client area is the screen size; 0
int ResizeWindowToSettings();
// Apply a queued activation change; 0, or -1 when the system must end
int HandleAppActivation(int wParam, int isActivateApp);
// Switch desktop composition (only when it differs from what the library set); 0
int SetDesktopCompositionState(int enable);
// Show (1) or hide (0) the cursor over the window, or re-apply the setting (-1); 0
int ApplyMouseCursorVisibility(int shown);
// Full-screen menu-bar check of the pump; 0
int UpdateMenuBarAutoDisplay();

// Write the machine's facts to the log and record them; 0
int LogSystemInformation();

// Getters of the window state.
int GetAppActiveState();
int GetWindowedModeState();
int GetRunWhileInactiveFlag();
int GetMmxAvailableFlag();
int GetForcedCloseFlag();
int GetLoadInBackgroundFlag();
int GetLogicalProcessorCount();
int GetWindowsVersionCode();
// Store whether loaders queue their work to the workers (any non-zero is 1); 0
int SetLoadInBackgroundFlag(int flag);
// Desktop size and depth (recorded at start-up once started); 0
int GetDesktopModeInfo(int *width, int *height, int *bits);
// Both 1.0: the window shows the screen at its own size
double GetWindowScaleFactors(double *x, double *y);
// Set the window title (at most 255 bytes), also on an existing window; 0
int SetAppWindowTitle(const char *title);
// Read CF_TEXT into buffer (at most bufferSize bytes, terminated); with a null
// buffer the size to pass; 0, or -1 when there is no text or the clipboard fails
int ReadClipboardAnsiText(char *buffer, int bufferSize);
// Put a text on the clipboard as CF_TEXT; 0, or -1 on failure
int WriteClipboardAnsiText(const char *text);
// The main window accepts no dropped files; 0
int ApplyFileDropAcceptance();
// Cursor position in client (windowed) or screen (full screen) coordinates; 0
int GetCursorClientPosition(int *x, int *y);
// The client area's screen rectangle; 0
int GetClientScreenRect(RECT *rect);
// Local year, month, day, hour, minute and second of a file time
void ConvertFileTimeToDateFields(const FILETIME *time, int out[6]);

} // namespace Korvo

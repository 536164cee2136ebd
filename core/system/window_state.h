// The window and system facts that services and subsystems read: the active
// flag, window mode, processor facts, desktop mode, cursor and clipboard. The
// shell writes them as the window lives; nothing here needs <windows.h>.
#pragma once

#include "core/korvo_types.h"

namespace Korvo {

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
// Read CF_TEXT into buffer (at most bufferSize bytes, terminated); with a null
// buffer the size to pass; 0, or -1 when there is no text or the clipboard fails
int ReadClipboardAnsiText(char *buffer, int bufferSize);
// Put a text on the clipboard as CF_TEXT; 0, or -1 on failure
int WriteClipboardAnsiText(const char *text);
// Cursor position in client (windowed) or screen (full screen) coordinates; 0
int GetCursorClientPosition(int *x, int *y);
// The client area's screen rectangle; 0
int GetClientScreenRect(RECT *rect);
// Local year, month, day, hour, minute and second of a file time
void ConvertFileTimeToDateFields(const FILETIME *time, int out[6]);

} // namespace Korvo

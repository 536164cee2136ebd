// The main window's Windows-typed services.
#pragma once

#include <windows.h>

namespace Korvo {

// The main window, or null before it exists
HWND GetAppWindowHandle();
// The window that receives the picture: the main window
HWND GetRenderWindowHandle();
// Bring a window to the foreground (and make the main window top-most with topmost 1)
void ForceForegroundWindow(HWND window, int topmost);
// The main window's procedure
LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace Korvo

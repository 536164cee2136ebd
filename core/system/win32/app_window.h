// The main window's handle for the Windows code of services and subsystems.
#pragma once

#include <windows.h>

namespace Korvo {

// The main window, or null before it exists
HWND GetAppWindowHandle();
// The window that receives the picture: the main window
HWND GetRenderWindowHandle();

} // namespace Korvo

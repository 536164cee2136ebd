// The window state record and its getters.

#include "core/system/window_state.h"
#include "core/system/win32/app_window.h"
#include "core/system/win32/window_state.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

MainWindowState WindowState;

// ---------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------

// PLANES x BITSPIXEL of the screen
int ReadDesktopBitsPerPixel()
{
    HDC screen = GetDC(nullptr);
    int bits = GetDeviceCaps(screen, PLANES) * GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    return bits;
}

// Client rectangle of the window in screen coordinates
void RefreshClientScreenRect()
{
    RECT client;
    if (WindowState.window == nullptr || !GetClientRect(WindowState.window, &client)) {
        return;
    }
    POINT topLeft = {client.left, client.top};
    POINT bottomRight = {client.right, client.bottom};
    ClientToScreen(WindowState.window, &topLeft);
    ClientToScreen(WindowState.window, &bottomRight);
    WindowState.clientScreenRect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The active flag
int GetAppActiveState()
{
    return WindowState.active;
}

// The main window
HWND GetAppWindowHandle()
{
    return WindowState.window;
}

// The window-mode flag
int GetWindowedModeState()
{
    return WindowState.windowedMode;
}

// The library always pauses while inactive
int GetRunWhileInactiveFlag()
{
    return 0;
}

// The MMX flag
int GetMmxAvailableFlag()
{
    return WindowState.mmxAvailable;
}

// The forced-close flag
int GetForcedCloseFlag()
{
    return WindowState.forcedClose;
}

// The picture goes to the main window
HWND GetRenderWindowHandle()
{
    return WindowState.window;
}

// The background-loading flag
int GetLoadInBackgroundFlag()
{
    return WindowState.loadInBackground;
}

// Logical processors recorded at start-up
int GetLogicalProcessorCount()
{
    return WindowState.logicalProcessorCount;
}

// Windows version code recorded at start-up
int GetWindowsVersionCode()
{
    return WindowState.windowsVersionCode;
}

// Store the background-loading flag as 0 or 1
int SetLoadInBackgroundFlag(int flag)
{
    WindowState.loadInBackground = flag != 0 ? 1 : 0;
    return 0;
}

// Recorded desktop once started, else the current one
int GetDesktopModeInfo(int *width, int *height, int *bits)
{
    int w, h, b;
    if (WindowState.libraryStarted != 0) {
        w = WindowState.desktopWidth;
        h = WindowState.desktopHeight;
        b = WindowState.desktopBits;
    } else {
        w = GetSystemMetrics(SM_CXSCREEN);
        h = GetSystemMetrics(SM_CYSCREEN);
        b = ReadDesktopBitsPerPixel();
    }
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
    if (bits != nullptr) {
        *bits = b;
    }
    return 0;
}

// The window is never scaled
double GetWindowScaleFactors(double *x, double *y)
{
    if (x != nullptr) {
        *x = 1.0;
    }
    if (y != nullptr) {
        *y = 1.0;
    }
    return 1.0;
}

// Cursor position relative to the client area in windowed mode
int GetCursorClientPosition(int *x, int *y)
{
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    if (WindowState.windowedMode != 0) {
        cursor.x -= WindowState.clientScreenRect.left;
        cursor.y -= WindowState.clientScreenRect.top;
    }
    if (x != nullptr) {
        *x = cursor.x;
    }
    if (y != nullptr) {
        *y = cursor.y;
    }
    return 0;
}

// The client screen rectangle
int GetClientScreenRect(RECT *rect)
{
    *rect = WindowState.clientScreenRect;
    return 0;
}

// Local date fields of a file time
void ConvertFileTimeToDateFields(const FILETIME *time, int out[6])
{
    FILETIME local;
    SYSTEMTIME fields;
    FileTimeToLocalFileTime(time, &local);
    FileTimeToSystemTime(&local, &fields);
    out[0] = fields.wYear;
    out[1] = fields.wMonth;
    out[2] = fields.wDay;
    out[3] = fields.wHour;
    out[4] = fields.wMinute;
    out[5] = fields.wSecond;
}

} // namespace Korvo

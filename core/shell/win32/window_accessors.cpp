// The shell's part of the window state: the reset before a start-up, the
// mode's client size, the title and dropped files.

#include "core/shell/main_window.h"
#include "core/shell/win32/shell_window.h"

#include "graphics/device/screen_request.h"

#include <shellapi.h>

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------

// Keep texts, mode, system facts and library-life fields; zero the rest. The
// window handle is not kept: a window of an earlier, failed start is gone.
void ResetWindowStateForStartup()
{
    MainWindowState kept = WindowState;
    std::memset(&WindowState, 0, sizeof(WindowState));
    std::memcpy(WindowState.title, kept.title, sizeof(kept.title));
    std::memcpy(WindowState.className, kept.className, sizeof(kept.className));
    std::memcpy(WindowState.workingFolder, kept.workingFolder, sizeof(kept.workingFolder));
    WindowState.windowedMode = kept.windowedMode;
    WindowState.windowsVersionCode = kept.windowsVersionCode;
    WindowState.logicalProcessorCount = kept.logicalProcessorCount;
    WindowState.mmxAvailable = kept.mmxAvailable;
    WindowState.libraryStarted = kept.libraryStarted;
    WindowState.startupInProgress = kept.startupInProgress;
    WindowState.shutdownRequested = kept.shutdownRequested;
    WindowState.comStarted = kept.comStarted;
    WindowState.performanceCounterAvailable = kept.performanceCounterAvailable;
    WindowState.performanceFrequency = kept.performanceFrequency;
    WindowState.loadInBackground = kept.loadInBackground;
}

// The screen size, or 640x480 in full screen when doubled or asked for
void GetModeClientSize(int *width, int *height)
{
    GetVirtualScreenSize(width, height);
    if (DoubledScreenModeFlag != 0 || Window640x480RequestFlag != 0) {
        *width = 640;
        *height = 480;
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Copy the title (cut to 255 bytes) and show it on an existing window
int SetAppWindowTitle(const char *title)
{
    std::strncpy(WindowState.title, title != nullptr ? title : "", kWindowTextCapacity - 1);
    WindowState.title[kWindowTextCapacity - 1] = '\0';
    if (WindowState.window != nullptr) {
        SetWindowTextA(WindowState.window, WindowState.title);
    }
    return 0;
}

// Refuse dropped files
int ApplyFileDropAcceptance()
{
    if (WindowState.window != nullptr) {
        DragAcceptFiles(WindowState.window, FALSE);
    }
    return 0;
}

} // namespace Korvo

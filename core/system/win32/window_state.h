// The window and system record: written by the shell as the window lives, read
// by the Windows files of the core services and subsystems. Portable code reads
// it through core/system/window_state.h.
#pragma once

#include <windows.h>

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kActivationRingCapacity = 512;
constexpr int kWindowTextCapacity = 256;

// Ending state values.
constexpr int kEndingNone = 0;
constexpr int kEndingShutdown = 1;
constexpr int kEndingUserClosed = 4;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// One queued WM_ACTIVATE / WM_ACTIVATEAPP.
struct ActivationEvent {
    int wParam;
    int isActivateApp;
};

struct ActivationEventRing {
    ActivationEvent entries[kActivationRingCapacity];
    int count;
    int readIndex;
    int writeIndex;
};

struct MainWindowState {
    // Identity
    HINSTANCE instance;
    HWND window;
    DWORD mainThreadId;
    // Texts
    char title[kWindowTextCapacity];
    char className[kWindowTextCapacity];
    char workingFolder[MAX_PATH];
    // Mode
    int windowedMode;
    // Window life
    int active;
    int minimised;
    int quit;
    int windowDestroyed;
    int forcedClose;
    int endingState;
    int insidePump;
    int creating;
    int inPaint;
    int repaintPending;
    uint32_t lastRepaintTime;
    int textInputGuard;
    int modeChangeUnderway;
    int windowShown;
    int compositionSwitchedOff;
    int screenSaverSwitchedOff; // the window start-up switched it off; its end switches it on
    int cursorNearTop;
    // Desktop at start-up
    int desktopWidth;
    int desktopHeight;
    int desktopBits;
    // Geometry and cursor
    RECT clientScreenRect;
    int cursorShownSetting;
    int cursorShownState;
    ActivationEventRing activations;
    // System facts (LogSystemInformation)
    int windowsVersionCode;
    int logicalProcessorCount;
    int mmxAvailable;
    // Library life
    int libraryStarted;
    int startupInProgress;
    int shutdownRequested;
    int comStarted;
    int performanceCounterAvailable;
    int64_t performanceFrequency;
    int loadInBackground;
};

extern MainWindowState WindowState;

// ---------------------------------------------------------------------------
// Shared helpers of the Windows files
// ---------------------------------------------------------------------------

// Desktop depth: PLANES x BITSPIXEL of the screen's device context
int ReadDesktopBitsPerPixel();
// Refresh the client screen rectangle from the window
void RefreshClientScreenRect();


} // namespace Korvo

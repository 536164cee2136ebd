// The window and system layer's global record, shared by the Windows files of
// the core runtime. Other subsystems read it through core/main_window.h.
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

// Draw-target ids the window procedure checks.
constexpr int kDrawTargetBackScreen = -2;
constexpr int kDrawTargetFrontScreen = -4;

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

// Zero the window-life part of the state, keeping what setters and earlier start-up steps wrote
void ResetWindowStateForStartup();
// Desktop depth: PLANES x BITSPIXEL of the screen's device context
int ReadDesktopBitsPerPixel();
// Base client size of the current mode (640x480 when doubled or asked for by graphics)
void GetModeClientSize(int *width, int *height);
// Refresh the client screen rectangle from the window
void RefreshClientScreenRect();

// Begin the multimedia timer's finest period (counted so that ends balance); 0 or -1 without winmm
int BeginTimerPeriod();
// End every period begun; 0
int EndTimerPeriods();
// Periods begun and not yet ended
int GetTimerPeriodsInForce();
// The finest period of the multimedia timer in ms (1 when unknown)
unsigned GetTimerMinimumPeriod();

} // namespace Korvo

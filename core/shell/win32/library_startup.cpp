// Library start-up and shut-down: the two fixed orders over every subsystem.
//
// A failed step ends whatever the start-up had started, in the shut-down
// order; every end step tolerates a service that never started.

#include "core/shell/library_life.h"
#include "core/system/com_library.h"
#include "core/shell/main_window.h"
#include "core/shell/message_pump.h"
#include "core/shell/win32/shell_window.h"

#include "core/threads/api_lock.h"
#include "core/streams/archive_table.h"
#include "core/log/error_log.h"
#include "core/log/fatal_error.h"
#include "core/system/message_pump_hooks.h"
#include "core/system/platform_libraries.h"
#include "core/streams/stream_table.h"
#include "core/memory/tracked_alloc.h"
#include "font/startup_entries.h"
#include "graphics/device/screen_request.h"
#include "graphics/device/shell_services.h"
#include "graphics/startup_entries.h"
#include "image/raster_image.h"
#include "image/soft_image_handles.h"
#include "input/startup_entries.h"
#include "model/startup_entries.h"
#include "movie/startup_entries.h"
#include "network/startup_entries.h"
#include "sound/startup_entries.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Pause between attempts to destroy a main window that is still there (ms).
constexpr DWORD kWindowDestroyRetryMs = 100;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Whether the adapter has a mode of this size and depth (refresh rate ignored).
static bool AdapterHasMode(int width, int height, int bits)
{
    int count = CountDisplayModes();
    for (int i = 0; i < count; ++i) {
        DisplayModeEntry mode = GetDisplayModeEntry(i);
        if (mode.width == width && mode.height == height && mode.bitsPerPixel == bits) {
            return true;
        }
    }
    return false;
}

// Full screen: settle on a mode the adapter has, or fall back.
static void CheckFullScreenDisplayMode()
{
    for (;;) {
        int width = 0;
        int height = 0;
        int bits = GetScreenBitsPerPixel();
        GetVirtualScreenSize(&width, &height);
        AppendLogLineFormat("設定されている画面設定 %dx%d %dbit color", width, height, bits);
        if (AdapterHasMode(width, height, bits)) {
            break;
        }
        AppendLogLineFormat("対応している画面モードなし");
        if (width == 640 && height == 480 && bits == 16) {
            SetScreenResolutionAndDepth(640, 480, 32, GetScreenRefreshRate());
            continue;
        }
        if (width == 320 && height == 240 && IsHardwareRenderingWanted() == 1) {
            break;
        }
        ChangeWindowMode(1);
        break;
    }
    int width = 0;
    int height = 0;
    GetVirtualScreenSize(&width, &height);
    if (width == 320 && height == 240 && WindowState.windowedMode == 0) {
        DoubledScreenModeFlag = 1;
        StoreMainScreenSize(640, 480);
    }
}

// A 24-bit desktop in windowed mode, or a 24-bit request, cannot be shown.
static bool IsTwentyFourBitRefused()
{
    int desktopBits = ReadDesktopBitsPerPixel();
    return (desktopBits == 24 && WindowState.windowedMode != 0) || GetScreenBitsPerPixel() == 24;
}

// What graphics needs of the shell (graphics sits below it and calls back through these).
static void InstallGraphicsShellServices()
{
    GraphicsShellServices services = {};
    services.libraryStarted = GetLibraryStartedFlag;
    services.startupInProgress = GetStartupInProgressFlag;
    services.applyWindowStyleForMode = ApplyWindowStyleForMode;
    services.applyFileDropAcceptance = ApplyFileDropAcceptance;
    services.setDesktopComposition = SetDesktopCompositionState;
    SetGraphicsShellServices(&services);
}

// End what a failed start-up had started; -1.
// A fatal error on the main thread ends the library before the process ends
static void EndLibraryAfterFatalError()
{
    RunShutdownSequence();
    EndApiLock();
}

static int FailStartup()
{
    RunShutdownSequence();
    WindowState.startupInProgress = 0;
    return -1;
}

// Pump until the window has gone, unregister its class, then make sure it is gone.
static void FinishMainWindow()
{
    if (WindowState.window != nullptr) {
        while (ServiceMessageQueueUnlocked() == 0 && WindowState.quit == 0 && WindowState.windowDestroyed == 0) {
        }
    }
    UnregisterClassA(WindowState.className, WindowState.instance);
    while (WindowState.window != nullptr && FindWindowA(WindowState.className, nullptr) == WindowState.window) {
        DestroyWindow(WindowState.window);
        Sleep(kWindowDestroyRetryMs);
    }
    // A later start-up must not reach this window through a stale handle.
    WindowState.window = nullptr;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Run the start-up under the API lock
int StartLibrary()
{
    if (WindowState.libraryStarted != 0) {
        return 0;
    }
    EnterApiLock();
    int result = RunStartupSequence();
    LeaveApiLock();
    return result;
}

// Run the shut-down under the API lock, then end the lock
int ShutdownLibrary()
{
    if (WindowState.libraryStarted == 0) {
        return 0;
    }
    EnterApiLock();
    int result = RunShutdownSequence();
    LeaveApiLock();
    EndApiLock();
    return result;
}

// The start-up order
int RunStartupSequence()
{
    if (WindowState.libraryStarted != 0) {
        return 0;
    }
    WindowState.startupInProgress = 1;
    InstallGraphicsShellServices();
    SetFatalShutdownHandler(EndLibraryAfterFatalError);
    SetMessagePumpHandlers(ServiceMessageQueueUnlocked, BlockUntilAppActive);
    ClearShutdownRequest();
    LoadPlatformLibraries();
    BuildTheoraYuvTables();
    InitArchiveModule();
    InstallStreamFunctionTable(nullptr);
    GetStreamDirectory(WindowState.workingFolder);
    if (GetLogFolder()[0] == '\0') {
        SetLogFolder(WindowState.workingFolder);
    }
    SetupErrorLog();

    if (WindowState.windowedMode == 0) {
        CheckFullScreenDisplayMode();
    }
    if (IsTwentyFourBitRefused()) {
        AppendLogText("Korvoは２４ビットカラーモードに対応していません\n");
        return FailStartup();
    }

    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency)) {
        frequency.QuadPart = 0;
    }
    WindowState.performanceFrequency = frequency.QuadPart;
    WindowState.performanceCounterAvailable = frequency.QuadPart != 0 ? 1 : 0;

    LogSystemInformation();
    SetGraphRestoreCallback(nullptr);
    StartComLibrary();
    if (StartMainWindow() == -1) {
        return FailStartup();
    }
    if (InitInputDevices() == -1) {
        return FailStartup();
    }
    LoadAcmFunctions();
    InitSoundOutputSystem();
    InitImageDataModule();
    InitSoftImageHandleType();
    InitMovieHandleType();
    if (StartupGraphicsSystem() < 0) {
        return FailStartup();
    }
    InitFontHandleSystem();
    InstallScreenLogBackend(GetFontScreenLogBackend());
    InitTextInputState();

    WindowState.libraryStarted = 1;
    if (WindowState.windowedMode == 0) {
        ForceForegroundWindow(WindowState.window, 1);
    }
    SetupScreenLog();
    SelectDrawTarget(kDrawTargetBackScreen);
    SelectDrawTarget(kDrawTargetFrontScreen);
    InitModelHandleTypes();
    WindowState.startupInProgress = 0;
    return 0;
}

// The shut-down order
int RunShutdownSequence()
{
    if (WindowState.libraryStarted == 0 && WindowState.startupInProgress == 0) {
        return 0;
    }
    WindowState.endingState = kEndingShutdown;
    DeleteAllSoftImageHandles();
    ShutdownScreenLog();
    TermNetworkModule();
    StopBackgroundMusicHandle();
    TermModelHandleTypes();
    TermFontHandleSystem();
    ShutdownGraphicsSystem();
    TermImageDataModule();
    TermSoftImageHandleType();
    TermMovieHandleType();
    TermInputDevices();
    TermSoundOutputSystem();
    FreeAcmFunctions();
    EndMainWindow();
    EndComLibrary();
    WindowState.libraryStarted = 0;
    FinishMainWindow();
    ChangeStreamDirectory(WindowState.workingFolder);
    EndArchiveModule();
    DumpTrackedBlocks();
    FreePlatformLibraries();
    return 0;
}

// 1 once started
int GetLibraryStartedFlag()
{
    return WindowState.libraryStarted;
}

// 1 while the start-up runs
int GetStartupInProgressFlag()
{
    return WindowState.startupInProgress;
}

// Clear the end request
int ClearShutdownRequest()
{
    WindowState.shutdownRequested = 0;
    return 0;
}

// Set the end request
int SetShutdownRequest()
{
    WindowState.shutdownRequested = 1;
    return 0;
}

// The end request
int GetShutdownRequestedFlag()
{
    return WindowState.shutdownRequested;
}

} // namespace Korvo

// The main window's start-up and end, with the services the window layer owns:
// timer resolution, clock choice, random seed, character set, the file handle
// kind and the asynchronous-load workers.

#include "core/shell/main_window.h"
#include "core/threads/win32/timer_period.h"
#include "core/shell/library_life.h"
#include "core/shell/message_pump.h"
#include "core/shell/win32/shell_window.h"

#include "core/threads/async_load.h"
#include "core/threads/clock.h"
#include "core/text/dbcs_string.h"
#include "core/log/error_log.h"
#include "core/system/platform_libraries.h"
#include "core/math/random.h"
#include "core/streams/stream_table.h"
#include "input/startup_entries.h"

#include <cstdio>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

static const char kFallbackClassName[] = "D123987X";
static const char kFallbackTitle[] = "Korvo";

constexpr DWORD kWindowedStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowedExStyle = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;

// Clock check: at most this long, and until either clock changed this often.
constexpr int kClockCheckMs = 1000;
constexpr int kClockCheckChanges = 60;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

typedef BOOL(WINAPI *GlobalMemoryStatusExEntry)(LPMEMORYSTATUSEX status);

// Log total and free memory.
static void LogMemoryStatus()
{
    double total = 0.0;
    double available = 0.0;
    if (WindowState.windowsVersionCode >= 262) {
        HMODULE kernel = LoadLibraryA("Kernel32.dll");
        GlobalMemoryStatusExEntry statusEx =
            kernel != nullptr ? reinterpret_cast<GlobalMemoryStatusExEntry>(
                                    reinterpret_cast<void *>(GetProcAddress(kernel, "GlobalMemoryStatusEx")))
                              : nullptr;
        if (statusEx != nullptr) {
            MEMORYSTATUSEX status = {};
            status.dwLength = sizeof(status);
            if (statusEx(&status)) {
                total = static_cast<double>(status.ullTotalPhys);
                available = static_cast<double>(status.ullAvailPhys);
            }
        }
        if (kernel != nullptr) {
            FreeLibrary(kernel);
        }
    }
    if (total == 0.0) {
        MEMORYSTATUS status = {};
        status.dwLength = sizeof(status);
        GlobalMemoryStatus(&status);
        total = static_cast<double>(status.dwTotalPhys);
        available = static_cast<double>(status.dwAvailPhys);
    }
    AppendLogLineFormat("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", total / 1048576.0, available / 1048576.0);
    char debugText[64];
    std::snprintf(debugText, sizeof(debugText), "%.2fMB\n", available / 1048576.0);
    OutputDebugStringA(debugText);
}

// Count how often each clock changes for up to a second and keep the finer one.
static void ChooseMicrosecondClock()
{
    MicrosecondClockState.counterFrequency = static_cast<uint64_t>(WindowState.performanceFrequency);
    MicrosecondClockState.usePerformanceCounter = 0;
    if (WindowState.performanceCounterAvailable == 0) {
        return;
    }
    AppendLogText("タイマーの精度を検査します\n");
    int timerChanges = 0;
    int counterChanges = 0;
    int start = GetMillisecondClock();
    if (start >= 0) {
        int lastTime = start;
        LARGE_INTEGER lastCounter;
        QueryPerformanceCounter(&lastCounter);
        for (;;) {
            int now = GetMillisecondClock();
            if (now < 0 || now - start >= kClockCheckMs || timerChanges >= kClockCheckChanges ||
                counterChanges >= kClockCheckChanges) {
                break;
            }
            LARGE_INTEGER counter;
            QueryPerformanceCounter(&counter);
            if (now != lastTime) {
                ++timerChanges;
                lastTime = now;
            }
            if (counter.QuadPart != lastCounter.QuadPart) {
                ++counterChanges;
                lastCounter = counter;
            }
        }
    }
    AppendLogLineFormat("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d", timerChanges,
                        counterChanges);
    AppendLogLineFormat(" ");
    if (timerChanges > counterChanges) {
        AppendLogLineFormat("Multi Media Timer を使用します Timer 精度 : %d.00 ms ",
                            static_cast<int>(GetTimerMinimumPeriod()));
        WindowState.performanceCounterAvailable = 0;
    } else {
        AppendLogLineFormat("パフォーマンスカウンターを使用します タイマー精度 : %lf KHz ",
                            static_cast<double>(WindowState.performanceFrequency) / 1000.0);
    }
    AppendLogLineFormat(" ");
    MicrosecondClockState.usePerformanceCounter = WindowState.performanceCounterAvailable;
}

// Register the window class; false on failure.
static bool RegisterMainWindowClass()
{
    AppendLogText("ウインドウクラスを登録します... ");
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProcedure;
    windowClass.hInstance = WindowState.instance;
    windowClass.hIcon = LoadIconA(WindowState.instance, MAKEINTRESOURCEA(32512));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    windowClass.lpszClassName = WindowState.className;
    if (RegisterClassExA(&windowClass) == 0) {
        return false;
    }
    AppendLogText("登録に成功しました\n");
    return true;
}

// Create the window of the current mode; null on failure.
static HWND CreateMainWindow(int clientWidth, int clientHeight)
{
    if (WindowState.windowedMode != 0) {
        AppendLogText("ウインドウモード起動用のウインドウを作成します\n");
        RECT frame = {0, 0, clientWidth, clientHeight};
        AdjustWindowRectEx(&frame, kWindowedStyle, FALSE, kWindowedExStyle);
        int width = frame.right - frame.left;
        int height = frame.bottom - frame.top;
        int left = (WindowState.desktopWidth - width) / 2 + frame.left;
        int top = (WindowState.desktopHeight - height) / 2 + frame.top;
        return CreateWindowExA(kWindowedExStyle, WindowState.className, WindowState.title, kWindowedStyle, left, top,
                               width, height, nullptr, nullptr, WindowState.instance, nullptr);
    }
    AppendLogText("フルスクリーンモード用のウインドウを作成します\n");
    return CreateWindowExA(WS_EX_TOPMOST, WindowState.className, WindowState.title, WS_POPUP, 0, 0, clientWidth,
                           clientHeight, nullptr, nullptr, WindowState.instance, nullptr);
}

// Every failure of the window start-up: quit and ask the system to end.
static int FailMainWindow()
{
    WindowState.quit = 1;
    SetShutdownRequest();
    return -1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Create the main window and start the services of the window layer
int StartMainWindow()
{
    ResetWindowStateForStartup();
    WindowState.instance = GetModuleHandleA(nullptr);
    WindowState.mainThreadId = GetCurrentThreadId();
    InitAsyncLoadLock(WindowState.mainThreadId);
    InitFileHandleType();

    if (WindowState.className[0] == '\0') {
        std::strcpy(WindowState.className, WindowState.title[0] != '\0' ? WindowState.title : kFallbackClassName);
    }
    LogMemoryStatus();
    WindowState.desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    WindowState.desktopHeight = GetSystemMetrics(SM_CYSCREEN);
    WindowState.desktopBits = ReadDesktopBitsPerPixel();

    int clientWidth = 0;
    int clientHeight = 0;
    GetModeClientSize(&clientWidth, &clientHeight);

    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency)) {
        frequency.QuadPart = 0;
    }
    WindowState.performanceFrequency = frequency.QuadPart;
    WindowState.performanceCounterAvailable = frequency.QuadPart != 0 ? 1 : 0;
    BeginTimerPeriod();
    ChooseMicrosecondClock();
    SeedTwister(static_cast<uint32_t>(GetMillisecondClock()));
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDCHANGE);
    WindowState.screenSaverSwitchedOff = 1;
    if (GetCharSetCode() == 0) {
        ChooseCharSetFromOemCodePage(GetOEMCP());
    }

    AppendLogText("ソフトの二重起動検査... ");
    if (FindWindowA(WindowState.className, nullptr) != nullptr) {
        AppendLogText("二重起動されています、ソフトを終了します\n");
        return FailMainWindow();
    }
    AppendLogText("二重起動はされていませんでした\n");

    WindowState.creating = 1;
    if (!RegisterMainWindowClass()) {
        FailMainWindow();
    }
    if (WindowState.title[0] == '\0') {
        std::strcpy(WindowState.title, kFallbackTitle);
    }
    WindowState.window = CreateMainWindow(clientWidth, clientHeight);
    if (WindowState.window == nullptr) {
        AppendLogText("ウインドウの作成に失敗しました\n");
        WindowState.creating = 0;
        return FailMainWindow();
    }
    AppendLogText("ウインドウの作成に成功しました\n");
    AppendLogText("ウインドウを表示します\n");
    ShowWindow(WindowState.window, SW_SHOW);
    UpdateWindow(WindowState.window);

    WindowState.forcedClose = 0;
    WindowState.windowDestroyed = 0;
    WindowState.active = 1;
    if (WindowState.windowedMode == 0) {
        AppendLogText("カーソルを不可視にしました\n");
        SetCursor(nullptr);
    }
    AppendLogText("ＩＭＥを無効にしました\n");
    if (GetImeEnabledFlag() == 0 && PlatformLibraries.user32.WINNLSEnableIME != nullptr) {
        PlatformLibraries.user32.WINNLSEnableIME(WindowState.window, FALSE);
    }
    if (WindowState.windowedMode != 0) {
        RefreshClientScreenRect();
    }
    ApplyMouseCursorVisibility(WindowState.windowedMode != 0 ? 1 : 0);
    WindowState.endingState = kEndingNone;
    BringWindowToTop(WindowState.window);
    ResizeWindowToSettings();
    WindowState.creating = 0;

    if (StartAsyncLoadWorkers(WindowState.logicalProcessorCount) < 0) {
        AppendLogText("非同期読み込み処理を行うスレッドの立ち上げに失敗しました\n");
        return FailMainWindow();
    }
    return 0;
}

// Destroy the main window and end the window layer's services
int EndMainWindow()
{
    // The screen saver, the timer period and the workers are given back even
    // when the window itself was never created (a refused second instance).
    if (WindowState.screenSaverSwitchedOff != 0) {
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDCHANGE);
        WindowState.screenSaverSwitchedOff = 0;
    }
    if (WindowState.window != nullptr) {
        if (PlatformLibraries.user32.WINNLSEnableIME != nullptr) {
            PlatformLibraries.user32.WINNLSEnableIME(WindowState.window, TRUE);
        }
        WindowState.cursorShownSetting = 1;
        if (WindowState.cursorShownState == 0) {
            while (ShowCursor(TRUE) < 0) {
            }
            PostMessageA(WindowState.window, WM_SETCURSOR, reinterpret_cast<WPARAM>(WindowState.window),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            WindowState.cursorShownState = 1;
        }
        if (WindowState.forcedClose == 0) {
            WindowState.forcedClose = 1;
            PostMessageA(WindowState.window, WM_CLOSE, 0, 0);
        }
        while (ServiceMessageQueueUnlocked() == 0 && WindowState.windowDestroyed == 0) {
        }
        UnregisterClassA(WindowState.className, WindowState.instance);
        DeleteAllTextInputHandles();
    }
    StopAsyncLoadWorkers();
    TermFileHandleType();
    DeleteAsyncLoadLock();
    EndTimerPeriods();
    return 0;
}

} // namespace Korvo

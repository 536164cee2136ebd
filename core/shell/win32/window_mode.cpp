// Window mode: switching between windowed and full-screen display, and the
// main window's styles, size and place for the current mode.

#include "core/shell/main_window.h"
#include "core/shell/win32/shell_window.h"

#include "core/log/error_log.h"
#include "graphics/device/screen_request.h"
#include "graphics/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr DWORD kWindowedStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowedExStyle = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Whether the adapter has a mode of this size (any depth).
static bool AdapterHasSize(int width, int height)
{
    int count = CountDisplayModes();
    for (int i = 0; i < count; ++i) {
        DisplayModeEntry mode = GetDisplayModeEntry(i);
        if (mode.width == width && mode.height == height) {
            return true;
        }
    }
    return false;
}

static void ApplyWindowedStyle()
{
    AppendLogText("ウインドウスタイルをウインドウモード用に変更します... ");
    HWND window = WindowState.window;
    DWORD style = kWindowedStyle | (WindowState.windowShown != 0 ? WS_VISIBLE : 0);
    SetWindowLongPtrA(window, GWL_EXSTYLE, static_cast<LONG_PTR>(kWindowedExStyle));
    SetWindowLongPtrA(window, GWL_STYLE, static_cast<LONG_PTR>(style));
    int width = 0;
    int height = 0;
    GetVirtualScreenSize(&width, &height);
    RECT frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, kWindowedExStyle);
    int frameWidth = frame.right - frame.left;
    int frameHeight = frame.bottom - frame.top;
    int left = (WindowState.desktopWidth - frameWidth) / 2 + frame.left;
    int top = (WindowState.desktopHeight - frameHeight) / 2 + frame.top;
    SetWindowPos(window, HWND_NOTOPMOST, left, top, frameWidth, frameHeight, 0);
    SetWindowPos(window, HWND_NOTOPMOST, left, top, frameWidth, frameHeight, 0);
    RefreshClientScreenRect();
    const RECT &client = WindowState.clientScreenRect;
    if (client.left < 0 || client.top < 0) {
        int shiftX = client.left < 0 ? -client.left : 0;
        int shiftY = client.top < 0 ? -client.top : 0;
        SetWindowPos(window, HWND_NOTOPMOST, left + shiftX, top + shiftY, frameWidth, frameHeight, 0);
        RefreshClientScreenRect();
    }
    ApplyMouseCursorVisibility(1);
}

static void ApplyFullScreenStyle()
{
    AppendLogText("ウインドウスタイルをフルスクリーンモード用に変更します... ");
    HWND window = WindowState.window;
    int width = 0;
    int height = 0;
    GetModeClientSize(&width, &height);
    SetWindowLongPtrA(window, GWL_EXSTYLE, static_cast<LONG_PTR>(WS_EX_TOPMOST));
    SetWindowLongPtrA(window, GWL_STYLE, static_cast<LONG_PTR>(WS_POPUP));
    WindowState.clientScreenRect = RECT{0, 0, width, height};
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, width, height, SWP_NOREDRAW);
    ApplyMouseCursorVisibility(0);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Switch the display mode (only the flag before start-up)
int ChangeWindowMode(int windowed)
{
    AppendLogText("ChangeWindowMode実行 \n");
    if (windowed == WindowState.windowedMode) {
        return 0;
    }
    if (windowed == 0 && WindowState.window != nullptr) {
        int width = 0;
        int height = 0;
        GetVirtualScreenSize(&width, &height);
        bool doubledCandidate = width == 320 && height == 240 && IsHardwareRenderingWanted() == 1;
        if (!AdapterHasSize(width, height) && !doubledCandidate) {
            return -1;
        }
        if (width == 320 && height == 240) {
            DoubledScreenModeFlag = 1;
            StoreMainScreenSize(640, 480);
        }
    }
    WindowState.windowShown = 1;
    StoreWindowModeFlag(windowed);
    if (WindowState.window == nullptr) {
        return 0;
    }
    WindowState.modeChangeUnderway = 1;
    ApplyWindowStyleForMode();
    int result = ApplyScreenModeChange(-1, -1, -1, 1, -1);
    WindowState.modeChangeUnderway = 0;
    if (windowed == 0) {
        WindowState.cursorNearTop = 0;
    }
    return result;
}

// Store the flag and log which way it went
int StoreWindowModeFlag(int windowed)
{
    WindowState.windowedMode = windowed;
    AppendLogText(windowed != 0 ? "ウインドウモードフラグが立てられました\n" : "ウインドウモードフラグが倒されました\n");
    return 0;
}

// Restyle the window for the current mode
int ApplyWindowStyleForMode()
{
    if (WindowState.window == nullptr) {
        return 0;
    }
    if (WindowState.windowedMode != 0) {
        ApplyWindowedStyle();
    } else {
        ApplyFullScreenStyle();
    }
    AppendLogText("完了\n");
    SetActiveWindow(WindowState.window);
    PostMessageA(WindowState.window, WM_SETCURSOR, reinterpret_cast<WPARAM>(WindowState.window),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return 0;
}

// Size the window so that the client area is the target size, keeping its top-left corner
int ResizeWindowToSettings()
{
    HWND window = WindowState.window;
    if (window == nullptr) {
        return 0;
    }
    int width = 0;
    int height = 0;
    if (WindowState.windowedMode != 0) {
        GetVirtualScreenSize(&width, &height);
    } else {
        GetModeClientSize(&width, &height);
    }
    RECT frame;
    RECT client;
    GetWindowRect(window, &frame);
    if (!GetClientRect(window, &client)) {
        return 0;
    }
    WindowState.clientScreenRect.right = WindowState.clientScreenRect.left + width;
    WindowState.clientScreenRect.bottom = WindowState.clientScreenRect.top + height;
    int extraWidth = (frame.right - frame.left) - (client.right - client.left);
    int extraHeight = (frame.bottom - frame.top) - (client.bottom - client.top);
    MoveWindow(window, frame.left, frame.top, width + extraWidth, height + extraHeight, TRUE);
    if (WindowState.windowedMode != 0 && WindowState.windowShown == 0) {
        WindowState.windowShown = 1;
        ApplyWindowStyleForMode();
    }
    return 0;
}

} // namespace Korvo

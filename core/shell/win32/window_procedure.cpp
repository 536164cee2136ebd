// The main window's procedure.
//
// Keeps the window state in step with the window, paints from the back screen
// and hands window-level input to its owners. Activation changes that arrive
// while the pump runs are queued and applied by the pump between frames.

#include "core/shell/library_life.h"
#include "core/shell/main_window.h"
#include "core/shell/win32/shell_window.h"

#include "core/threads/async_load.h"
#include "core/threads/clock.h"
#include "core/log/error_log.h"
#include "graphics/device/screen_request.h"
#include "graphics/startup_entries.h"
#include "input/startup_entries.h"
#include "input/win32/window_message_entries.h"
#include "movie/startup_entries.h"
#include "network/win32/window_message_entries.h"
#include "sound/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr UINT kMciNotifyMessage = 0x03B9;
constexpr UINT kF10KeyFlagMessage = 0x046F;
constexpr UINT kSecondHookKeyFlagMessage = 0x0470;
constexpr UINT kSocketEventMessage = 0x0505;
constexpr uint32_t kPartialRepaintIntervalMs = 64;
constexpr int kInputRingLastPosition = 1024;
// Height of the strip at the top of a full-screen window that opens the menu.
constexpr int kMenuHitStripHeight = 8;

// Virtual key → control code pushed to the input character buffer.
struct KeyCharacter {
    WPARAM key;
    unsigned char code;
};
static const KeyCharacter kKeyCharacters[] = {
    {VK_DELETE, 16}, {VK_LEFT, 29}, {VK_RIGHT, 28}, {VK_UP, 30}, {VK_DOWN, 31},
    {VK_HOME, 26},   {VK_END, 25},  {VK_PRIOR, 23}, {VK_NEXT, 21},
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void OnDestroy()
{
    AppendLogText("ウインドウが破棄されようとしています\n");
    WindowState.windowDestroyed = 1;
    PostQuitMessage(0);
    WindowState.quit = 1;
    SetShutdownRequest();
    AppendLogText("ソフトを終了する準備が整いました\n");
}

static void OnMove(LPARAM lParam)
{
    if (WindowState.windowedMode == 0 || WindowState.modeChangeUnderway != 0) {
        return;
    }
    RECT &rect = WindowState.clientScreenRect;
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    rect.left = static_cast<short>(LOWORD(lParam));
    rect.top = static_cast<short>(HIWORD(lParam));
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    if (GetSelectedDrawTarget() == kDrawTargetFrontScreen) {
        int masking = IsMaskScreenEnabled();
        EnableMaskScreen(0);
        EnableMaskScreen(masking);
    }
}

static void OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (WindowState.windowedMode != 0) {
        WindowState.inPaint = 1;
        if (WindowState.libraryStarted == 0) {
            FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        } else if (GetSelectedDrawTarget() == kDrawTargetBackScreen) {
            int verticalBlankWait = IsWaitForVerticalBlankOn();
            SetWaitForVerticalBlank(0);
            RECT client;
            GetClientRect(window, &client);
            uint32_t now = static_cast<uint32_t>(GetMillisecondClock());
            if (EqualRect(&paint.rcPaint, &client)) {
                RefreshPresentedScreen();
            } else if (WindowState.repaintPending == 0) {
                WindowState.repaintPending = 1;
                WindowState.lastRepaintTime = now;
            } else if (now - WindowState.lastRepaintTime > kPartialRepaintIntervalMs) {
                RefreshPresentedScreen();
                WindowState.lastRepaintTime = now;
            }
            SetWaitForVerticalBlank(verticalBlankWait);
        }
        WindowState.inPaint = 0;
    }
    EndPaint(window, &paint);
}

static void OnClose(HWND window)
{
    AppendLogText("ウインドウを閉じようとしています\n");
    DestroyWindow(window);
    if (WindowState.endingState == kEndingNone) {
        WindowState.endingState = kEndingUserClosed;
    }
}

static void HideCursorWhenWanted()
{
    if (WindowState.cursorShownSetting == 0) {
        SetCursor(nullptr);
        while (ShowCursor(FALSE) >= 0) {
        }
    }
}

static void OnDisplayChange(WPARAM wParam, LPARAM lParam)
{
    if (WindowState.windowedMode == 0 || WindowState.modeChangeUnderway != 0) {
        return;
    }
    int newBits = static_cast<int>(wParam);
    int newWidth = LOWORD(lParam);
    int newHeight = HIWORD(lParam);
    int width = 0, height = 0, bits = 0;
    GetScreenSizeAndDepth(&width, &height, &bits);
    if (newBits == bits && newWidth == width && newHeight == height) {
        return;
    }
    if (HasGraphRestoreCallback() == 0 || newBits == 24 || (newBits == 8 && bits != 8) || newWidth < width ||
        newHeight < height) {
        AppendLogText("復元関数が登録されていないためか画面が２４ビットカラーに変更されたため終了します\n");
        AppendLogText("またはスクリーンが小さすぎるためか色ビット数の違いが大きいためか終了します\n");
        if (WindowState.forcedClose == 0) {
            WindowState.forcedClose = 1;
            PostMessageA(WindowState.window, WM_CLOSE, 0, 0);
        }
        return;
    }
    CheckMovieModuleAfterReset();
    // While the window is inactive the movies stay suspended until the
    // activation resumes them (a soundtrack's start would wait for it here).
    if (WindowState.active != 0) {
        ResumeSuspendedMovies();
    }
}

static bool IsInputCharBufferFull()
{
    int readPosition = 0;
    int writePosition = 0;
    GetInputCharRingPositions(&readPosition, &writePosition);
    return writePosition == readPosition - 1 || (readPosition == 0 && writePosition == kInputRingLastPosition);
}

static void OnKeyDown(WPARAM key)
{
    if (IsInputCharBufferFull()) {
        return;
    }
    for (const KeyCharacter &entry : kKeyCharacters) {
        if (entry.key == key) {
            PushInputCharToBuffer(entry.code);
            break;
        }
    }
}

static void OnChar(WPARAM code)
{
    if (code == 10) {
        PushInputCharToBuffer(13);
        return;
    }
    switch (code) {
    case 1: case 3: case 8: case 9: case 13: case 16: case 22: case 24: case 27:
        PushInputCharToBuffer(static_cast<unsigned char>(code));
        return;
    default:
        if (code >= 32) {
            PushInputCharToBuffer(static_cast<unsigned char>(code));
        }
        return;
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Queue an activation change for the pump while it runs, else apply it at once
void QueueOrApplyActivation(WPARAM wParam, int isActivateApp)
{
    if (WindowState.quit != 0 || WindowState.forcedClose != 0) {
        return;
    }
    // Loads waiting for the main thread must not stall behind a paused program.
    FinishQueuedAsyncJobs();
    ActivationEventRing &ring = WindowState.activations;
    if (WindowState.insidePump != 0 && WindowState.creating == 0 && ring.count < kActivationRingCapacity) {
        ring.entries[ring.writeIndex] = ActivationEvent{static_cast<int>(wParam), isActivateApp};
        ring.writeIndex = (ring.writeIndex + 1) % kActivationRingCapacity;
        ring.count += 1;
    } else {
        HandleAppActivation(static_cast<int>(wParam), isActivateApp);
    }
}

// The main window's messages; everything else goes to DefWindowProcA
LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_MOVE:
        OnMove(lParam);
        break;
    case WM_SIZE:
        WindowState.minimised = wParam == SIZE_MINIMIZED ? 1 : 0;
        if (wParam != SIZE_MAXIMIZED) {
            ResizeWindowToSettings();
        }
        break;
    case WM_PAINT:
        OnPaint(window);
        break;
    case WM_CLOSE:
        OnClose(window);
        return 0;
    case WM_ACTIVATE:
        QueueOrApplyActivation(wParam, 0);
        break;
    case WM_ACTIVATEAPP:
        if (wParam == 0) {
            QueueOrApplyActivation(wParam, 1);
        }
        break;
    case WM_SETCURSOR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        HideCursorWhenWanted();
        break;
    case WM_DISPLAYCHANGE:
        OnDisplayChange(wParam, lParam);
        break;
    case WM_NCHITTEST:
        if (WindowState.windowedMode == 0 && DialogBoxModeFlag != 0 &&
            static_cast<short>(HIWORD(lParam)) < kMenuHitStripHeight) {
            return HTMENU;
        }
        break;
    case WM_KEYDOWN:
        OnKeyDown(wParam);
        break;
    case WM_CHAR:
        OnChar(wParam);
        break;
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_NOTIFY:
    case WM_IME_SETCONTEXT:
        return HandleImeWindowMessage(window, message, wParam, lParam);
    case WM_SYSCOMMAND:
        // The low four bits of the command are the system's own.
        if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER) {
            return 1;
        }
        break;
    case WM_MOVING:
        if (WindowState.windowedMode == 0) {
            GetWindowRect(window, reinterpret_cast<RECT *>(lParam));
        }
        break;
    case kMciNotifyMessage:
        HandleMciMidiPlayEnd();
        break;
    case kF10KeyFlagMessage:
        if (wParam == 1) {
            SetF10KeyDownFlag();
        } else {
            ClearF10KeyDownFlag();
        }
        break;
    case kSecondHookKeyFlagMessage:
        if (wParam == 1) {
            SetSecondHookKeyFlag();
        } else {
            ClearSecondHookKeyFlag();
        }
        break;
    case kSocketEventMessage:
        return HandleSocketEvent(window, message, wParam, lParam);
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace Korvo

// The per-frame message pump, the inactive-window wait and the pumping waits.
//
// An active window gets at most five dispatched messages per call and the call
// returns as soon as the queue is empty; while the window is inactive or
// minimised the call stays inside, one cycle about every 25 ms.

#include "core/shell/message_pump.h"
#include "core/shell/main_window.h"
#include "core/shell/library_life.h"
#include "core/shell/win32/shell_window.h"

#include "core/threads/api_lock.h"
#include "core/threads/async_load.h"
#include "core/threads/clock.h"
#include "graphics/device/screen_request.h"
#include "graphics/startup_entries.h"
#include "input/startup_entries.h"
#include "network/startup_entries.h"
#include "sound/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kMessagesPerCall = 5;
constexpr int kEndingCycleLimit = 10;
constexpr uint32_t kRepaintIntervalMs = 64;
constexpr DWORD kInactiveShortSleepMs = 1;
constexpr DWORD kInactiveLongSleepMs = 24;
// The pumping wait stops pumping this long before its end and spins (µs).
constexpr uint64_t kSpinTailMicroseconds = 4000;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool IsInactive()
{
    return WindowState.active == 0 || WindowState.minimised != 0;
}

static bool IsMainThread()
{
    return GetCurrentThreadId() == WindowState.mainThreadId;
}

// Sound refills fall to the pump on machines without a stream thread.
static void RefillSoundsWithoutStreamThread()
{
    if (WindowState.logicalProcessorCount <= 1) {
        RefillAllStreamSounds();
        UpdateSoftSoundPlayers();
    }
}

// While inactive: repaint at most every 64 ms when a repaint is pending.
static void RepaintWhilePaused()
{
    uint32_t now = static_cast<uint32_t>(GetMillisecondClock());
    if (WindowState.repaintPending != 0 && now - WindowState.lastRepaintTime > kRepaintIntervalMs) {
        RefreshPresentedScreen();
        WindowState.lastRepaintTime = now;
        WindowState.repaintPending = 0;
    }
}

// Take one message: any waiting one, else a thread message, else one of the main window.
static bool TakeNextMessage(MSG *message)
{
    if (PeekMessageA(message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (PeekMessageA(message, nullptr, 0, 0, PM_REMOVE)) {
            return true;
        }
    }
    if (PeekMessageA(message, reinterpret_cast<HWND>(static_cast<INT_PTR>(-1)), 0, 0, PM_REMOVE)) {
        return true;
    }
    return PeekMessageA(message, WindowState.window, 0, 0, PM_REMOVE) != 0;
}

// The dispatch cycles; returns when the window may go on or the system ends.
static void RunDispatchCycles()
{
    int dispatched = 0;
    int cycles = 0;
    bool passDone = false;
    for (;;) {
        bool mayLeave = WindowState.forcedClose != 0 || WindowState.activations.count > 0 || !IsInactive();
        if (mayLeave && (passDone || WindowState.quit != 0)) {
            return;
        }
        passDone = true;
        if (IsInactive()) {
            Sleep(kInactiveShortSleepMs);
            RepaintWhilePaused();
        }
        MSG message;
        while (TakeNextMessage(&message)) {
            // A posted activation does the activation's work, as a sent one
            // does: the procedure queues WM_ACTIVATEAPP 0 but leaves the other
            // value alone, so that one is queued here. Writing the active flag
            // instead would leave the handler nothing to change.
            if (message.message == WM_ACTIVATEAPP && WindowState.windowedMode != 0 && LOWORD(message.wParam) != 0) {
                QueueOrApplyActivation(message.wParam, 1);
            }
            if (WindowState.quit != 0) {
                return;
            }
            if (message.message == WM_QUIT) {
                WindowState.quit = 1;
                SetShutdownRequest();
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
            if (++dispatched == kMessagesPerCall) {
                dispatched = 0;
                passDone = true;
                break;
            }
            passDone = false;
        }
        if (IsInactive()) {
            PumpNetworkWindowMessages(1);
            RefillSoundsWithoutStreamThread();
            RunMainThreadRequests();
            Sleep(kInactiveLongSleepMs);
        }
        if (WindowState.quit != 0 || !IsMainThread()) {
            return;
        }
        ++cycles;
        if (WindowState.endingState != kEndingNone && cycles >= kEndingCycleLimit) {
            return;
        }
    }
}

// Apply the queued activation changes, oldest first.
static void ApplyQueuedActivations()
{
    ActivationEventRing &ring = WindowState.activations;
    while (ring.count > 0) {
        ActivationEvent event = ring.entries[ring.readIndex];
        ring.readIndex = (ring.readIndex + 1) % kActivationRingCapacity;
        ring.count -= 1;
        HandleAppActivation(event.wParam, event.isActivateApp);
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The pump under the API lock
int ServiceMessageQueue()
{
    EnterApiLock();
    int result = ServiceMessageQueueUnlocked();
    LeaveApiLock();
    return result;
}

// Dispatch messages and serve the per-frame work of every subsystem
int ServiceMessageQueueUnlocked()
{
    if (WindowState.textInputGuard != 0) {
        return 0;
    }
    WindowState.insidePump = 1;
    if (WindowState.window == nullptr) {
        WindowState.insidePump = 0;
        return WindowState.quit != 0 ? -1 : 0;
    }
    RunDispatchCycles();
    if (IsMainThread()) {
        UpdateMenuBarAutoDisplay();
    }
    if (WindowState.forcedClose == 0) {
        ApplyQueuedActivations();
    }
    RefillSoundsWithoutStreamThread();
    if (WindowState.quit == 0) {
        RunMainThreadRequests();
    }
    RefreshMusicPlayFlags();
    RefreshKeyboardStateArray(0);
    UpdateJoypadVibrationTimers();
    PumpNetworkWindowMessages(1);
    WindowState.textInputGuard = 1;
    FeedBufferedCharsToTextInput();
    WindowState.textInputGuard = 0;
    WindowState.insidePump = 0;
    return WindowState.quit != 0 ? -1 : 0;
}

// Whether a caller should wait for the window to become active
int ShouldWaitWhileInactive()
{
    if (PresentInProgressFlag != 0 || WindowState.inPaint != 0 || !IsInactive()) {
        return 0;
    }
    return 1;
}

// Pump while the window is inactive
void BlockUntilAppActive()
{
    if (ShouldWaitWhileInactive() == 0 || WindowState.quit != 0 || WindowState.window == nullptr) {
        return;
    }
    while (ServiceMessageQueueUnlocked() == 0 && IsInactive()) {
    }
}

// Sleep-and-pump until 4 ms before the end, then spin on the microsecond clock
int WaitMillisecondsPumping(int ms)
{
    const uint64_t start = GetMicrosecondClock();
    const uint64_t length = static_cast<uint64_t>(ms > 0 ? ms : 0) * 1000u;
    if (start == ~static_cast<uint64_t>(0)) {
        // No clock at all: a plain sleep keeps the wait finite.
        Sleep(static_cast<DWORD>(ms > 0 ? ms : 0));
        return 0;
    }
    if (length > kSpinTailMicroseconds) {
        int pumped = ServiceMessageQueue();
        while (pumped == 0 && GetMicrosecondClock() < start + length - kSpinTailMicroseconds) {
            Sleep(1);
            pumped = ServiceMessageQueue();
        }
    }
    while (GetMicrosecondClock() - start < length) {
    }
    return 0;
}

// Wait for every input to be released, then for a press
int WaitForAnyInputPress()
{
    const int kAllInputs = 7;
    int result = 0;
    if (ServiceMessageQueue() == 0) {
        while (GetFirstPressedInput(kAllInputs) != 0) {
            Sleep(1);
            if (ServiceMessageQueue() != 0) {
                break;
            }
        }
    }
    if (ServiceMessageQueue() == 0) {
        for (;;) {
            result = GetFirstPressedInput(kAllInputs);
            if (result != 0) {
                break;
            }
            Sleep(1);
            if (ServiceMessageQueue() != 0) {
                break;
            }
        }
    }
    return result;
}

} // namespace Korvo

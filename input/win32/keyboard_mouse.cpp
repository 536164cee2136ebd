// Keyboard state array, mouse buttons and the first held input, read through
// DirectInput or GetKeyboardState; and the two key flags of the private
// window messages.

#include "input/win32/input_devices.h"

#include "core/threads/clock.h"
#include "core/public_api.h"
#include "core/system/window_state.h"
#include "core/system/win32/app_window.h"
#include "input/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kWindowsXpCode = 0x107;
constexpr int kWindowsVistaCode = 0x108;
constexpr int kFirstInputKeys = 1;
constexpr int kFirstInputJoypads = 2;
constexpr int kFirstInputMouse = 4;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool UsesKeyboardStateRoute()
{
    return InputDevices.backend != kInputDirectInput || Input.settings.noDirectInputKeyboard != 0 ||
           InputDevices.keyboard == nullptr ||
           (GetWindowsVersionCode() >= kWindowsVistaCode && Input.settings.useDirectInputOnEveryWindows == 0);
}

static bool IsOnWindowThread()
{
    HWND window = GetAppWindowHandle();
    return window != nullptr && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

static int RefreshFromKeyboardState(int pumpFlag)
{
    uint32_t now = static_cast<uint32_t>(GetMillisecondClock());
    if (!IsOnWindowThread() || now == Input.lastKeyboardClock) {
        return 0;
    }
    if (pumpFlag != 0 && PumpMessagesOnce() != 0) {
        return 0;
    }
    BYTE virtualKeys[256];
    if (!GetKeyboardState(virtualKeys)) {
        return 0;
    }
    CopyVirtualKeyStatesToKeyCodes(virtualKeys, Input.keys);
    Input.mouseLeft = (virtualKeys[kVirtualKeyLeftButton] & kKeyHeldBit) != 0 ? 1 : 0;
    Input.mouseRight = (virtualKeys[kVirtualKeyRightButton] & kKeyHeldBit) != 0 ? 1 : 0;
    Input.mouseMiddle = (virtualKeys[kVirtualKeyMiddleButton] & kKeyHeldBit) != 0 ? 1 : 0;
    Input.mouseCopyValid = 1;
    Input.lastKeyboardClock = now;
    return 1;
}

static int RefreshFromDirectInput(int pumpFlag)
{
    uint32_t now = static_cast<uint32_t>(GetMillisecondClock());
    bool signalled = WaitForSingleObject(InputDevices.keyboardEvent, 0) == WAIT_OBJECT_0;
    if (now == Input.lastKeyboardClock && !signalled) {
        return 0;
    }
    if (pumpFlag != 0 && PumpMessagesOnce() != 0) {
        return 0;
    }
    K_IDirectInputDevice *keyboard = InputDevices.keyboard;
    if (keyboard == nullptr) {
        return 0;
    }
    if (FAILED(keyboard->lpVtbl->GetDeviceState(keyboard, kKeyCodeCount, Input.keys))) {
        keyboard->lpVtbl->Acquire(keyboard);
        if (FAILED(keyboard->lpVtbl->GetDeviceState(keyboard, kKeyCodeCount, Input.keys))) {
            return 0;
        }
    }
    Input.lastKeyboardClock = now;
    if (signalled) {
        ResetEvent(InputDevices.keyboardEvent);
    }
    return 1;
}

static int ReadDirectInputMouseMask()
{
    K_IDirectInputDevice *mouse = InputDevices.mouse;
    K_DIMOUSESTATE2 state = {};
    if (FAILED(mouse->lpVtbl->GetDeviceState(mouse, sizeof(state), &state))) {
        if (FAILED(mouse->lpVtbl->Acquire(mouse)) ||
            FAILED(mouse->lpVtbl->GetDeviceState(mouse, sizeof(state), &state))) {
            return 0;
        }
    }
    return BuildMouseButtonMask(state.rgbButtons, 8);
}

static bool IsCursorOverClientArea()
{
    HWND window = GetAppWindowHandle();
    RECT client = {};
    GetClientRect(window, &client);
    int x = 0;
    int y = 0;
    GetCursorClientPosition(&x, &y);
    return x >= 0 && x <= client.right - client.left && y >= 0 && y <= client.bottom - client.top;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Refresh the keyboard state (once per timer tick); 1 if refreshed
int RefreshKeyboardStateArray(int pumpFlag)
{
    if (Input.refreshing != 0) {
        return 0;
    }
    Input.refreshing = 1;
    int refreshed = UsesKeyboardStateRoute() ? RefreshFromKeyboardState(pumpFlag) : RefreshFromDirectInput(pumpFlag);
    Input.refreshing = 0;
    return refreshed;
}

// 1 while the key is held, else 0 (before input runs: the start's result)
int IsKeyCodeDown(int keyCode)
{
    int result = 0;
    if (!PrepareInputQuery(&result)) {
        return result;
    }
    RefreshKeyboardStateArray(1);
    if (keyCode < 0 || keyCode >= kKeyCodeCount) {
        return 0;
    }
    return (Input.keys[keyCode] & kKeyHeldBit) != 0 ? 1 : 0;
}

// The mouse button mask (bit 0 left, 1 right, 2 middle, 3-7 buttons 4-8)
int GetMouseButtonMask()
{
    if (InputDevices.backend == kInputDirectInput && InputDevices.mouse != nullptr &&
        (GetWindowsVersionCode() <= kWindowsXpCode || Input.settings.useDirectInputOnEveryWindows != 0)) {
        return ReadDirectInputMouseMask();
    }
    RefreshKeyboardStateArray(1);
    if (Input.mouseCopyValid != 0) {
        return (Input.mouseLeft != 0 ? kMouseButtonLeft : 0) | (Input.mouseRight != 0 ? kMouseButtonRight : 0) |
               (Input.mouseMiddle != 0 ? kMouseButtonMiddle : 0);
    }
    BYTE virtualKeys[256];
    if (!GetKeyboardState(virtualKeys)) {
        return 0;
    }
    return ((virtualKeys[kVirtualKeyLeftButton] & kKeyHeldBit) != 0 ? kMouseButtonLeft : 0) |
           ((virtualKeys[kVirtualKeyRightButton] & kKeyHeldBit) != 0 ? kMouseButtonRight : 0) |
           ((virtualKeys[kVirtualKeyMiddleButton] & kKeyHeldBit) != 0 ? kMouseButtonMiddle : 0);
}

// Key code of the first held key, -1 for a pad or mouse input, else 0
int GetFirstPressedInput(int flags)
{
    if (GetAppWindowHandle() == nullptr) {
        return -1;
    }
    int result = 0;
    if (!PrepareInputQuery(&result)) {
        return result;
    }
    if ((flags & kFirstInputKeys) != 0) {
        RefreshKeyboardStateArray(1);
        int key = FindFirstHeldKeyCode(Input.keys, Input.f10KeyDown);
        if (key != 0) {
            return key;
        }
    }
    if ((flags & kFirstInputJoypads) != 0) {
        for (int pad = 1; pad <= Input.joypadCount; ++pad) {
            if (ReadJoypadInputMask(pad) != 0) {
                return -1;
            }
        }
    }
    if ((flags & kFirstInputMouse) != 0 && GetAppActiveState() != 0 && IsCursorOverClientArea() &&
        GetMouseButtonMask() != 0) {
        return -1;
    }
    return 0;
}

// Private key-flag messages; 0
int SetF10KeyDownFlag()
{
    Input.f10KeyDown = 1;
    return 0;
}

int ClearF10KeyDownFlag()
{
    Input.f10KeyDown = 0;
    return 0;
}

int SetSecondHookKeyFlag()
{
    Input.secondHookKey = 1;
    return 0;
}

int ClearSecondHookKeyFlag()
{
    Input.secondHookKey = 0;
    return 0;
}

} // namespace Korvo

// The Windows side of the input state: DirectInput objects, the keyboard
// event and the XInput library, shared by the input subsystem's Windows files.
#pragma once

#include "input/input_state.h"
#include "input/public_api.h"
#include "core/system/message_pump_hooks.h"
#include "input/win32/direct_input_abi.h"

#include <windows.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

enum InputBackend : int {
    kInputNotStarted = 0,
    kInputWinmm = 1, // WinMM joysticks, GetKeyboardState keys
    kInputDirectInput = 2,
};

constexpr DWORD kCooperativeActive = K_DISCL_EXCLUSIVE | K_DISCL_FOREGROUND;
constexpr DWORD kCooperativeBackground = K_DISCL_NONEXCLUSIVE | K_DISCL_BACKGROUND;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

typedef DWORD(WINAPI *XInputGetStateEntry)(DWORD userIndex, K_XINPUT_STATE *state);
typedef DWORD(WINAPI *XInputSetStateEntry)(DWORD userIndex, K_XINPUT_VIBRATION *vibration);

struct InputDeviceHandles {
    HMODULE xinputLibrary;
    XInputGetStateEntry XInputGetState;
    XInputSetStateEntry XInputSetState;
    int backend;
    int version8; // 1: directInput is a K_IDirectInput8A, else a K_IDirectInput7A
    void *directInput;
    K_IDirectInputDevice *mouse;
    K_IDirectInputDevice *keyboard;
    HANDLE keyboardEvent;
};

extern InputDeviceHandles InputDevices;

// ---------------------------------------------------------------------------
// Shared helpers of the input Windows files
// ---------------------------------------------------------------------------

// Create a device of the DirectInput object in use; the HRESULT
HRESULT CreateDirectInputDevice(REFGUID device, K_IDirectInputDevice **out);
// Wait while inactive, then start input if needed: true when the query may read;
// otherwise *result is what the query returns
bool PrepareInputQuery(int *result);

// Joypads (joypads.cpp)
int SetupJoypads();
BOOL AddDirectInputJoypad(const K_DIDEVICEINSTANCEA *instance, void *context);
int EndJoypads();
int RefreshJoypadState(int padIndex);

} // namespace Korvo

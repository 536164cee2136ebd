// Input services that the core runtime calls (start-up, shut-down, the window
// procedure, activation and the message pump).
#pragma once

#include "input/public_api.h"

namespace Korvo {

// Start keyboard, mouse and joypad input; 0 or -1
int InitInputDevices();
// End every input device; 0
int TermInputDevices();
// Clear the text-input state and set its defaults; 0
int InitTextInputState();
// Refresh the keyboard state (once per timer tick)
int RefreshKeyboardStateArray(int pumpFlag);
// Advance joypad vibration timers; 0
int UpdateJoypadVibrationTimers();
// Feed buffered input characters to the active text input
int FeedBufferedCharsToTextInput();
// Append a byte to the input character buffer; 0, or -1 when full
int PushInputCharToBuffer(unsigned char code);
// The input character buffer's read and write positions
void GetInputCharRingPositions(int *readPosition, int *writePosition);
// Private key-flag messages; 0
int SetF10KeyDownFlag();
int ClearF10KeyDownFlag();
int SetSecondHookKeyFlag();
int ClearSecondHookKeyFlag();
// Re-acquire joypads and keyboard for the new activation state; 0
int ReacquireInputDevices();
// Apply every pad's vibration; 0
int ApplyJoypadVibrationStates();
// Delete every text-input handle; 0
int DeleteAllTextInputHandles();
// Text input uses the IME (window start-up then leaves the IME on)
int GetImeEnabledFlag();
// The IME takes part in input
int GetImeActiveFlag();
// Ask for the IME reset steps on the next feeds
void SetImeResetPending(int pending);

} // namespace Korvo

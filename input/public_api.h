// Input: keyboard, mouse and joypads, and text-input handles.
#pragma once

namespace Korvo {

// 1 while the key (a DirectInput key code, 0-255) is held, else 0; before input
// has started, the result of starting it (0, or -1 when that failed)
int IsKeyCodeDown(int keyCode);
// Held mouse buttons: bit 0 left, 1 right, 2 middle, 3-7 buttons 4-8
int GetMouseButtonMask();
// First held input of the kinds in flags (1 keys, 2 pads, 4 mouse): a key code,
// -1 for a pad or mouse button (or without a window), else 0
int GetFirstPressedInput(int flags);
// Joypad input mask of pad number (1-based; add 0x1000 for the pad's keys)
int ReadJoypadInputMask(int padNumber);
// Stop a pad's vibration (1-based pad number); 0
int HaltJoypadVibration(int padNumber);
// Next typed character from the input buffer into out (terminated): 0 none (or a lead
// byte still alone), 1 single byte or control code, 2 double-byte; advance 0 only peeks
int TakeBufferedInputChar(char out[3], int advance);
// Switch the main window's IME on (1) or off (0, which also drops the composition); 0
int SetImeInputEnabled(int flag);
// Delete a text-input handle; 0, or -1 for an invalid handle
int DeleteTextInputHandle(int handle);

} // namespace Korvo

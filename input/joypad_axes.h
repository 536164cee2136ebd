// Reduction of XInput and WinMM pad readings to the unified joypad state:
// axis scaling with dead zones, triggers, buttons and the D-pad.
#pragma once

#include "input/input_state.h"

namespace Korvo {

// A WinMM joystick reading (JOYINFOEX fields the pads use).
struct WinmmJoyReading {
    uint32_t x, y, z, r, u;
    uint32_t buttons;
};

// WinMM position 0..65,535 to -1,000..1,000 with the dead zone around the centre
int ConvertWinmmAxis(uint32_t position, int deadZone);
// XInput thumb value to -1,000..1,000 with the dead zone around 0
int ConvertXInputStick(int value, int deadZone);
// Left trigger minus right trigger past the dead zone, -1,000..1,000
int ConvertXInputTriggers(int left, int right, int deadZone);
// D-pad bits to a point of view in hundredths of degrees, 0xFFFFFFFF when centred
uint32_t ConvertXInputDpadToPov(uint16_t buttons);
// The unified state of an XInput reading
void FillUnifiedStateFromXInput(const K_XINPUT_STATE &reading, int deadZone, JoypadUnifiedState *state);
// The unified state of a WinMM reading (Z, Rz and Rx only for pads with Z and R)
void FillUnifiedStateFromWinmm(const WinmmJoyReading &reading, int hasZAndR, int deadZone, JoypadUnifiedState *state);

} // namespace Korvo

// Joypad readings to the unified state, and the masks built from it.

#include "input/joypad_axes.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr uint32_t kPovCentred = 0xFFFFFFFFu;
constexpr int kWinmmButtonCount = 24;

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

// XInput buttons in the order of unified buttons 1-10.
static const uint16_t kXInputButtonOrder[] = {
    K_XINPUT_GAMEPAD_A,
    K_XINPUT_GAMEPAD_B,
    K_XINPUT_GAMEPAD_X,
    K_XINPUT_GAMEPAD_Y,
    K_XINPUT_GAMEPAD_LEFT_SHOULDER,
    K_XINPUT_GAMEPAD_RIGHT_SHOULDER,
    K_XINPUT_GAMEPAD_BACK,
    K_XINPUT_GAMEPAD_START,
    K_XINPUT_GAMEPAD_LEFT_THUMB,
    K_XINPUT_GAMEPAD_RIGHT_THUMB,
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// WinMM position 0..65,535 to -1,000..1,000 with the dead zone around the centre
int ConvertWinmmAxis(uint32_t position, int deadZone)
{
    int64_t p = position;
    int64_t half = deadZone / 2;
    int64_t edge = 32768 - half;
    if (p == 0) {
        return -kJoypadAxisLimit;
    }
    if (p == 32767) {
        return 0;
    }
    if (p == 65535) {
        return kJoypadAxisLimit;
    }
    if (p < edge) {
        return static_cast<int>(-(edge - p) * 1000 / edge);
    }
    if (p > 32768 + half) {
        return static_cast<int>(((p - half) * 1000 - 32768000) / edge);
    }
    return 0;
}

// XInput thumb value to -1,000..1,000 with the dead zone around 0
int ConvertXInputStick(int value, int deadZone)
{
    int half = deadZone * 32767 / 65536;
    if (value == -32768) {
        return -kJoypadAxisLimit;
    }
    if (value == 32767) {
        return kJoypadAxisLimit;
    }
    if (value < -half) {
        return (value + half) * 1000 / (32767 - half);
    }
    if (value > half) {
        return (value - half) * 1000 / (32767 - half);
    }
    return 0;
}

// Left trigger minus right trigger past the dead zone, -1,000..1,000
int ConvertXInputTriggers(int left, int right, int deadZone)
{
    int threshold = deadZone * 255 / 65536;
    int z = 0;
    if (left > threshold) {
        z += (left - threshold) * 1000 / (255 - threshold);
    }
    if (right > threshold) {
        z -= (right - threshold) * 1000 / (255 - threshold);
    }
    return z;
}

// D-pad bits to a point of view in hundredths of degrees, 0xFFFFFFFF when centred
uint32_t ConvertXInputDpadToPov(uint16_t buttons)
{
    bool up = (buttons & K_XINPUT_GAMEPAD_DPAD_UP) != 0;
    bool down = (buttons & K_XINPUT_GAMEPAD_DPAD_DOWN) != 0;
    bool left = (buttons & K_XINPUT_GAMEPAD_DPAD_LEFT) != 0;
    bool right = (buttons & K_XINPUT_GAMEPAD_DPAD_RIGHT) != 0;
    // Opposite directions together cancel out.
    if (up && down) {
        up = down = false;
    }
    if (left && right) {
        left = right = false;
    }
    if (up) {
        return right ? 4500 : left ? 31500 : 0;
    }
    if (down) {
        return right ? 13500 : left ? 22500 : 18000;
    }
    if (right) {
        return 9000;
    }
    if (left) {
        return 27000;
    }
    return kPovCentred;
}

// The unified state of an XInput reading
void FillUnifiedStateFromXInput(const K_XINPUT_STATE &reading, int deadZone, JoypadUnifiedState *state)
{
    const K_XINPUT_GAMEPAD &pad = reading.Gamepad;
    *state = JoypadUnifiedState{};
    state->x = ConvertXInputStick(pad.sThumbLX, deadZone);
    state->y = -ConvertXInputStick(pad.sThumbLY, deadZone);
    state->rx = ConvertXInputStick(pad.sThumbRX, deadZone);
    state->ry = -ConvertXInputStick(pad.sThumbRY, deadZone);
    state->z = ConvertXInputTriggers(pad.bLeftTrigger, pad.bRightTrigger, deadZone);
    for (int i = 0; i < 10; ++i) {
        state->buttons[i] = (pad.wButtons & kXInputButtonOrder[i]) != 0 ? kKeyHeldBit : 0;
    }
    state->pov[0] = ConvertXInputDpadToPov(pad.wButtons);
    state->pov[1] = state->pov[2] = state->pov[3] = kPovCentred;
}

// The unified state of a WinMM reading (Z, Rz and Rx only for pads with Z and R)
void FillUnifiedStateFromWinmm(const WinmmJoyReading &reading, int hasZAndR, int deadZone, JoypadUnifiedState *state)
{
    *state = JoypadUnifiedState{};
    state->x = ConvertWinmmAxis(reading.x, deadZone);
    state->y = ConvertWinmmAxis(reading.y, deadZone);
    if (hasZAndR != 0) {
        state->z = ConvertWinmmAxis(reading.z, deadZone);
        state->rz = ConvertWinmmAxis(reading.r, deadZone);
        state->rx = ConvertWinmmAxis(reading.u, deadZone);
    }
    for (int i = 0; i < kWinmmButtonCount; ++i) {
        state->buttons[i] = (reading.buttons & (1u << i)) != 0 ? kKeyHeldBit : 0;
    }
}

} // namespace Korvo

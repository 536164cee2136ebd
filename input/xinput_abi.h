// The library's own copies of the XInput structures it passes to the platform
// (documented layout; checked against the toolchain's in the tests).
#pragma once

#include <cstdint>

namespace Korvo {

// Button bits of K_XINPUT_GAMEPAD::wButtons.
constexpr uint16_t K_XINPUT_GAMEPAD_DPAD_UP = 0x0001;
constexpr uint16_t K_XINPUT_GAMEPAD_DPAD_DOWN = 0x0002;
constexpr uint16_t K_XINPUT_GAMEPAD_DPAD_LEFT = 0x0004;
constexpr uint16_t K_XINPUT_GAMEPAD_DPAD_RIGHT = 0x0008;
constexpr uint16_t K_XINPUT_GAMEPAD_START = 0x0010;
constexpr uint16_t K_XINPUT_GAMEPAD_BACK = 0x0020;
constexpr uint16_t K_XINPUT_GAMEPAD_LEFT_THUMB = 0x0040;
constexpr uint16_t K_XINPUT_GAMEPAD_RIGHT_THUMB = 0x0080;
constexpr uint16_t K_XINPUT_GAMEPAD_LEFT_SHOULDER = 0x0100;
constexpr uint16_t K_XINPUT_GAMEPAD_RIGHT_SHOULDER = 0x0200;
constexpr uint16_t K_XINPUT_GAMEPAD_A = 0x1000;
constexpr uint16_t K_XINPUT_GAMEPAD_B = 0x2000;
constexpr uint16_t K_XINPUT_GAMEPAD_X = 0x4000;
constexpr uint16_t K_XINPUT_GAMEPAD_Y = 0x8000;

struct K_XINPUT_GAMEPAD {
    uint16_t wButtons;
    uint8_t bLeftTrigger;
    uint8_t bRightTrigger;
    int16_t sThumbLX;
    int16_t sThumbLY;
    int16_t sThumbRX;
    int16_t sThumbRY;
};

struct K_XINPUT_STATE {
    uint32_t dwPacketNumber;
    K_XINPUT_GAMEPAD Gamepad;
};

struct K_XINPUT_VIBRATION {
    uint16_t wLeftMotorSpeed;
    uint16_t wRightMotorSpeed;
};

} // namespace Korvo

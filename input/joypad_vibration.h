// Vibration decisions of a pad: which XInput motor speeds or DirectInput effect
// starts and stops a change of its vibration state asks for, and its timer.
#pragma once

#include "input/input_state.h"

namespace Korvo {

// What to send to an XInput pad.
struct XInputMotorCommand {
    int send; // 1 when either motor changed state
    uint16_t leftSpeed;
    uint16_t rightSpeed;
};

// DirectInput effect changes: 1 start, -1 stop, 0 leave.
struct DirectInputEffectCommand {
    int constantForce;
    int sine;
};

// Motor speeds for the pad's vibration state (records the motors' new states)
XInputMotorCommand DecideXInputMotors(JoypadRecord *pad);
// Effect starts and stops for the pad's vibration state (records the effects' new states)
DirectInputEffectCommand DecideDirectInputEffects(JoypadRecord *pad);
// Motors off while the application is inactive; send 1 when a motor was on
XInputMotorCommand StopXInputMotors(JoypadRecord *pad);
// Advance a vibrating pad's elapsed time to now; 1 when its duration has run out
int AdvanceVibrationTimer(JoypadRecord *pad, uint32_t now);

} // namespace Korvo

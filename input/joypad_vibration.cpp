// Vibration state changes of joypads, independent of the device that vibrates.

#include "input/joypad_vibration.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Power at which the left motor reaches full speed and the right one starts.
constexpr int kHalfPower = 5000;
constexpr int kFullMotorSpeed = 65535;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Motor speeds for the pad's vibration state (records the motors' new states)
XInputMotorCommand DecideXInputMotors(JoypadRecord *pad)
{
    int leftOn = pad->vibrationOn != 0 ? 1 : 0;
    int rightOn = pad->vibrationOn != 0 && pad->power > kHalfPower ? 1 : 0;
    XInputMotorCommand command = {0, 0, 0};
    if (leftOn != pad->firstEffectPlaying) {
        int power = pad->power < 0 ? 0 : pad->power;
        pad->leftMotorSpeed = leftOn == 0           ? 0
                              : power <= kHalfPower ? static_cast<uint16_t>(power * kFullMotorSpeed / kHalfPower)
                                                    : kFullMotorSpeed;
        pad->firstEffectPlaying = leftOn;
        command.send = 1;
    }
    if (rightOn != pad->secondEffectPlaying) {
        int over = pad->power > kJoypadFullPower ? kHalfPower : pad->power - kHalfPower;
        pad->rightMotorSpeed = rightOn == 0 ? 0 : static_cast<uint16_t>(over * kFullMotorSpeed / kHalfPower);
        pad->secondEffectPlaying = rightOn;
        command.send = 1;
    }
    // A motor whose state did not change keeps the speed it was given.
    command.leftSpeed = pad->leftMotorSpeed;
    command.rightSpeed = pad->rightMotorSpeed;
    return command;
}

// Effect starts and stops for the pad's vibration state (records the effects' new states)
DirectInputEffectCommand DecideDirectInputEffects(JoypadRecord *pad)
{
    int constantOn = pad->vibrationOn != 0 ? 1 : 0;
    int sineOn = pad->vibrationOn != 0 && pad->power > kHalfPower ? 1 : 0;
    DirectInputEffectCommand command = {0, 0};
    if (constantOn != pad->firstEffectPlaying) {
        command.constantForce = constantOn != 0 ? 1 : -1;
        pad->firstEffectPlaying = constantOn;
    }
    if (sineOn != pad->secondEffectPlaying) {
        command.sine = sineOn != 0 ? 1 : -1;
        pad->secondEffectPlaying = sineOn;
    }
    return command;
}

// Motors off while the application is inactive; send 1 when a motor was on
XInputMotorCommand StopXInputMotors(JoypadRecord *pad)
{
    XInputMotorCommand command = {0, 0, 0};
    if (pad->firstEffectPlaying != 0 || pad->secondEffectPlaying != 0) {
        command.send = 1;
    }
    pad->firstEffectPlaying = 0;
    pad->secondEffectPlaying = 0;
    pad->leftMotorSpeed = 0;
    pad->rightMotorSpeed = 0;
    return command;
}

// Advance a vibrating pad's elapsed time to now; 1 when its duration has run out
int AdvanceVibrationTimer(JoypadRecord *pad, uint32_t now)
{
    if (pad->vibrationOn == 0 || pad->durationMs < 0) {
        return 0;
    }
    if (now != pad->lastVibrationClock) {
        if (now < pad->lastVibrationClock) {
            pad->lastVibrationClock = now;
        }
        pad->elapsedMs += static_cast<int32_t>(now - pad->lastVibrationClock);
        pad->lastVibrationClock = now;
    }
    return pad->elapsedMs >= pad->durationMs ? 1 : 0;
}

} // namespace Korvo

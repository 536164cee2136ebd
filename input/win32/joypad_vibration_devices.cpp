// Joypad vibration on the devices: XInput motors and DirectInput effects, the
// per-frame duration timers and stopping a pad.

#include "input/win32/input_devices.h"

#include "core/threads/clock.h"
#include "core/public_api.h"
#include "core/system/window_state.h"
#include "input/joypad_vibration.h"
#include "input/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static K_IDirectInputEffect *Effect(void *object)
{
    return static_cast<K_IDirectInputEffect *>(object);
}

static void SendMotorSpeeds(const JoypadRecord &pad, const XInputMotorCommand &command)
{
    if (command.send == 0 || InputDevices.XInputSetState == nullptr) {
        return;
    }
    K_XINPUT_VIBRATION vibration = {command.leftSpeed, command.rightSpeed};
    InputDevices.XInputSetState(static_cast<DWORD>(pad.xinputUserIndex), &vibration);
}

static void ApplyEffectChange(void *effectObject, int change)
{
    K_IDirectInputEffect *effect = Effect(effectObject);
    if (effect == nullptr || change == 0) {
        return;
    }
    if (change > 0) {
        effect->lpVtbl->Start(effect, 1, 0);
    } else {
        effect->lpVtbl->Stop(effect);
    }
}

static void StopPadWhileInactive(JoypadRecord &pad)
{
    if (pad.xinputUserIndex != -1) {
        SendMotorSpeeds(pad, StopXInputMotors(&pad));
        return;
    }
    if (pad.firstEffectPlaying != 0 && pad.constantForceEffect != nullptr) {
        Effect(pad.constantForceEffect)->lpVtbl->Stop(Effect(pad.constantForceEffect));
    }
    if (pad.secondEffectPlaying != 0 && pad.sineEffect != nullptr) {
        Effect(pad.sineEffect)->lpVtbl->Stop(Effect(pad.sineEffect));
    }
    pad.firstEffectPlaying = 0;
    pad.secondEffectPlaying = 0;
}

static bool CanVibrate(const JoypadRecord &pad)
{
    return pad.xinputUserIndex != -1 || (pad.device != nullptr && pad.constantForceEffect != nullptr);
}

// The timers run inside the message pump: no waiting for activation here.
static void StopPadVibration(JoypadRecord &pad)
{
    if (CanVibrate(pad)) {
        pad.vibrationOn = 0;
        pad.power = kJoypadFullPower;
        ApplyJoypadVibrationStates();
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Send every pad's vibration state to its device (stopped while inactive); 0
int ApplyJoypadVibrationStates()
{
    if (InputDevices.backend != kInputDirectInput) {
        return 0;
    }
    bool active = GetAppActiveState() != 0;
    for (int i = 0; i < Input.joypadCount; ++i) {
        JoypadRecord &pad = Input.joypads[i];
        if (!active) {
            StopPadWhileInactive(pad);
        } else if (pad.xinputUserIndex != -1) {
            SendMotorSpeeds(pad, DecideXInputMotors(&pad));
        } else if (pad.device != nullptr) {
            DirectInputEffectCommand command = DecideDirectInputEffects(&pad);
            ApplyEffectChange(pad.constantForceEffect, command.constantForce);
            ApplyEffectChange(pad.sineEffect, command.sine);
        }
    }
    return 0;
}

// Stop a pad's vibration (1-based pad number, 0x1000 ignored); 0
int HaltJoypadVibration(int padNumber)
{
    int result = 0;
    if (!PrepareInputQuery(&result)) {
        return result;
    }
    int index = (padNumber & ~kJoypadKeyFlag) - 1;
    if (index >= 0 && index < Input.joypadCount) {
        StopPadVibration(Input.joypads[index]);
    }
    return 0;
}

// Advance joypad vibration timers, stopping pads whose time ran out; 0
int UpdateJoypadVibrationTimers()
{
    uint32_t now = static_cast<uint32_t>(GetMillisecondClock());
    for (int i = 0; i < Input.joypadCount; ++i) {
        JoypadRecord &pad = Input.joypads[i];
        if (pad.vibrationOn != 0 && pad.durationMs >= 0 && CanVibrate(pad) && AdvanceVibrationTimer(&pad, now) != 0) {
            StopPadVibration(pad);
        }
    }
    ApplyJoypadVibrationStates();
    return 0;
}

} // namespace Korvo

// Joypads: registration of XInput and DirectInput pads, their end, and reading
// a pad (XInput, DirectInput or WinMM) into its unified state and input mask.

#include "input/win32/input_devices.h"

#include "core/threads/clock.h"
#include "core/log/error_log.h"
#include "core/system/platform_libraries.h"
#include "core/system/win32/app_window.h"
#include "input/joypad_axes.h"
#include "input/startup_entries.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kXInputUserCount = 4;
constexpr LONG kDirectInputAxisRange = 1000;
constexpr DWORD kDirectInputDeadZone = 3499;
constexpr DWORD kSinePeriodMicroseconds = 1500000;
constexpr DWORD kSineAttackMicroseconds = 500000;
constexpr DWORD kSineFadeMicroseconds = 1000000;
constexpr DWORD kJoyReturnAll = 255;
static const char kXInputControllerName[] = "XBOX 360 For Windows";

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void ResetVibration(JoypadRecord &pad)
{
    pad.vibrationOn = 0;
    pad.power = kJoypadFullPower;
    pad.firstEffectPlaying = 0;
    pad.secondEffectPlaying = 0;
}

static void RegisterXInputPads()
{
    if (InputDevices.XInputGetState == nullptr) {
        return;
    }
    for (int user = 0; user < kXInputUserCount && Input.joypadCount < kJoypadCapacity; ++user) {
        K_XINPUT_STATE state = {};
        if (InputDevices.XInputGetState(static_cast<DWORD>(user), &state) != ERROR_SUCCESS) {
            continue;
        }
        AppendLogLineFormat("ジョイパッドナンバー %d は Xbox360 Controller です", Input.joypadCount);
        JoypadRecord &pad = Input.joypads[Input.joypadCount];
        pad = JoypadRecord{};
        pad.xinputUserIndex = user;
        pad.deadZone = kJoypadDefaultDeadZone;
        ResetVibration(pad);
        ++Input.joypadCount;
    }
}

static void SetAxisProperties(K_IDirectInputDevice *device)
{
    static const DWORD axes[] = {K_DIJOFS_X, K_DIJOFS_Y, K_DIJOFS_Z, K_DIJOFS_RX, K_DIJOFS_RY, K_DIJOFS_RZ};
    for (DWORD axis : axes) {
        K_DIPROPRANGE range = {{sizeof(K_DIPROPRANGE), sizeof(K_DIPROPHEADER), axis, K_DIPH_BYOFFSET},
                               -kDirectInputAxisRange,
                               kDirectInputAxisRange};
        if (FAILED(device->lpVtbl->SetProperty(device, K_MakeDiProp(K_DIPROP_RANGE), &range.diph))) {
            if (axis == K_DIJOFS_X) {
                AppendLogText("ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n");
            } else if (axis == K_DIJOFS_Y) {
                AppendLogText("ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n");
            }
        }
    }
    for (DWORD axis : axes) {
        K_DIPROPDWORD zone = {{sizeof(K_DIPROPDWORD), sizeof(K_DIPROPHEADER), axis, K_DIPH_BYOFFSET},
                              kDirectInputDeadZone};
        if (FAILED(device->lpVtbl->SetProperty(device, K_MakeDiProp(K_DIPROP_DEADZONE), &zone.diph))) {
            if (axis == K_DIJOFS_X) {
                AppendLogText("ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n");
            } else if (axis == K_DIJOFS_Y) {
                AppendLogText("ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n");
            }
        }
    }
}

static void CreateVibrationEffects(K_IDirectInputDevice *device, JoypadRecord &pad)
{
    DWORD axes[2] = {K_DIJOFS_X, K_DIJOFS_Y};
    LONG directions[2] = {0, 0};
    K_DIEFFECT effect = {};
    effect.dwSize = sizeof(K_DIEFFECT);
    effect.dwDuration = INFINITE;
    effect.dwSamplePeriod = 0;
    effect.dwGain = K_DI_FFNOMINALMAX;
    effect.dwTriggerButton = K_DIEB_NOTRIGGER;
    effect.cAxes = 2;
    effect.rgdwAxes = axes;
    effect.rglDirection = directions;

    K_DIENVELOPE envelope = {sizeof(K_DIENVELOPE), 0, kSineAttackMicroseconds, 0, kSineFadeMicroseconds};
    K_DIPERIODIC periodic = {K_DI_FFNOMINALMAX, 0, 0, kSinePeriodMicroseconds};
    effect.dwFlags = K_DIEFF_OBJECTOFFSETS | K_DIEFF_POLAR;
    effect.lpEnvelope = &envelope;
    effect.cbTypeSpecificParams = sizeof(periodic);
    effect.lpvTypeSpecificParams = &periodic;
    K_IDirectInputEffect *sine = nullptr;
    device->lpVtbl->CreateEffect(device, K_GUID_Sine, &effect, &sine, nullptr);
    pad.sineEffect = sine;

    K_DICONSTANTFORCE constant = {static_cast<LONG>(K_DI_FFNOMINALMAX)};
    effect.dwFlags = K_DIEFF_OBJECTOFFSETS | K_DIEFF_CARTESIAN;
    effect.lpEnvelope = nullptr;
    effect.cbTypeSpecificParams = sizeof(constant);
    effect.lpvTypeSpecificParams = &constant;
    K_IDirectInputEffect *constantForce = nullptr;
    if (FAILED(device->lpVtbl->CreateEffect(device, K_GUID_ConstantForce, &effect, &constantForce, nullptr))) {
        AppendLogText("周期的エフェクトの作成に失敗しました。\n");
        constantForce = nullptr;
    }
    pad.constantForceEffect = constantForce;
}

static void ReleaseEffect(void *effectObject)
{
    K_IDirectInputEffect *effect = static_cast<K_IDirectInputEffect *>(effectObject);
    if (effect != nullptr) {
        effect->lpVtbl->Stop(effect);
        effect->lpVtbl->Release(effect);
    }
}

static BOOL CALLBACK EnumJoypadCallback(const K_DIDEVICEINSTANCEA *instance, void *context)
{
    return AddDirectInputJoypad(instance, context);
}

static void ReadWinmmPad(JoypadRecord &pad, int padIndex)
{
    JOYINFOEX info = {};
    info.dwSize = sizeof(info);
    info.dwFlags = kJoyReturnAll;
    if (PlatformLibraries.winmm.joyGetPosEx == nullptr ||
        PlatformLibraries.winmm.joyGetPosEx(static_cast<UINT>(padIndex), &info) != JOYERR_NOERROR) {
        pad.state = JoypadUnifiedState{};
        return;
    }
    WinmmJoyReading reading = {info.dwXpos, info.dwYpos, info.dwZpos, info.dwRpos, info.dwUpos, info.dwButtons};
    FillUnifiedStateFromWinmm(reading, pad.hasZAndR, pad.deadZone, &pad.state);
}

static void ReadXInputPad(JoypadRecord &pad)
{
    if (InputDevices.XInputGetState == nullptr ||
        InputDevices.XInputGetState(static_cast<DWORD>(pad.xinputUserIndex), &pad.xinputState) != ERROR_SUCCESS) {
        pad.xinputState = K_XINPUT_STATE{};
    }
    FillUnifiedStateFromXInput(pad.xinputState, pad.deadZone, &pad.state);
}

// -1 when the program is ending or DirectInput went away while pumping.
static int PumpDuringPadRetry()
{
    if (PumpMessagesOnce() != 0 || InputDevices.backend != kInputDirectInput) {
        return -1;
    }
    return 0;
}

static int ReadDirectInputPad(JoypadRecord &pad)
{
    K_IDirectInputDevice *device = static_cast<K_IDirectInputDevice *>(pad.device);
    if (device == nullptr) {
        return 0;
    }
    bool signalled = pad.event != nullptr && WaitForSingleObject(pad.event, 0) == WAIT_OBJECT_0;
    uint32_t now = static_cast<uint32_t>(GetMillisecondClock());
    if (now == pad.lastReadClock && !signalled) {
        return 0;
    }
    JoypadUnifiedState state = {};
    device->lpVtbl->Poll(device);
    if (FAILED(device->lpVtbl->GetDeviceState(device, sizeof(state), &state))) {
        if (PumpDuringPadRetry() != 0) {
            return -1;
        }
        if (FAILED(device->lpVtbl->Acquire(device))) {
            return -1;
        }
        if (PumpDuringPadRetry() != 0) {
            return -1;
        }
        if (FAILED(device->lpVtbl->GetDeviceState(device, sizeof(state), &state))) {
            return -1;
        }
    }
    pad.state = state;
    pad.lastReadClock = now;
    if (signalled) {
        ResetEvent(pad.event);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// EnumDevices callback: adds one attached game controller; 0 stops the enumeration
BOOL AddDirectInputJoypad(const K_DIDEVICEINSTANCEA *instance, void *context)
{
    (void)context;
    if (Input.joypadCount >= kJoypadCapacity) {
        return FALSE;
    }
    K_IDirectInputDevice *device = nullptr;
    if (FAILED(CreateDirectInputDevice(instance->guidInstance, &device))) {
        AppendLogText("入力装置の取得に失敗しました\n");
        return TRUE;
    }
    K_DIDEVICEINSTANCEA info = {};
    info.dwSize = sizeof(info);
    device->lpVtbl->GetDeviceInfo(device, &info);
    // XInput already serves these controllers.
    if (std::strstr(info.tszInstanceName, kXInputControllerName) != nullptr) {
        device->lpVtbl->Release(device);
        return TRUE;
    }
    AppendLogText("入力装置を見つけました\n");
    JoypadRecord &pad = Input.joypads[Input.joypadCount];
    pad = JoypadRecord{};
    pad.xinputUserIndex = -1;
    std::memcpy(pad.instanceName, info.tszInstanceName, sizeof(pad.instanceName));
    std::memcpy(pad.productName, info.tszProductName, sizeof(pad.productName));
    pad.instanceName[sizeof(pad.instanceName) - 1] = 0;
    pad.productName[sizeof(pad.productName) - 1] = 0;
    IncreaseLogIndent();
    AppendLogLineFormat("デバイスの登録名:%s", pad.instanceName);
    AppendLogLineFormat("デバイスの製品登録名:%s", pad.productName);
    DecreaseLogIndent();

    if (FAILED(device->lpVtbl->SetDataFormat(device, &K_c_dfDIJoystick))) {
        device->lpVtbl->Release(device);
        AppendLogText("ジョイパッドデバイスではありませんでした、又は設定に失敗しました\n");
        return TRUE;
    }
    if (FAILED(device->lpVtbl->SetCooperativeLevel(device, GetAppWindowHandle(), kCooperativeActive))) {
        AppendLogText("ジョイパッドデバイスの協調レベルの設定に失敗しました\n");
    }
    SetAxisProperties(device);
    pad.deadZone = kJoypadDefaultDeadZone;
    if (Input.settings.noForceFeedback == 0) {
        CreateVibrationEffects(device, pad);
    }
    ResetVibration(pad);

    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT notified = event == nullptr ? E_FAIL : device->lpVtbl->SetEventNotification(device, event);
    if (notified != K_DI_OK && notified != K_DI_POLLEDDEVICE) {
        AppendLogText("ジョイパッドイベントのセットアップが失敗しました\n");
        // The pad is not added: nothing of it may be left behind.
        ReleaseEffect(pad.sineEffect);
        ReleaseEffect(pad.constantForceEffect);
        device->lpVtbl->Release(device);
        if (event != nullptr) {
            CloseHandle(event);
        }
        pad = JoypadRecord{};
        return TRUE;
    }
    device->lpVtbl->Acquire(device);
    pad.device = device;
    pad.event = event;
    pad.state = JoypadUnifiedState{};
    ++Input.joypadCount;
    AppendLogText("ジョイパッドの追加は正常に終了しました\n");
    return Input.joypadCount >= kJoypadCapacity ? FALSE : TRUE;
}

// End all joypads, then register the XInput and DirectInput pads; 0, -1 without DirectInput
int SetupJoypads()
{
    if (InputDevices.backend != kInputDirectInput) {
        return -1;
    }
    EndJoypads();
    AppendLogText("ジョイパッドの初期化... \n");
    RegisterXInputPads();
    if (InputDevices.version8 != 0) {
        K_IDirectInput8A *input = static_cast<K_IDirectInput8A *>(InputDevices.directInput);
        input->lpVtbl->EnumDevices(input, K_DIDEVCLASS_GAMECTRL, EnumJoypadCallback, nullptr, K_DIEDFL_ATTACHEDONLY);
    } else {
        K_IDirectInput7A *input = static_cast<K_IDirectInput7A *>(InputDevices.directInput);
        input->lpVtbl->EnumDevices(input, K_DIDEVCLASS_GAMECTRL, EnumJoypadCallback, nullptr, K_DIEDFL_ATTACHEDONLY);
    }
    AppendLogText("ジョイパッドの初期化は正常に終了しました\n");
    return 0;
}

// Release every DirectInput pad and empty all records; 0, -1 without DirectInput
int EndJoypads()
{
    if (InputDevices.backend != kInputDirectInput) {
        return -1;
    }
    for (int i = 0; i < Input.joypadCount; ++i) {
        JoypadRecord &pad = Input.joypads[i];
        K_IDirectInputDevice *device = static_cast<K_IDirectInputDevice *>(pad.device);
        if (pad.xinputUserIndex != -1 || device == nullptr) {
            continue;
        }
        device->lpVtbl->Unacquire(device);
        device->lpVtbl->SetEventNotification(device, nullptr);
        ReleaseEffect(pad.constantForceEffect);
        ReleaseEffect(pad.sineEffect);
        device->lpVtbl->Release(device);
        if (pad.event != nullptr) {
            CloseHandle(pad.event);
        }
    }
    for (JoypadRecord &pad : Input.joypads) {
        pad = JoypadRecord{};
    }
    Input.joypadCount = 0;
    return 0;
}

// Read one pad into its unified state (at most once per clock value); 0 or -1
int RefreshJoypadState(int padIndex)
{
    if (padIndex < 0 || padIndex >= kJoypadCapacity) {
        return -1;
    }
    JoypadRecord &pad = Input.joypads[padIndex];
    if (InputDevices.backend == kInputWinmm) {
        uint32_t now = static_cast<uint32_t>(GetMillisecondClock());
        if (now != pad.lastReadClock) {
            ReadWinmmPad(pad, padIndex);
            pad.lastReadClock = now;
        }
        return 0;
    }
    if (pad.xinputUserIndex != -1) {
        uint32_t now = static_cast<uint32_t>(GetMillisecondClock());
        if (now != pad.lastReadClock) {
            ReadXInputPad(pad);
            pad.lastReadClock = now;
        }
        return 0;
    }
    return ReadDirectInputPad(pad);
}

// The joypad input mask of a 1-based pad number (0x1000 adds the pad's key map)
int ReadJoypadInputMask(int padNumber)
{
    int result = 0;
    if (!PrepareInputQuery(&result)) {
        return result;
    }
    bool withKeys = (padNumber & kJoypadKeyFlag) != 0;
    int number = padNumber & ~kJoypadKeyFlag;
    int mask = 0;
    if (number >= 1 && number <= Input.joypadCount) {
        RefreshJoypadState(number - 1);
        mask = BuildJoypadInputMask(Input.joypads[number - 1].state);
    } else if (!withKeys) {
        return 0;
    }
    if (withKeys) {
        int mapIndex = number == 0 ? 0 : number - 1;
        // The key map has 16 pads; numbers past it have no keys.
        if (mapIndex >= 0 && mapIndex < kJoypadCapacity) {
            RefreshKeyboardStateArray(1);
            mask |= BuildKeyMapInputMask(Input.keyMap[mapIndex], Input.keys);
        }
    }
    return mask;
}

} // namespace Korvo

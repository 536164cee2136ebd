// Joypads against fakes of WinMM, XInput and a DirectInput object with its
// devices and effects (the test display has no pads).

#include "input/win32/input_devices.h"

#include "core/system/platform_libraries.h"
#include "core/system/win32/window_state.h"
#include "input/public_api.h"
#include "input/startup_entries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Korvo;

namespace {

std::vector<std::string> Calls;
DWORD FakeNow = 1000;

DWORD WINAPI FakeTimeGetTime()
{
    return FakeNow;
}

// WinMM: two pads, the first with Z and R.
MMRESULT WINAPI FakeJoyGetDevCaps(UINT_PTR pad, LPJOYCAPSA caps, UINT)
{
    if (pad >= 2) {
        return JOYERR_UNPLUGGED;
    }
    caps->wCaps = pad == 0 ? (JOYCAPS_HASZ | JOYCAPS_HASR) : JOYCAPS_HASZ;
    return JOYERR_NOERROR;
}
MMRESULT WINAPI FakeJoyGetPosEx(UINT pad, LPJOYINFOEX info)
{
    if (info->dwSize != sizeof(JOYINFOEX) || info->dwFlags != JOY_RETURNALL) {
        return MMSYSERR_INVALPARAM;
    }
    info->dwXpos = pad == 0 ? 65535 : 32767;
    info->dwYpos = pad == 0 ? 32767 : 0;
    info->dwButtons = pad == 0 ? 1 : 2;
    return JOYERR_NOERROR;
}

// XInput: users 0 and 2 are connected.
DWORD WINAPI FakeXInputGetState(DWORD user, K_XINPUT_STATE *state)
{
    if (user != 0 && user != 2) {
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    *state = K_XINPUT_STATE{};
    state->Gamepad.sThumbLY = user == 0 ? -32768 : 0; // down
    state->Gamepad.wButtons = user == 2 ? K_XINPUT_GAMEPAD_B : 0;
    return ERROR_SUCCESS;
}
DWORD WINAPI FakeXInputSetState(DWORD user, K_XINPUT_VIBRATION *vibration)
{
    Calls.push_back("SetState " + std::to_string(user) + " " + std::to_string(vibration->wLeftMotorSpeed) + " " +
                    std::to_string(vibration->wRightMotorSpeed));
    return ERROR_SUCCESS;
}

// DirectInput: two attached controllers, one of them XInput's.
const char *const kDeviceNames[] = {"XBOX 360 For Windows (Controller)", "Fake Stick"};

struct FakeEffect {
    K_IDirectInputEffect object;
    std::string name;
};
FakeEffect *EffectOf(K_IDirectInputEffect *self)
{
    return reinterpret_cast<FakeEffect *>(self);
}
ULONG STDMETHODCALLTYPE EffectRelease(K_IDirectInputEffect *self)
{
    Calls.push_back(EffectOf(self)->name + " Release");
    delete EffectOf(self);
    return 0;
}
HRESULT STDMETHODCALLTYPE EffectStart(K_IDirectInputEffect *self, DWORD, DWORD)
{
    Calls.push_back(EffectOf(self)->name + " Start");
    return K_DI_OK;
}
HRESULT STDMETHODCALLTYPE EffectStop(K_IDirectInputEffect *self)
{
    Calls.push_back(EffectOf(self)->name + " Stop");
    return K_DI_OK;
}
K_IDirectInputEffectVtbl MakeEffectMethods()
{
    K_IDirectInputEffectVtbl methods = {};
    methods.Release = EffectRelease;
    methods.Start = EffectStart;
    methods.Stop = EffectStop;
    return methods;
}
const K_IDirectInputEffectVtbl kEffectMethods = MakeEffectMethods();

struct FakeDevice {
    K_IDirectInputDevice object;
    int index;
};
std::string DeviceName(K_IDirectInputDevice *self)
{
    return "device" + std::to_string(reinterpret_cast<FakeDevice *>(self)->index);
}
ULONG STDMETHODCALLTYPE DeviceRelease(K_IDirectInputDevice *self)
{
    Calls.push_back(DeviceName(self) + " Release");
    delete reinterpret_cast<FakeDevice *>(self);
    return 0;
}
HRESULT STDMETHODCALLTYPE DeviceNoteOk(K_IDirectInputDevice *)
{
    return K_DI_OK;
}
HRESULT STDMETHODCALLTYPE DeviceUnacquire(K_IDirectInputDevice *self)
{
    Calls.push_back(DeviceName(self) + " Unacquire");
    return K_DI_OK;
}
HRESULT STDMETHODCALLTYPE DeviceSetProperty(K_IDirectInputDevice *, const GUID *, const K_DIPROPHEADER *)
{
    return K_DI_OK;
}
HRESULT STDMETHODCALLTYPE DeviceSetDataFormat(K_IDirectInputDevice *, const K_DIDATAFORMAT *format)
{
    return format == &K_c_dfDIJoystick ? K_DI_OK : E_INVALIDARG;
}
HRESULT STDMETHODCALLTYPE DeviceSetEvent(K_IDirectInputDevice *self, HANDLE event)
{
    Calls.push_back(DeviceName(self) + (event != nullptr ? " SetEvent" : " ClearEvent"));
    return K_DI_OK;
}
HRESULT STDMETHODCALLTYPE DeviceSetLevel(K_IDirectInputDevice *, HWND, DWORD)
{
    return K_DI_OK;
}
HRESULT STDMETHODCALLTYPE DeviceGetInfo(K_IDirectInputDevice *self, K_DIDEVICEINSTANCEA *info)
{
    std::snprintf(info->tszInstanceName, MAX_PATH, "%s", kDeviceNames[reinterpret_cast<FakeDevice *>(self)->index]);
    std::snprintf(info->tszProductName, MAX_PATH, "product");
    return K_DI_OK;
}
HRESULT STDMETHODCALLTYPE DeviceCreateEffect(K_IDirectInputDevice *, REFGUID guid, const K_DIEFFECT *params,
                                             K_IDirectInputEffect **out, IUnknown *)
{
    if (params->dwSize != sizeof(K_DIEFFECT) || params->cAxes != 2) {
        return E_INVALIDARG;
    }
    FakeEffect *effect = new FakeEffect{{&kEffectMethods}, IsEqualGUID(guid, K_GUID_Sine) ? "sine" : "constant"};
    *out = &effect->object;
    return K_DI_OK;
}
K_IDirectInputDeviceVtbl MakeDeviceMethods()
{
    K_IDirectInputDeviceVtbl methods = {};
    methods.Release = DeviceRelease;
    methods.SetProperty = DeviceSetProperty;
    methods.Acquire = DeviceNoteOk;
    methods.Unacquire = DeviceUnacquire;
    methods.SetDataFormat = DeviceSetDataFormat;
    methods.SetEventNotification = DeviceSetEvent;
    methods.SetCooperativeLevel = DeviceSetLevel;
    methods.GetDeviceInfo = DeviceGetInfo;
    methods.CreateEffect = DeviceCreateEffect;
    methods.Poll = DeviceNoteOk;
    return methods;
}
const K_IDirectInputDeviceVtbl kDeviceMethods = MakeDeviceMethods();

HRESULT STDMETHODCALLTYPE InputCreateDevice(K_IDirectInput8A *, REFGUID guid, K_IDirectInputDevice **out, IUnknown *)
{
    *out = &(new FakeDevice{{&kDeviceMethods}, static_cast<int>(guid.Data1)})->object;
    return K_DI_OK;
}
HRESULT STDMETHODCALLTYPE InputEnumDevices(K_IDirectInput8A *, DWORD deviceClass, K_LPDIENUMDEVICESCALLBACKA callback,
                                           void *context, DWORD flags)
{
    if (deviceClass != K_DIDEVCLASS_GAMECTRL || flags != K_DIEDFL_ATTACHEDONLY) {
        return E_INVALIDARG;
    }
    for (DWORD i = 0; i < 2; ++i) {
        K_DIDEVICEINSTANCEA instance = {};
        instance.dwSize = sizeof(instance);
        instance.guidInstance.Data1 = i;
        if (!callback(&instance, context)) {
            break;
        }
    }
    return K_DI_OK;
}
ULONG STDMETHODCALLTYPE InputRelease(K_IDirectInput8A *)
{
    return 0;
}
K_IDirectInput8AVtbl MakeInputMethods()
{
    K_IDirectInput8AVtbl methods = {};
    methods.Release = InputRelease;
    methods.CreateDevice = InputCreateDevice;
    methods.EnumDevices = InputEnumDevices;
    return methods;
}
const K_IDirectInput8AVtbl kInputMethods = MakeInputMethods();
K_IDirectInput8A FakeDirectInput = {&kInputMethods};

class JoypadsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = PlatformLibraries;
        PlatformLibraries.winmm.timeGetTime = FakeTimeGetTime;
        PlatformLibraries.winmm.joyGetDevCapsA = FakeJoyGetDevCaps;
        PlatformLibraries.winmm.joyGetPosEx = FakeJoyGetPosEx;
        Input = InputState{};
        InputDevices = InputDeviceHandles{};
        WindowState.active = 1;
        Calls.clear();
    }

    void TearDown() override
    {
        TermInputDevices();
        Input = InputState{};
        InputDevices = InputDeviceHandles{};
        PlatformLibraries = saved;
        WindowState.active = 0;
    }

    // DirectInput "in use" with the fake object and the XInput fakes.
    static void StartFakeDirectInput()
    {
        InputDevices.backend = kInputDirectInput;
        InputDevices.version8 = 1;
        InputDevices.directInput = &FakeDirectInput;
        InputDevices.XInputGetState = FakeXInputGetState;
        InputDevices.XInputSetState = FakeXInputSetState;
        FillDefaultJoypadKeyMap(Input.keyMap);
        ASSERT_EQ(SetupJoypads(), 0);
    }

    static int ReadMask(int padNumber)
    {
        ++FakeNow; // pads are read at most once per clock value
        return ReadJoypadInputMask(padNumber);
    }

    PlatformLibraryTable saved;
};

TEST_F(JoypadsTest, WinmmPadsAreCountedAndReadWithTheKeyMap)
{
    Input.settings.useWinmmJoysticks = 1;
    ASSERT_EQ(InitInputDevices(), 0);
    EXPECT_EQ(InputDevices.backend, kInputWinmm);
    ASSERT_EQ(Input.joypadCount, 2);
    EXPECT_EQ(Input.joypads[0].hasZAndR, 1);
    EXPECT_EQ(Input.joypads[1].hasZAndR, 0);
    EXPECT_EQ(Input.joypads[0].deadZone, kJoypadDefaultDeadZone);
    Input.joypadCount = 1;
    EXPECT_EQ(InitInputDevices(), 0);
    EXPECT_EQ(Input.joypadCount, 1) << "a second start while input runs does nothing";
    Input.joypadCount = 2;
    Input.keys[44] = 0x80; // Z: pad 1's first button key
    struct Case {
        int padNumber;
        int mask;
    } cases[] = {
        {1, 4 | (1 << 4)}, {2, 8 | (1 << 5)},          {3, 0},           {0, 0},           {0x1000 | 1, 4 | (1 << 4)},
        {0x1000, 1 << 4},  {0x1000 | 2, 8 | (1 << 5)}, {0x1000 | 17, 0}, {0x1000 | 99, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ReadMask(c.padNumber), c.mask) << std::hex << c.padNumber;
    }
    Input.keys[44] = 0;
    Input.keys[57] = 0x80;
    EXPECT_EQ(ReadMask(0x1000), 1 << 13) << "Space sets bit 13 without any pad";
}

TEST_F(JoypadsTest, AStartWhileStartingDoesNothing)
{
    Input.settings.useWinmmJoysticks = 1;
    Input.initialising = 1;
    EXPECT_EQ(InitInputDevices(), 0);
    EXPECT_EQ(InputDevices.backend, kInputNotStarted);
    EXPECT_EQ(Input.joypadCount, 0);
}

TEST_F(JoypadsTest, XInputControllersAreCountedOnceAndOtherControllersAreAdded)
{
    StartFakeDirectInput();
    ASSERT_EQ(Input.joypadCount, 3);
    EXPECT_EQ(Input.joypads[0].xinputUserIndex, 0);
    EXPECT_EQ(Input.joypads[1].xinputUserIndex, 2);
    EXPECT_EQ(Input.joypads[2].xinputUserIndex, -1);
    EXPECT_STREQ(Input.joypads[2].instanceName, "Fake Stick");
    EXPECT_EQ(Calls, (std::vector<std::string>{"device0 Release", "device1 SetEvent"}));
    EXPECT_EQ(ReadMask(1), 1);
    EXPECT_EQ(ReadMask(2), 1 << 5);
}

TEST_F(JoypadsTest, XInputMotorsFollowPowerAndStopWhenTimeRunsOut)
{
    StartFakeDirectInput();
    JoypadRecord &pad = Input.joypads[0];
    pad.vibrationOn = 1;
    pad.power = 10000;
    pad.durationMs = 50;
    pad.lastVibrationClock = FakeNow;
    ApplyJoypadVibrationStates();
    pad.power = 4000;
    ApplyJoypadVibrationStates();
    ApplyJoypadVibrationStates();
    FakeNow += 30;
    UpdateJoypadVibrationTimers();
    FakeNow += 30;
    UpdateJoypadVibrationTimers();
    EXPECT_EQ(Calls, (std::vector<std::string>{"device0 Release", "device1 SetEvent", "SetState 0 65535 65535",
                                               "SetState 0 65535 0", "SetState 0 0 0"}));
    EXPECT_EQ(pad.vibrationOn, 0);
}

TEST_F(JoypadsTest, DirectInputEffectsStartStopAndAreReleasedAtTheEnd)
{
    StartFakeDirectInput();
    Calls.clear();
    JoypadRecord &pad = Input.joypads[2];
    pad.vibrationOn = 1;
    pad.power = 8000;
    pad.durationMs = -1;
    ApplyJoypadVibrationStates();
    WindowState.active = 0;
    ApplyJoypadVibrationStates();
    WindowState.active = 1;
    ApplyJoypadVibrationStates();
    EXPECT_EQ(HaltJoypadVibration(3 | 0x1000), 0);
    EXPECT_EQ(EndJoypads(), 0);
    EXPECT_EQ(Calls, (std::vector<std::string>{
                         "constant Start",
                         "sine Start", // on
                         "constant Stop",
                         "sine Stop", // application inactive
                         "constant Start",
                         "sine Start", // active again
                         "constant Stop",
                         "sine Stop", // halted
                         "device1 Unacquire",
                         "device1 ClearEvent",
                         "constant Stop",
                         "constant Release",
                         "sine Stop",
                         "sine Release",
                         "device1 Release",
                     }));
    EXPECT_EQ(Input.joypadCount, 0);
}

} // namespace

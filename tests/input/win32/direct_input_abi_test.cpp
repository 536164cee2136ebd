// The library's own DirectInput and XInput declarations against the
// toolchain's: structure sizes and offsets, method slots, constants and GUIDs,
// checked by the compiler in every Windows build (32- and 64-bit).

// C-style interfaces (method tables as structures) and GUIDs defined here.
#define CINTERFACE
#define INITGUID
#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>
#include <dinput.h>
#include <xinput.h>

#include "input/input_state.h"
#include "input/win32/direct_input_abi.h"

#include <gtest/gtest.h>

#include <cstddef>

using namespace Korvo;

namespace {

#define SAME_SIZE(ours, theirs) static_assert(sizeof(ours) == sizeof(theirs), #ours)
#define SAME_FIELD(ours, theirs, field)                                                                                \
    static_assert(offsetof(ours, field) == offsetof(theirs, field), #ours "." #field)
#define SAME_AT(ours, ourField, theirs, theirField)                                                                    \
    static_assert(offsetof(ours, ourField) == offsetof(theirs, theirField), #ours "." #ourField)

// Structures
SAME_SIZE(K_DIOBJECTDATAFORMAT, DIOBJECTDATAFORMAT);
SAME_FIELD(K_DIOBJECTDATAFORMAT, DIOBJECTDATAFORMAT, dwFlags);
SAME_SIZE(K_DIDATAFORMAT, DIDATAFORMAT);
SAME_FIELD(K_DIDATAFORMAT, DIDATAFORMAT, dwNumObjs);
SAME_FIELD(K_DIDATAFORMAT, DIDATAFORMAT, rgodf);
SAME_SIZE(K_DIPROPHEADER, DIPROPHEADER);
SAME_SIZE(K_DIPROPDWORD, DIPROPDWORD);
SAME_SIZE(K_DIPROPRANGE, DIPROPRANGE);
SAME_FIELD(K_DIPROPRANGE, DIPROPRANGE, lMax);
SAME_SIZE(K_DIDEVICEINSTANCEA, DIDEVICEINSTANCEA);
SAME_FIELD(K_DIDEVICEINSTANCEA, DIDEVICEINSTANCEA, guidInstance);
SAME_FIELD(K_DIDEVICEINSTANCEA, DIDEVICEINSTANCEA, tszInstanceName);
SAME_FIELD(K_DIDEVICEINSTANCEA, DIDEVICEINSTANCEA, tszProductName);
SAME_FIELD(K_DIDEVICEINSTANCEA, DIDEVICEINSTANCEA, wUsage);
SAME_SIZE(K_DIMOUSESTATE2, DIMOUSESTATE2);
SAME_FIELD(K_DIMOUSESTATE2, DIMOUSESTATE2, rgbButtons);
SAME_SIZE(K_DIENVELOPE, DIENVELOPE);
SAME_SIZE(K_DIPERIODIC, DIPERIODIC);
SAME_SIZE(K_DICONSTANTFORCE, DICONSTANTFORCE);
SAME_SIZE(K_DIEFFECT, DIEFFECT);
SAME_FIELD(K_DIEFFECT, DIEFFECT, cAxes);
SAME_FIELD(K_DIEFFECT, DIEFFECT, rgdwAxes);
SAME_FIELD(K_DIEFFECT, DIEFFECT, lpEnvelope);
SAME_FIELD(K_DIEFFECT, DIEFFECT, lpvTypeSpecificParams);
SAME_FIELD(K_DIEFFECT, DIEFFECT, dwStartDelay);
SAME_SIZE(JoypadUnifiedState, DIJOYSTATE);
SAME_AT(JoypadUnifiedState, rz, DIJOYSTATE, lRz);
SAME_AT(JoypadUnifiedState, sliders, DIJOYSTATE, rglSlider);
SAME_AT(JoypadUnifiedState, pov, DIJOYSTATE, rgdwPOV);
SAME_AT(JoypadUnifiedState, buttons, DIJOYSTATE, rgbButtons);
SAME_SIZE(K_XINPUT_STATE, XINPUT_STATE);
SAME_FIELD(K_XINPUT_STATE, XINPUT_STATE, Gamepad);
SAME_SIZE(K_XINPUT_GAMEPAD, XINPUT_GAMEPAD);
SAME_FIELD(K_XINPUT_GAMEPAD, XINPUT_GAMEPAD, bRightTrigger);
SAME_FIELD(K_XINPUT_GAMEPAD, XINPUT_GAMEPAD, sThumbRY);
SAME_SIZE(K_XINPUT_VIBRATION, XINPUT_VIBRATION);
SAME_FIELD(K_XINPUT_VIBRATION, XINPUT_VIBRATION, wRightMotorSpeed);
static_assert(K_DIJOFS_RZ == DIJOFS_RZ && K_DIJOFS_Y == DIJOFS_Y);

// Method slots
#define SAME_SLOT(ours, theirs, method)                                                                                \
    static_assert(offsetof(ours, method) == offsetof(theirs, method), #theirs "::" #method)
SAME_SIZE(K_IDirectInput7AVtbl, IDirectInput7AVtbl);
SAME_SLOT(K_IDirectInput7AVtbl, IDirectInput7AVtbl, Release);
SAME_SLOT(K_IDirectInput7AVtbl, IDirectInput7AVtbl, EnumDevices);
SAME_SLOT(K_IDirectInput7AVtbl, IDirectInput7AVtbl, Initialize);
SAME_SLOT(K_IDirectInput7AVtbl, IDirectInput7AVtbl, CreateDeviceEx);
SAME_SIZE(K_IDirectInput8AVtbl, IDirectInput8AVtbl);
SAME_SLOT(K_IDirectInput8AVtbl, IDirectInput8AVtbl, CreateDevice);
SAME_SLOT(K_IDirectInput8AVtbl, IDirectInput8AVtbl, EnumDevices);
SAME_SLOT(K_IDirectInput8AVtbl, IDirectInput8AVtbl, Initialize);
SAME_SLOT(K_IDirectInput8AVtbl, IDirectInput8AVtbl, ConfigureDevices);
#define SAME_DEVICE_SLOT(method)                                                                                       \
    SAME_SLOT(K_IDirectInputDeviceVtbl, IDirectInputDevice7AVtbl, method);                                             \
    SAME_SLOT(K_IDirectInputDeviceVtbl, IDirectInputDevice8AVtbl, method)
SAME_DEVICE_SLOT(Release);
SAME_DEVICE_SLOT(SetProperty);
SAME_DEVICE_SLOT(Acquire);
SAME_DEVICE_SLOT(Unacquire);
SAME_DEVICE_SLOT(GetDeviceState);
SAME_DEVICE_SLOT(SetDataFormat);
SAME_DEVICE_SLOT(SetEventNotification);
SAME_DEVICE_SLOT(SetCooperativeLevel);
SAME_DEVICE_SLOT(GetDeviceInfo);
SAME_DEVICE_SLOT(CreateEffect);
SAME_DEVICE_SLOT(Poll);
SAME_DEVICE_SLOT(SendDeviceData);
SAME_SLOT(K_IDirectInputEffectVtbl, IDirectInputEffectVtbl, Start);
SAME_SLOT(K_IDirectInputEffectVtbl, IDirectInputEffectVtbl, Stop);
SAME_SIZE(K_IDirectInputEffectVtbl, IDirectInputEffectVtbl);

// Constants
static_assert(K_DISCL_EXCLUSIVE == DISCL_EXCLUSIVE && K_DISCL_NONEXCLUSIVE == DISCL_NONEXCLUSIVE &&
              K_DISCL_FOREGROUND == DISCL_FOREGROUND && K_DISCL_BACKGROUND == DISCL_BACKGROUND);
static_assert(K_DIDF_ABSAXIS == DIDF_ABSAXIS && K_DIDF_RELAXIS == DIDF_RELAXIS);
static_assert(K_DIDFT_AXIS == DIDFT_AXIS && K_DIDFT_BUTTON == DIDFT_BUTTON && K_DIDFT_POV == DIDFT_POV &&
              K_DIDFT_ANYINSTANCE == DIDFT_ANYINSTANCE && K_DIDFT_OPTIONAL == DIDFT_OPTIONAL &&
              K_DIDOI_ASPECTPOSITION == DIDOI_ASPECTPOSITION);
static_assert(K_DIPH_DEVICE == DIPH_DEVICE && K_DIPH_BYOFFSET == DIPH_BYOFFSET &&
              K_DIEDFL_ATTACHEDONLY == DIEDFL_ATTACHEDONLY);
static_assert(K_DIDEVCLASS_GAMECTRL == DI8DEVCLASS_GAMECTRL && K_DIDEVCLASS_GAMECTRL == DIDEVTYPE_JOYSTICK);
static_assert(K_DIEFF_OBJECTOFFSETS == DIEFF_OBJECTOFFSETS && K_DIEFF_CARTESIAN == DIEFF_CARTESIAN &&
              K_DIEFF_POLAR == DIEFF_POLAR && K_DIEB_NOTRIGGER == DIEB_NOTRIGGER);
static_assert(K_DI_OK == DI_OK && K_DI_POLLEDDEVICE == DI_POLLEDDEVICE && K_DI_FFNOMINALMAX == DI_FFNOMINALMAX);
static_assert(K_XINPUT_GAMEPAD_DPAD_UP == XINPUT_GAMEPAD_DPAD_UP &&
              K_XINPUT_GAMEPAD_DPAD_RIGHT == XINPUT_GAMEPAD_DPAD_RIGHT &&
              K_XINPUT_GAMEPAD_BACK == XINPUT_GAMEPAD_BACK &&
              K_XINPUT_GAMEPAD_RIGHT_THUMB == XINPUT_GAMEPAD_RIGHT_THUMB &&
              K_XINPUT_GAMEPAD_RIGHT_SHOULDER == XINPUT_GAMEPAD_RIGHT_SHOULDER &&
              K_XINPUT_GAMEPAD_A == XINPUT_GAMEPAD_A && K_XINPUT_GAMEPAD_Y == XINPUT_GAMEPAD_Y);

TEST(DirectInputAbiTest, IdentifiersMatchTheToolchains)
{
    struct Case {
        const GUID &ours;
        const GUID &theirs;
        const char *name;
    } cases[] = {
        {K_CLSID_DirectInput, CLSID_DirectInput, "CLSID_DirectInput"},
        {K_CLSID_DirectInput8, CLSID_DirectInput8, "CLSID_DirectInput8"},
        {K_IID_IDirectInput7A, IID_IDirectInput7A, "IID_IDirectInput7A"},
        {K_IID_IDirectInput8A, IID_IDirectInput8A, "IID_IDirectInput8A"},
        {K_IID_IDirectInputDevice7A, IID_IDirectInputDevice7A, "IID_IDirectInputDevice7A"},
        {K_GUID_SysMouse, GUID_SysMouse, "GUID_SysMouse"},
        {K_GUID_SysKeyboard, GUID_SysKeyboard, "GUID_SysKeyboard"},
        {K_GUID_XAxis, GUID_XAxis, "GUID_XAxis"},
        {K_GUID_YAxis, GUID_YAxis, "GUID_YAxis"},
        {K_GUID_ZAxis, GUID_ZAxis, "GUID_ZAxis"},
        {K_GUID_RxAxis, GUID_RxAxis, "GUID_RxAxis"},
        {K_GUID_RyAxis, GUID_RyAxis, "GUID_RyAxis"},
        {K_GUID_RzAxis, GUID_RzAxis, "GUID_RzAxis"},
        {K_GUID_Slider, GUID_Slider, "GUID_Slider"},
        {K_GUID_POV, GUID_POV, "GUID_POV"},
        {K_GUID_Key, GUID_Key, "GUID_Key"},
        {K_GUID_ConstantForce, GUID_ConstantForce, "GUID_ConstantForce"},
        {K_GUID_Sine, GUID_Sine, "GUID_Sine"},
    };
    for (const Case &c : cases) {
        EXPECT_TRUE(IsEqualGUID(c.ours, c.theirs)) << c.name;
    }
    EXPECT_EQ(K_MakeDiProp(K_DIPROP_BUFFERSIZE), &DIPROP_BUFFERSIZE);
    EXPECT_EQ(K_MakeDiProp(K_DIPROP_RANGE), &DIPROP_RANGE);
    EXPECT_EQ(K_MakeDiProp(K_DIPROP_DEADZONE), &DIPROP_DEADZONE);
}

TEST(DirectInputAbiTest, DataFormatsDescribeTheirStateLayouts)
{
    struct Case {
        const K_DIDATAFORMAT &format;
        DWORD dataSize;
        DWORD objects;
        DWORD flags;
    } cases[] = {
        {K_c_dfDIKeyboard, 256, 256, DIDF_RELAXIS},
        {K_c_dfDIMouse2, sizeof(DIMOUSESTATE2), 11, DIDF_RELAXIS},
        {K_c_dfDIJoystick, sizeof(DIJOYSTATE), 44, DIDF_ABSAXIS},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.format.dwSize, sizeof(DIDATAFORMAT));
        EXPECT_EQ(c.format.dwObjSize, sizeof(DIOBJECTDATAFORMAT));
        EXPECT_EQ(c.format.dwDataSize, c.dataSize);
        EXPECT_EQ(c.format.dwNumObjs, c.objects);
        EXPECT_EQ(c.format.dwFlags, c.flags);
        for (DWORD i = 0; i < c.format.dwNumObjs; ++i) {
            EXPECT_LT(c.format.rgodf[i].dwOfs, c.dataSize) << "object " << i;
        }
    }
    EXPECT_EQ(K_c_dfDIKeyboard.rgodf[200].dwOfs, 200u);
    EXPECT_EQ(K_c_dfDIKeyboard.rgodf[200].dwType, DIDFT_BUTTON | DIDFT_OPTIONAL | DIDFT_MAKEINSTANCE(200));
    EXPECT_EQ(K_c_dfDIJoystick.rgodf[43].dwOfs, static_cast<DWORD>(DIJOFS_BUTTON(31)));
}

} // namespace

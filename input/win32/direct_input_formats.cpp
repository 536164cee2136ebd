// DirectInput identifiers and the three device data formats the library sets.

#include "input/win32/direct_input_abi.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

const GUID K_CLSID_DirectInput = {0x25E609E0, 0xB259, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID K_CLSID_DirectInput8 = {0x25E609E4, 0xB259, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID K_IID_IDirectInput7A = {0x9A4CB684, 0x236D, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
const GUID K_IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const GUID K_IID_IDirectInputDevice7A = {0x57D7C6BC, 0x2356, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
const GUID K_GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID K_GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID K_GUID_XAxis = {0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID K_GUID_YAxis = {0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID K_GUID_ZAxis = {0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID K_GUID_RxAxis = {0xA36D02F4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID K_GUID_RyAxis = {0xA36D02F5, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID K_GUID_RzAxis = {0xA36D02E3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID K_GUID_Slider = {0xA36D02E4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID K_GUID_POV = {0xA36D02F2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID K_GUID_Key = {0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID K_GUID_ConstantForce = {0x13541C20, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID K_GUID_Sine = {0x13541C23, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

constexpr DWORD MakeInstanceType(DWORD instance) { return instance << 8; }

struct KeyboardObjects {
    K_DIOBJECTDATAFORMAT objects[256];
};

static constexpr KeyboardObjects MakeKeyboardObjects()
{
    KeyboardObjects table = {};
    for (DWORD key = 0; key < 256; ++key) {
        table.objects[key] = {&K_GUID_Key, key, K_DIDFT_BUTTON | K_DIDFT_OPTIONAL | MakeInstanceType(key), 0};
    }
    return table;
}

struct JoystickObjects {
    K_DIOBJECTDATAFORMAT objects[44];
};

static constexpr JoystickObjects MakeJoystickObjects()
{
    const DWORD axis = K_DIDFT_AXIS | K_DIDFT_ANYINSTANCE | K_DIDFT_OPTIONAL;
    const GUID *axes[] = {&K_GUID_XAxis,  &K_GUID_YAxis,  &K_GUID_ZAxis, &K_GUID_RxAxis,
                          &K_GUID_RyAxis, &K_GUID_RzAxis, &K_GUID_Slider, &K_GUID_Slider};
    JoystickObjects table = {};
    int n = 0;
    for (DWORD i = 0; i < 8; ++i) {
        table.objects[n++] = {axes[i], i * 4, axis, K_DIDOI_ASPECTPOSITION};
    }
    for (DWORD i = 0; i < 4; ++i) {
        table.objects[n++] = {&K_GUID_POV, 32 + i * 4, K_DIDFT_POV | K_DIDFT_ANYINSTANCE | K_DIDFT_OPTIONAL, 0};
    }
    for (DWORD i = 0; i < 32; ++i) {
        table.objects[n++] = {nullptr, 48 + i, K_DIDFT_BUTTON | K_DIDFT_ANYINSTANCE | K_DIDFT_OPTIONAL, 0};
    }
    return table;
}

// Built at compile time: the library runs no static initialiser.
static constexpr KeyboardObjects KeyboardFormatObjects = MakeKeyboardObjects();
static constexpr JoystickObjects JoystickFormatObjects = MakeJoystickObjects();

static constexpr K_DIOBJECTDATAFORMAT MouseFormatObjects[] = {
    {&K_GUID_XAxis, 0, K_DIDFT_AXIS | K_DIDFT_ANYINSTANCE, 0},
    {&K_GUID_YAxis, 4, K_DIDFT_AXIS | K_DIDFT_ANYINSTANCE, 0},
    {&K_GUID_ZAxis, 8, K_DIDFT_AXIS | K_DIDFT_ANYINSTANCE | K_DIDFT_OPTIONAL, 0},
    {nullptr, 12, K_DIDFT_BUTTON | K_DIDFT_ANYINSTANCE, 0},
    {nullptr, 13, K_DIDFT_BUTTON | K_DIDFT_ANYINSTANCE, 0},
    {nullptr, 14, K_DIDFT_BUTTON | K_DIDFT_ANYINSTANCE | K_DIDFT_OPTIONAL, 0},
    {nullptr, 15, K_DIDFT_BUTTON | K_DIDFT_ANYINSTANCE | K_DIDFT_OPTIONAL, 0},
    {nullptr, 16, K_DIDFT_BUTTON | K_DIDFT_ANYINSTANCE | K_DIDFT_OPTIONAL, 0},
    {nullptr, 17, K_DIDFT_BUTTON | K_DIDFT_ANYINSTANCE | K_DIDFT_OPTIONAL, 0},
    {nullptr, 18, K_DIDFT_BUTTON | K_DIDFT_ANYINSTANCE | K_DIDFT_OPTIONAL, 0},
    {nullptr, 19, K_DIDFT_BUTTON | K_DIDFT_ANYINSTANCE | K_DIDFT_OPTIONAL, 0},
};

// ---------------------------------------------------------------------------
// Public data
// ---------------------------------------------------------------------------

const K_DIDATAFORMAT K_c_dfDIKeyboard = {sizeof(K_DIDATAFORMAT), sizeof(K_DIOBJECTDATAFORMAT), K_DIDF_RELAXIS, 256,
                                         256, KeyboardFormatObjects.objects};
const K_DIDATAFORMAT K_c_dfDIMouse2 = {sizeof(K_DIDATAFORMAT), sizeof(K_DIOBJECTDATAFORMAT), K_DIDF_RELAXIS,
                                       sizeof(K_DIMOUSESTATE2), 11, MouseFormatObjects};
const K_DIDATAFORMAT K_c_dfDIJoystick = {sizeof(K_DIDATAFORMAT), sizeof(K_DIOBJECTDATAFORMAT), K_DIDF_ABSAXIS, 80, 44,
                                         JoystickFormatObjects.objects};

} // namespace Korvo

// The library's own copies of the DirectInput 7 and 8 interfaces and structures
// it uses, declared from the documented binary interface (C-style method
// tables, so that tests can compare slots and fakes can fill them).
#pragma once

#include <windows.h>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr DWORD K_DIRECTINPUT7_VERSION = 0x0700;
constexpr DWORD K_DIRECTINPUT8_VERSION = 0x0800;

constexpr HRESULT K_DI_OK = 0;
constexpr HRESULT K_DI_POLLEDDEVICE = 2;

constexpr DWORD K_DISCL_EXCLUSIVE = 0x01;
constexpr DWORD K_DISCL_NONEXCLUSIVE = 0x02;
constexpr DWORD K_DISCL_FOREGROUND = 0x04;
constexpr DWORD K_DISCL_BACKGROUND = 0x08;

constexpr DWORD K_DIDF_ABSAXIS = 0x01;
constexpr DWORD K_DIDF_RELAXIS = 0x02;

constexpr DWORD K_DIDFT_AXIS = 0x00000003;
constexpr DWORD K_DIDFT_BUTTON = 0x0000000C;
constexpr DWORD K_DIDFT_POV = 0x00000010;
constexpr DWORD K_DIDFT_ANYINSTANCE = 0x00FFFF00;
constexpr DWORD K_DIDFT_OPTIONAL = 0x80000000;
constexpr DWORD K_DIDOI_ASPECTPOSITION = 0x00000100;

constexpr DWORD K_DIPH_DEVICE = 0;
constexpr DWORD K_DIPH_BYOFFSET = 1;
constexpr DWORD K_DIEDFL_ATTACHEDONLY = 0x01;
constexpr DWORD K_DIDEVCLASS_GAMECTRL = 4; // DIDEVTYPE_JOYSTICK of version 7 is the same value

constexpr DWORD K_DIEFF_OBJECTOFFSETS = 0x02;
constexpr DWORD K_DIEFF_CARTESIAN = 0x10;
constexpr DWORD K_DIEFF_POLAR = 0x20;
constexpr DWORD K_DIEB_NOTRIGGER = 0xFFFFFFFF;
constexpr DWORD K_DI_FFNOMINALMAX = 10000;

// Properties are named by small integers cast to a GUID pointer.
inline const GUID *K_MakeDiProp(UINT_PTR id)
{
    return reinterpret_cast<const GUID *>(id);
}
constexpr UINT_PTR K_DIPROP_BUFFERSIZE = 1;
constexpr UINT_PTR K_DIPROP_RANGE = 4;
constexpr UINT_PTR K_DIPROP_DEADZONE = 5;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct K_DIOBJECTDATAFORMAT {
    const GUID *pguid;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
};

struct K_DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    const K_DIOBJECTDATAFORMAT *rgodf;
};

struct K_DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};

struct K_DIPROPDWORD {
    K_DIPROPHEADER diph;
    DWORD dwData;
};

struct K_DIPROPRANGE {
    K_DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};

struct K_DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    CHAR tszInstanceName[MAX_PATH];
    CHAR tszProductName[MAX_PATH];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
};

struct K_DIMOUSESTATE2 {
    LONG lX;
    LONG lY;
    LONG lZ;
    BYTE rgbButtons[8];
};

struct K_DIENVELOPE {
    DWORD dwSize;
    DWORD dwAttackLevel;
    DWORD dwAttackTime;
    DWORD dwFadeLevel;
    DWORD dwFadeTime;
};

struct K_DICONSTANTFORCE {
    LONG lMagnitude;
};

struct K_DIPERIODIC {
    DWORD dwMagnitude;
    LONG lOffset;
    DWORD dwPhase;
    DWORD dwPeriod;
};

struct K_DIEFFECT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDuration;
    DWORD dwSamplePeriod;
    DWORD dwGain;
    DWORD dwTriggerButton;
    DWORD dwTriggerRepeatInterval;
    DWORD cAxes;
    DWORD *rgdwAxes;
    LONG *rglDirection;
    K_DIENVELOPE *lpEnvelope;
    DWORD cbTypeSpecificParams;
    void *lpvTypeSpecificParams;
    DWORD dwStartDelay;
};

typedef BOOL(CALLBACK *K_LPDIENUMDEVICESCALLBACKA)(const K_DIDEVICEINSTANCEA *instance, void *context);

struct K_IDirectInputEffect;
struct K_IDirectInputEffectVtbl {
    HRESULT(STDMETHODCALLTYPE *QueryInterface)(K_IDirectInputEffect *self, REFIID iid, void **out);
    ULONG(STDMETHODCALLTYPE *AddRef)(K_IDirectInputEffect *self);
    ULONG(STDMETHODCALLTYPE *Release)(K_IDirectInputEffect *self);
    void *Initialize;
    void *GetEffectGuid;
    void *GetParameters;
    void *SetParameters;
    HRESULT(STDMETHODCALLTYPE *Start)(K_IDirectInputEffect *self, DWORD iterations, DWORD flags);
    HRESULT(STDMETHODCALLTYPE *Stop)(K_IDirectInputEffect *self);
    void *GetEffectStatus;
    void *Download;
    void *Unload;
    void *Escape;
};
struct K_IDirectInputEffect {
    const K_IDirectInputEffectVtbl *lpVtbl;
};

// The device methods of versions 7 and 8 share their first 27 slots, all this library calls.
struct K_IDirectInputDevice;
struct K_IDirectInputDeviceVtbl {
    HRESULT(STDMETHODCALLTYPE *QueryInterface)(K_IDirectInputDevice *self, REFIID iid, void **out);
    ULONG(STDMETHODCALLTYPE *AddRef)(K_IDirectInputDevice *self);
    ULONG(STDMETHODCALLTYPE *Release)(K_IDirectInputDevice *self);
    void *GetCapabilities;
    void *EnumObjects;
    void *GetProperty;
    HRESULT(STDMETHODCALLTYPE *SetProperty)
    (K_IDirectInputDevice *self, const GUID *property, const K_DIPROPHEADER *header);
    HRESULT(STDMETHODCALLTYPE *Acquire)(K_IDirectInputDevice *self);
    HRESULT(STDMETHODCALLTYPE *Unacquire)(K_IDirectInputDevice *self);
    HRESULT(STDMETHODCALLTYPE *GetDeviceState)(K_IDirectInputDevice *self, DWORD size, void *data);
    void *GetDeviceData;
    HRESULT(STDMETHODCALLTYPE *SetDataFormat)(K_IDirectInputDevice *self, const K_DIDATAFORMAT *format);
    HRESULT(STDMETHODCALLTYPE *SetEventNotification)(K_IDirectInputDevice *self, HANDLE event);
    HRESULT(STDMETHODCALLTYPE *SetCooperativeLevel)(K_IDirectInputDevice *self, HWND window, DWORD flags);
    void *GetObjectInfo;
    HRESULT(STDMETHODCALLTYPE *GetDeviceInfo)(K_IDirectInputDevice *self, K_DIDEVICEINSTANCEA *instance);
    void *RunControlPanel;
    void *Initialize;
    HRESULT(STDMETHODCALLTYPE *CreateEffect)
    (K_IDirectInputDevice *self, REFGUID effect, const K_DIEFFECT *params, K_IDirectInputEffect **out, IUnknown *outer);
    void *EnumEffects;
    void *GetEffectInfo;
    void *GetForceFeedbackState;
    void *SendForceFeedbackCommand;
    void *EnumCreatedEffectObjects;
    void *Escape;
    HRESULT(STDMETHODCALLTYPE *Poll)(K_IDirectInputDevice *self);
    void *SendDeviceData;
};
struct K_IDirectInputDevice {
    const K_IDirectInputDeviceVtbl *lpVtbl;
};

// Version 7: CreateDeviceEx makes a version-7 device.
struct K_IDirectInput7A;
struct K_IDirectInput7AVtbl {
    HRESULT(STDMETHODCALLTYPE *QueryInterface)(K_IDirectInput7A *self, REFIID iid, void **out);
    ULONG(STDMETHODCALLTYPE *AddRef)(K_IDirectInput7A *self);
    ULONG(STDMETHODCALLTYPE *Release)(K_IDirectInput7A *self);
    void *CreateDevice;
    HRESULT(STDMETHODCALLTYPE *EnumDevices)
    (K_IDirectInput7A *self, DWORD deviceType, K_LPDIENUMDEVICESCALLBACKA callback, void *context, DWORD flags);
    void *GetDeviceStatus;
    void *RunControlPanel;
    HRESULT(STDMETHODCALLTYPE *Initialize)(K_IDirectInput7A *self, HINSTANCE instance, DWORD version);
    void *FindDevice;
    HRESULT(STDMETHODCALLTYPE *CreateDeviceEx)
    (K_IDirectInput7A *self, REFGUID device, REFIID iid, void **out, IUnknown *outer);
};
struct K_IDirectInput7A {
    const K_IDirectInput7AVtbl *lpVtbl;
};

struct K_IDirectInput8A;
struct K_IDirectInput8AVtbl {
    HRESULT(STDMETHODCALLTYPE *QueryInterface)(K_IDirectInput8A *self, REFIID iid, void **out);
    ULONG(STDMETHODCALLTYPE *AddRef)(K_IDirectInput8A *self);
    ULONG(STDMETHODCALLTYPE *Release)(K_IDirectInput8A *self);
    HRESULT(STDMETHODCALLTYPE *CreateDevice)
    (K_IDirectInput8A *self, REFGUID device, K_IDirectInputDevice **out, IUnknown *outer);
    HRESULT(STDMETHODCALLTYPE *EnumDevices)
    (K_IDirectInput8A *self, DWORD deviceClass, K_LPDIENUMDEVICESCALLBACKA callback, void *context, DWORD flags);
    void *GetDeviceStatus;
    void *RunControlPanel;
    HRESULT(STDMETHODCALLTYPE *Initialize)(K_IDirectInput8A *self, HINSTANCE instance, DWORD version);
    void *FindDevice;
    void *EnumDevicesBySemantics;
    void *ConfigureDevices;
};
struct K_IDirectInput8A {
    const K_IDirectInput8AVtbl *lpVtbl;
};

// ---------------------------------------------------------------------------
// Identifiers and data formats (direct_input_formats.cpp)
// ---------------------------------------------------------------------------

extern const GUID K_CLSID_DirectInput;
extern const GUID K_CLSID_DirectInput8;
extern const GUID K_IID_IDirectInput7A;
extern const GUID K_IID_IDirectInput8A;
extern const GUID K_IID_IDirectInputDevice7A;
extern const GUID K_GUID_SysMouse;
extern const GUID K_GUID_SysKeyboard;
extern const GUID K_GUID_XAxis;
extern const GUID K_GUID_YAxis;
extern const GUID K_GUID_ZAxis;
extern const GUID K_GUID_RxAxis;
extern const GUID K_GUID_RyAxis;
extern const GUID K_GUID_RzAxis;
extern const GUID K_GUID_Slider;
extern const GUID K_GUID_POV;
extern const GUID K_GUID_Key;
extern const GUID K_GUID_ConstantForce;
extern const GUID K_GUID_Sine;

// The keyboard's 256 keys, the mouse's three axes and eight buttons, the
// joystick's DIJOYSTATE.
extern const K_DIDATAFORMAT K_c_dfDIKeyboard;
extern const K_DIDATAFORMAT K_c_dfDIMouse2;
extern const K_DIDATAFORMAT K_c_dfDIJoystick;

// Offsets of the joystick axes in DIJOYSTATE.
constexpr DWORD K_DIJOFS_X = 0;
constexpr DWORD K_DIJOFS_Y = 4;
constexpr DWORD K_DIJOFS_Z = 8;
constexpr DWORD K_DIJOFS_RX = 12;
constexpr DWORD K_DIJOFS_RY = 16;
constexpr DWORD K_DIJOFS_RZ = 20;

} // namespace Korvo

// Start and end of input: XInput, DirectInput 7 (else 8) with the keyboard and
// mouse devices, or the WinMM joysticks when DirectInput cannot be had; and
// re-acquiring the devices when the window's activation changes.

#include "input/win32/input_devices.h"

#include "core/threads/clock.h"
#include "core/log/error_log.h"
#include "core/log/fatal_error.h"
#include "core/public_api.h"
#include "core/system/window_state.h"
#include "core/system/message_pump_hooks.h"
#include "core/system/platform_libraries.h"
#include "core/system/win32/app_window.h"
#include "input/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr DWORD kKeyboardBufferSize = 100;
static const char *const kXInputLibraryNames[] = {"xinput1_4.dll", "xinput1_3.dll", "xinput9_1_0.dll"};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

InputDeviceHandles InputDevices;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static K_IDirectInput7A *DirectInput7()
{
    return static_cast<K_IDirectInput7A *>(InputDevices.directInput);
}
static K_IDirectInput8A *DirectInput8()
{
    return static_cast<K_IDirectInput8A *>(InputDevices.directInput);
}

static void ReleaseDirectInputObject()
{
    if (InputDevices.directInput == nullptr) {
        return;
    }
    if (InputDevices.version8 != 0) {
        DirectInput8()->lpVtbl->Release(DirectInput8());
    } else {
        DirectInput7()->lpVtbl->Release(DirectInput7());
    }
    InputDevices.directInput = nullptr;
}

static void ReleaseDevice(K_IDirectInputDevice **device)
{
    if (*device != nullptr) {
        (*device)->lpVtbl->Unacquire(*device);
        (*device)->lpVtbl->Release(*device);
        *device = nullptr;
    }
}

// Keyboard, mouse, pads and the DirectInput object, in reverse order of making.
static void ReleaseDirectInputDevices()
{
    EndJoypads();
    ReleaseDevice(&InputDevices.keyboard);
    if (InputDevices.keyboardEvent != nullptr) {
        CloseHandle(InputDevices.keyboardEvent);
        InputDevices.keyboardEvent = nullptr;
    }
    ReleaseDevice(&InputDevices.mouse);
    ReleaseDirectInputObject();
}

[[noreturn]] static void FailDeviceSetup(const char *message)
{
    ReleaseDirectInputDevices();
    AbortWithFatalError(message);
}

static void LoadXInputLibrary()
{
    AppendLogText("XInput DLL の読み込み中... ");
    for (const char *name : kXInputLibraryNames) {
        HMODULE library = LoadLibraryA(name);
        if (library != nullptr) {
            AppendLogText("成功\n");
            // The library's device thread may still run for a moment after the
            // last FreeLibrary (seen under Wine); unloading its code under it
            // crashes the process. The library stays mapped until the process ends.
            HMODULE pinned = nullptr;
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, name, &pinned);
            InputDevices.xinputLibrary = library;
            InputDevices.XInputGetState = reinterpret_cast<XInputGetStateEntry>(
                reinterpret_cast<void *>(GetProcAddress(library, "XInputGetState")));
            InputDevices.XInputSetState = reinterpret_cast<XInputSetStateEntry>(
                reinterpret_cast<void *>(GetProcAddress(library, "XInputSetState")));
            return;
        }
    }
    AppendLogText("失敗、XInputは使用しません\n");
}

static void ReleaseXInputLibrary()
{
    if (InputDevices.xinputLibrary != nullptr) {
        FreeLibrary(InputDevices.xinputLibrary);
    }
    InputDevices.xinputLibrary = nullptr;
    InputDevices.XInputGetState = nullptr;
    InputDevices.XInputSetState = nullptr;
}

static HRESULT CreateComObject(const GUID &classId, const GUID &interfaceId, void **out)
{
    *out = nullptr;
    if (PlatformLibraries.ole32.CoCreateInstance == nullptr) {
        return E_NOINTERFACE;
    }
    return PlatformLibraries.ole32.CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, interfaceId, out);
}

// DirectInput 7 first, then 8; true when one of them is ready.
static bool OpenDirectInput()
{
    AppendLogText("DirectInput7 の取得中... ");
    void *object = nullptr;
    HRESULT result = CreateComObject(K_CLSID_DirectInput, K_IID_IDirectInput7A, &object);
    if (FAILED(result)) {
        AppendLogText("取得に失敗。\n");
        AppendLogLineFormat("エラーコード 0x%x", static_cast<unsigned>(result));
    } else {
        AppendLogText("成功\n");
        IncreaseLogIndent();
        AppendLogText("引き続き初期化処理... ");
        K_IDirectInput7A *input7 = static_cast<K_IDirectInput7A *>(object);
        if (SUCCEEDED(input7->lpVtbl->Initialize(input7, GetModuleHandleA(nullptr), K_DIRECTINPUT7_VERSION))) {
            AppendLogText("初期化成功\n");
            InputDevices.directInput = input7;
            InputDevices.version8 = 0;
            return true;
        }
        AppendLogText("初期化に失敗。");
        input7->lpVtbl->Release(input7);
        DecreaseLogIndent();
    }

    AppendLogText("DirectInput8 の取得を試みます...");
    result = CreateComObject(K_CLSID_DirectInput8, K_IID_IDirectInput8A, &object);
    if (FAILED(result)) {
        AppendLogText("取得に失敗。");
        return false;
    }
    AppendLogText("成功\n");
    IncreaseLogIndent();
    AppendLogText("引き続き初期化処理... ");
    K_IDirectInput8A *input8 = static_cast<K_IDirectInput8A *>(object);
    if (SUCCEEDED(input8->lpVtbl->Initialize(input8, GetModuleHandleA(nullptr), K_DIRECTINPUT8_VERSION))) {
        AppendLogText("初期化成功\n");
        InputDevices.directInput = input8;
        InputDevices.version8 = 1;
        return true;
    }
    AppendLogText("初期化に失敗。");
    input8->lpVtbl->Release(input8);
    DecreaseLogIndent();
    return false;
}

static void SetUpMouse()
{
    AppendLogText("マウスデバイスの初期化... ");
    if (FAILED(CreateDirectInputDevice(K_GUID_SysMouse, &InputDevices.mouse))) {
        FailDeviceSetup("マウスデバイスの取得に失敗しました");
    }
    K_IDirectInputDevice *mouse = InputDevices.mouse;
    if (FAILED(mouse->lpVtbl->SetDataFormat(mouse, &K_c_dfDIMouse2))) {
        FailDeviceSetup("マウスデバイスのデータ形式の設定に失敗しました");
    }
    if (FAILED(mouse->lpVtbl->SetCooperativeLevel(mouse, GetAppWindowHandle(), kCooperativeBackground))) {
        FailDeviceSetup("マウスデバイスの協調レベルの設定に失敗しました");
    }
    AppendLogText("初期化成功\n");
}

// 0, or -1 when the keyboard's event cannot be set up.
static int SetUpKeyboard()
{
    AppendLogText("キーボードデバイスの初期化... ");
    if (FAILED(CreateDirectInputDevice(K_GUID_SysKeyboard, &InputDevices.keyboard))) {
        FailDeviceSetup("キーボードデバイスの取得に失敗しました");
    }
    K_IDirectInputDevice *keyboard = InputDevices.keyboard;
    if (FAILED(keyboard->lpVtbl->SetDataFormat(keyboard, &K_c_dfDIKeyboard))) {
        FailDeviceSetup("キーボードデバイスのデータ形式の設定に失敗しました");
    }
    if (FAILED(keyboard->lpVtbl->SetCooperativeLevel(keyboard, GetAppWindowHandle(), kCooperativeBackground))) {
        FailDeviceSetup("キーボードデバイスの協調レベルの設定に失敗しました");
    }
    K_DIPROPDWORD bufferSize = {{sizeof(K_DIPROPDWORD), sizeof(K_DIPROPHEADER), 0, K_DIPH_DEVICE}, kKeyboardBufferSize};
    if (FAILED(keyboard->lpVtbl->SetProperty(keyboard, K_MakeDiProp(K_DIPROP_BUFFERSIZE), &bufferSize.diph))) {
        AppendLogText("キーボードのプロパティ設定に失敗しました\n");
    }
    InputDevices.keyboardEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT notified = InputDevices.keyboardEvent == nullptr
                           ? E_FAIL
                           : keyboard->lpVtbl->SetEventNotification(keyboard, InputDevices.keyboardEvent);
    if (notified != K_DI_OK && notified != K_DI_POLLEDDEVICE) {
        AppendLogText("キーボードイベントのセットアップが失敗しました\n");
        // Nothing made so far may outlive a start-up that reports failure.
        ReleaseDirectInputDevices();
        return -1;
    }
    if (FAILED(keyboard->lpVtbl->Acquire(keyboard)) && FAILED(keyboard->lpVtbl->Acquire(keyboard))) {
        FailDeviceSetup("キーボードデバイスの取得に失敗しました");
    }
    AppendLogText("初期化成功\n");
    Input.lastKeyboardClock = static_cast<uint32_t>(GetMillisecondClock());
    return 0;
}

static void CountWinmmJoypads()
{
    IncreaseLogIndent();
    int count = 0;
    while (count < kJoypadCapacity && PlatformLibraries.winmm.joyGetDevCapsA != nullptr) {
        JOYCAPSA caps = {};
        if (PlatformLibraries.winmm.joyGetDevCapsA(static_cast<UINT_PTR>(count), &caps, sizeof(caps)) !=
            JOYERR_NOERROR) {
            break;
        }
        JoypadRecord &pad = Input.joypads[count];
        pad.xinputUserIndex = -1;
        pad.hasZAndR = (caps.wCaps & JOYCAPS_HASZ) != 0 && (caps.wCaps & JOYCAPS_HASR) != 0 ? 1 : 0;
        pad.deadZone = kJoypadDefaultDeadZone;
        ++count;
    }
    Input.joypadCount = count;
    AppendLogLineFormat("パッドの数は %d 個です", count);
    DecreaseLogIndent();
    InputDevices.backend = kInputWinmm;
    AppendLogText("入力関連の初期化をしました\n");
}

// Input start-up after the input state was cleared; 0 or -1.
static int StartInputDevices()
{
    if (Input.settings.useWinmmJoysticks == 0) {
        AppendLogText("DirectInput関係初期化処理\n");
        IncreaseLogIndent();
        LoadXInputLibrary();
        if (OpenDirectInput()) {
            DecreaseLogIndent();
            InputDevices.backend = kInputDirectInput;
            // The window's own log lines of this pass are not part of input's
            // start-up. The window may close in it; devices cannot be bound to
            // a window that is gone, and the program is ending anyway.
            DecreaseLogIndent();
            int pumped = PumpMessagesOnce();
            IncreaseLogIndent();
            if (pumped != 0) {
                DecreaseLogIndent();
                ReleaseDirectInputDevices();
                InputDevices.backend = kInputNotStarted;
                return 0;
            }
            SetupJoypads();
            SetUpMouse();
            if (Input.settings.noDirectInputKeyboard == 0 && SetUpKeyboard() == -1) {
                InputDevices.backend = kInputNotStarted;
                DecreaseLogIndent();
                return -1;
            }
            DecreaseLogIndent();
            AppendLogText("DirectInput 関連の初期化は正常に終了しました\n");
            return 0;
        }
        AppendLogText("DirectInput を使用しません。\n");
        DecreaseLogIndent();
        Input.settings.useWinmmJoysticks = 1;
    }
    CountWinmmJoypads();
    return 0;
}

// ---------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------

// Create a device of the DirectInput object in use; the HRESULT
HRESULT CreateDirectInputDevice(REFGUID device, K_IDirectInputDevice **out)
{
    *out = nullptr;
    if (InputDevices.directInput == nullptr) {
        return E_FAIL;
    }
    if (InputDevices.version8 != 0) {
        return DirectInput8()->lpVtbl->CreateDevice(DirectInput8(), device, out, nullptr);
    }
    return DirectInput7()->lpVtbl->CreateDeviceEx(DirectInput7(), device, K_IID_IDirectInputDevice7A,
                                                  reinterpret_cast<void **>(out), nullptr);
}

// Wait while inactive, then start input if needed
bool PrepareInputQuery(int *result)
{
    if (GetAppActiveState() == 0) {
        WaitWhileAppInactive();
    }
    if (InputDevices.backend != kInputNotStarted) {
        return true;
    }
    *result = GetForcedCloseFlag() != 0 ? 0 : InitInputDevices();
    return false;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Start keyboard, mouse and joypad input; 0 or -1
int InitInputDevices()
{
    if (InputDevices.backend != kInputNotStarted || Input.initialising != 0) {
        return 0;
    }
    ResetInputStateKeepingSettings();
    InputDevices = InputDeviceHandles{};
    Input.initialising = 1;
    int result = StartInputDevices();
    if (InputDevices.backend == kInputNotStarted) {
        ReleaseXInputLibrary();
    }
    if (result == 0 && Input.settings.keyMapInitialised == 0) {
        FillDefaultJoypadKeyMap(Input.keyMap);
        Input.settings.keyMapInitialised = 1;
    }
    Input.initialising = 0;
    return result;
}

// End every input device; 0
int TermInputDevices()
{
    if (InputDevices.backend == kInputNotStarted) {
        return 0;
    }
    if (InputDevices.backend == kInputWinmm) {
        AppendLogText("入力関連の終了処理... 完了\n");
    } else {
        AppendLogText("DirectInput 関連の終了処理... 完了\n");
        ReleaseDirectInputDevices();
    }
    InputDevices.backend = kInputNotStarted;
    ReleaseXInputLibrary();
    return 0;
}

// Re-acquire joypads and keyboard for the new activation state; 0
int ReacquireInputDevices()
{
    if (InputDevices.backend != kInputDirectInput) {
        return 0;
    }
    DWORD level = GetAppActiveState() != 0 ? kCooperativeActive : kCooperativeBackground;
    for (int i = 0; i < Input.joypadCount; ++i) {
        K_IDirectInputDevice *device = static_cast<K_IDirectInputDevice *>(Input.joypads[i].device);
        if (Input.joypads[i].xinputUserIndex == -1 && device != nullptr) {
            device->lpVtbl->Unacquire(device);
            device->lpVtbl->SetCooperativeLevel(device, GetAppWindowHandle(), level);
            device->lpVtbl->Acquire(device);
        }
    }
    if (InputDevices.keyboard != nullptr) {
        InputDevices.keyboard->lpVtbl->Unacquire(InputDevices.keyboard);
        InputDevices.keyboard->lpVtbl->Acquire(InputDevices.keyboard);
    }
    return 0;
}

} // namespace Korvo

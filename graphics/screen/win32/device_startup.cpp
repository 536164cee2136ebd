// Starting and ending DirectX: Direct3D 9 library, DirectDraw 7 object,
// Direct3D object and device (two attempts), Z buffer, and the road to software
// drawing when the Direct3D path cannot be set up.

#include "graphics/screen/device_startup.h"

#include "core/public_api.h"
#include "core/log/error_log.h"
#include "core/system/window_state.h"
#include "core/system/platform_libraries.h"
#include "core/system/win32/app_window.h"
#include "graphics/shading/builtin_shader_objects.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/device_rebuild_hooks.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"
#include "graphics/draw/value_max_volume.h"
#include "graphics/graphs/graph_image_set.h"
#include "graphics/device/graphics_state.h"
#include "graphics/screen/screen_modes.h"
#include "graphics/device/screen_request.h"
#include "graphics/state/vertex_declarations.h"
#include "graphics/device/shell_services.h"
#include "graphics/device/win32/d3d_objects.h"
#include "graphics/screen/win32/frame_latency.h"
#include "softraster/draw_state.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr UINT kD3DSdkVersion = 32;
constexpr DWORD kCreateSoftwareVertexProcessing = 0x20;
constexpr DWORD kCreateMixedVertexProcessing = 0x80;
constexpr DWORD kCreateMultithreaded = 0x4;
constexpr DWORD kCreateFpuPreserve = 0x2;
constexpr UINT kSwapEffectDiscard = 1;
constexpr UINT kSwapEffectCopy = 3;
constexpr DWORD kPresentFlagLockableBackBuffer = 1;
constexpr UINT kPresentIntervalOne = 1;
constexpr UINT kPresentIntervalImmediate = 0x80000000u;
constexpr UINT kScanLineProgressive = 1;
constexpr int kWindowsVista = 0x108;

typedef K_IDirect3D9 *(WINAPI *Direct3DCreate9Entry)(UINT sdkVersion);
typedef HRESULT(WINAPI *Direct3DCreate9ExEntry)(UINT sdkVersion, K_IDirect3D9Ex **out);

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

template <typename T>
static void ReleaseObject(T *&object)
{
    if (object != nullptr) {
        D3DRes_Release(object);
        object = nullptr;
    }
}

static bool IsVistaOrLater()
{
    return GetWindowsVersionCode() >= kWindowsVista;
}

static bool IsDoubledOrEmulated()
{
    return DoubledScreenModeFlag != 0 || Window640x480RequestFlag != 0;
}

static int LoadDirect3D9Library()
{
    if (D3DObjects.d3d9Module == nullptr) {
        D3DObjects.d3d9Module = LoadLibraryA("d3d9.dll");
        if (D3DObjects.d3d9Module == nullptr) {
            return AppendLogText("d3d9.dll の読み込みに失敗しました\n");
        }
    }
    return 0;
}

static void FreeDirect3D9Library()
{
    if (D3DObjects.d3d9Module != nullptr) {
        FreeLibrary(D3DObjects.d3d9Module);
        D3DObjects.d3d9Module = nullptr;
        AppendLogText("Direct3D9 DLL の解放 1\n");
    }
}

static void CloseDirectDrawObject()
{
    ReleaseObject(D3DObjects.directDraw);
}

static int OpenDirectDrawObject()
{
    CloseDirectDrawObject();
    AppendLogText("DirectDraw オブジェクトの取得を行います....");
    void *object = nullptr;
    if (PlatformLibraries.ole32.CoCreateInstance == nullptr ||
        PlatformLibraries.ole32.CoCreateInstance(K_CLSID_DirectDraw7, nullptr, CLSCTX_ALL, K_IID_IDirectDraw7,
                                                 &object) < 0 ||
        object == nullptr) {
        return AppendLogText("オブジェクトの取得に失敗しました\n");
    }
    D3DObjects.directDraw = static_cast<K_IDirectDraw7 *>(object);
    AppendLogText("成功\n");
    AppendLogText("引き続き初期化処理...");
    K_IDirectDraw7 *draw = D3DObjects.directDraw;
    if (draw->lpVtbl->Initialize(draw, nullptr) < 0) {
        CloseDirectDrawObject();
        return AppendLogText("DirectDrawオブジェクトの初期化に失敗しました\n");
    }
    AppendLogText("初期化に成功しました\n");
    // The object only waits for the vertical blank, which needs no window; the
    // normal level allows none. Bound to the main window, the platform's
    // DirectDraw keeps a presentation chain of its own on that window, which
    // fights the Direct3D swap chain's copy presents: every present then
    // exposes and repaints the whole window (about 100 ms a frame).
    DWORD level = K_DDSCL_NORMAL | (DeviceSettings.fpuPreserve != 0 ? K_DDSCL_FPUPRESERVE : 0);
    draw->lpVtbl->SetCooperativeLevel(draw, nullptr, level);
    if (DeviceSettings.desktopComposition == 2) {
        ShellSetDesktopComposition(0);
    }
    return 0;
}

static void ReleaseDirect3DObject()
{
    if (D3DObjects.d3d != nullptr) {
        D3DRes_Release(D3DObjects.d3d);
    }
    D3DObjects.d3d = nullptr;
    D3DObjects.d3dEx = nullptr;
}

// The Ex object unless an Ex device failed before, else the plain one
static int CreateDirect3DObject()
{
    ReleaseDirect3DObject();
    if (DeviceSettings.exDisabled == 0) {
        AppendLogText("IDirect3D9Ex オブジェクトを取得します....");
        auto createEx =
            reinterpret_cast<Direct3DCreate9ExEntry>(reinterpret_cast<void *>(GetProcAddress(D3DObjects.d3d9Module, "Direct3DCreate9Ex")));
        K_IDirect3D9Ex *object = nullptr;
        if (createEx != nullptr && createEx(kD3DSdkVersion, &object) >= 0 && object != nullptr) {
            D3DObjects.d3dEx = object;
            D3DObjects.d3d = reinterpret_cast<K_IDirect3D9 *>(object);
            AppendLogText("成功\n");
            return 0;
        }
    }
    AppendLogText("IDirect3D9 オブジェクトを取得します....");
    auto create = reinterpret_cast<Direct3DCreate9Entry>(reinterpret_cast<void *>(GetProcAddress(D3DObjects.d3d9Module, "Direct3DCreate9")));
    if (create == nullptr) {
        return AppendLogText("Direct3DCreate9 APIのアドレス取得に失敗しました\n");
    }
    D3DObjects.d3d = create(kD3DSdkVersion);
    if (D3DObjects.d3d == nullptr) {
        return AppendLogText("IDirect3D9 オブジェクトの取得に失敗しました\n");
    }
    AppendLogText("成功\n");
    return 0;
}

// Back-buffer format of a full-screen depth; 0 for an unsupported depth
static K_D3DFORMAT FormatForDepth(int bits)
{
    K_IDirect3D9 *d3d = D3DObjects.d3d;
    if (bits == 16) {
        UINT modes = d3d->lpVtbl->GetAdapterModeCount(d3d, GetSelectedAdapter(), K_D3DFMT_R5G6B5);
        return modes > 0 ? static_cast<K_D3DFORMAT>(K_D3DFMT_R5G6B5) : static_cast<K_D3DFORMAT>(K_D3DFMT_X1R5G5B5);
    }
    return bits == 32 ? static_cast<K_D3DFORMAT>(K_D3DFMT_X8R8G8B8) : 0u;
}

// One device attempt through the Ex or the plain object
static HRESULT TryCreateDevice(DWORD behaviour, K_D3DPRESENT_PARAMETERS *parameters, K_D3DDISPLAYMODEEX *mode)
{
    HWND window = GetRenderWindowHandle();
    K_IDirect3DDevice9 *device = nullptr;
    HRESULT result;
    if (D3DObjects.d3dEx != nullptr) {
        AppendLogText("IDirect3DDevice9Ex オブジェクトを取得します....");
        K_IDirect3D9Ex *ex = D3DObjects.d3dEx;
        result = ex->lpVtbl->CreateDeviceEx(ex, GetSelectedAdapter(), K_D3DDEVTYPE_HAL, window, behaviour,
                                            parameters, mode, &device);
        if (result >= 0 && device != nullptr) {
            // The frame queue is kept to one frame by the present itself
            // (frame_latency.cpp), which waits by sleeping.
            D3DObjects.deviceEx = reinterpret_cast<K_IDirect3DDevice9Ex *>(device);
        }
    } else {
        AppendLogText("IDirect3DDevice9 オブジェクトを取得します....");
        K_IDirect3D9 *d3d = D3DObjects.d3d;
        result = d3d->lpVtbl->CreateDevice(d3d, GetSelectedAdapter(), K_D3DDEVTYPE_HAL, window, behaviour,
                                           parameters, &device);
    }
    if (result >= 0 && device != nullptr) {
        D3DObjects.device = device;
        ForgetDeviceLostState();
        return 0;
    }
    return result < 0 ? result : E_FAIL;
}

static K_D3DCOLOR BackgroundColour()
{
    return (static_cast<K_D3DCOLOR>(GraphicsState.backgroundRed) << 16) |
           (static_cast<K_D3DCOLOR>(GraphicsState.backgroundGreen) << 8) |
           static_cast<K_D3DCOLOR>(GraphicsState.backgroundBlue);
}

static void ReleaseZBuffer()
{
    ReleaseObject(D3DObjects.zBuffer);
    ScreenDepthSurface = nullptr;
}

static int NextPowerOfTwo(int value)
{
    int power = 1;
    while (power < value) {
        power <<= 1;
    }
    return power;
}

static int CreateZBufferSurface()
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    ReleaseZBuffer();
    AppendLogText("Ｚバッファを作成します....");
    int width = DeviceSettings.zBufferWidth;
    int height = DeviceSettings.zBufferHeight;
    if (width == 0 || height == 0) {
        width = NextPowerOfTwo(GraphicsState.mainWidth);
        height = NextPowerOfTwo(GraphicsState.mainHeight);
    }
    K_IDirect3DSurface9 *surface = nullptr;
    if (D3DDev_CreateDepthStencilSurface(static_cast<UINT>(width), static_cast<UINT>(height),
                                         TextureFormatSlots[FORMAT_SLOT_ZBUFFER],
                                         static_cast<UINT>(DeviceSettings.multiSampleType),
                                         static_cast<DWORD>(DeviceSettings.multiSampleQuality), TRUE, &surface) < 0 ||
        surface == nullptr) {
        return AppendLogText("Ｚバッファの作成に失敗しました\n");
    }
    D3DObjects.zBuffer = surface;
    D3DObjects.zBufferWidth = width;
    D3DObjects.zBufferHeight = height;
    ScreenDepthSurface = surface;
    D3DDev_SetDepthStencilSurface(surface);
    D3DDev_Clear(0, nullptr, K_D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    AppendLogText("成功\n");
    return 0;
}

// The screens draw into a surface of the library's own, copied onto the back
// buffer at each present: the back screen then survives presents, repaints and
// read-backs whatever the swap chain does with its back buffer (some drivers
// keep nothing of it under the copy swap effect). Without one, drawing goes to
// the back buffer itself.
static void CreateScreenDrawSurface()
{
    if (AllocSubBackBuffer() == 0) {
        D3DDev_ColorFill(ScreenSubBackBuffer, nullptr, BackgroundColour());
    }
}

static void ReleaseDeviceSurfaces()
{
    ReleaseScreenReadCopies();
    ReleaseZBuffer();
    ReleaseObject(ScreenSubBackBuffer);
    ForgetRenderTargetSurfaces();
    ReleaseObject(D3DObjects.backBuffer);
    ScreenTargetSurface = nullptr;
    ReleaseValueMaxVolumeTexture();
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The device for the current mode, in two attempts
int CreateDirect3DDevice()
{
    K_D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = static_cast<UINT>(GraphicsState.mainWidth);
    parameters.BackBufferHeight = static_cast<UINT>(GraphicsState.mainHeight);
    parameters.BackBufferCount = 1;
    K_D3DDISPLAYMODEEX mode = {};
    K_D3DDISPLAYMODEEX *fullScreenMode = nullptr;
    bool multiSampled = DeviceSettings.multiSampleType != 0;
    UINT swapEffect = multiSampled ? kSwapEffectDiscard : kSwapEffectCopy;
    if (GetWindowedModeState() != 0) {
        K_D3DDISPLAYMODE desktop = {};
        D3DObjects.d3d->lpVtbl->GetAdapterDisplayMode(D3DObjects.d3d, GetSelectedAdapter(), &desktop);
        parameters.BackBufferFormat = desktop.Format;
        parameters.Windowed = TRUE;
        parameters.SwapEffect = swapEffect;
        if (desktop.Format == K_D3DFMT_X8R8G8B8) {
            GraphicsState.bitsPerPixel = 32;
            SetMemImgDefaultScreenKind(1);
        } else if (desktop.Format == K_D3DFMT_R5G6B5 || desktop.Format == K_D3DFMT_X1R5G5B5 ||
                   desktop.Format == K_D3DFMT_A1R5G5B5) {
            GraphicsState.bitsPerPixel = 16;
            SetMemImgDefaultScreenKind(0);
        }
        if (DeviceSettings.desktopComposition != 2) {
            ShellSetDesktopComposition(1);
        }
    } else {
        K_D3DFORMAT format = FormatForDepth(GraphicsState.bitsPerPixel);
        if (format == 0) {
            return AppendLogText("非対応のバックバッファービット深度が指定されました\n");
        }
        parameters.BackBufferFormat = format;
        parameters.SwapEffect = swapEffect;
        if (IsVistaOrLater() && IsDoubledOrEmulated()) {
            parameters.Windowed = TRUE;
        } else {
            parameters.Windowed = FALSE;
            parameters.FullScreen_RefreshRateInHz = static_cast<UINT>(GraphicsState.refreshRate);
            mode = K_D3DDISPLAYMODEEX{24, parameters.BackBufferWidth, parameters.BackBufferHeight,
                                      parameters.FullScreen_RefreshRateInHz, format, kScanLineProgressive};
            fullScreenMode = &mode;
            if (DeviceSettings.desktopComposition != 1) {
                ShellSetDesktopComposition(0);
                if (PlatformLibraries.dwmapi.DwmEnableComposition != nullptr) {
                    AppendLogText("Desktop Window Manager を無効にしました\n");
                }
            }
        }
    }
    if (!multiSampled) {
        DeviceSettings.multiSampleQuality = 0;
    }
    parameters.MultiSampleType = static_cast<UINT>(DeviceSettings.multiSampleType);
    parameters.MultiSampleQuality = static_cast<DWORD>(DeviceSettings.multiSampleQuality);
    parameters.Flags = multiSampled ? 0 : kPresentFlagLockableBackBuffer;
    parameters.hDeviceWindow = GetRenderWindowHandle();
    parameters.PresentationInterval = Draw.noVerticalSync != 0 ? kPresentIntervalImmediate : kPresentIntervalOne;
    DWORD extraFlags = (DeviceSettings.multithreaded != 0 ? kCreateMultithreaded : 0) |
                       (DeviceSettings.fpuPreserve != 0 ? kCreateFpuPreserve : 0);

    bool created = false;
    if (DeviceSettings.forceSoftwareVertexProcessing != 1) {
        K_D3DCAPS9 caps = {};
        D3D_GetDeviceCaps(GetSelectedAdapter(), K_D3DDEVTYPE_HAL, &caps);
        DeviceSettings.shaderCapable =
            (caps.VertexShaderVersion & 0xFFFF) >= 0x200 && (caps.PixelShaderVersion & 0xFFFF) >= 0x200 ? 1 : 0;
        DeviceSettings.vertexShaderVersion = static_cast<int>(caps.VertexShaderVersion);
        DWORD behaviour = (DeviceSettings.shaderCapable != 0 ? kCreateMixedVertexProcessing
                                                             : kCreateSoftwareVertexProcessing) |
                          extraFlags;
        if (TryCreateDevice(behaviour, &parameters, fullScreenMode) == 0) {
            AppendLogText("ハードウエア頂点演算を使用します\n");
            created = true;
        }
    }
    if (!created) {
        DeviceSettings.shaderCapable = 0;
        if (TryCreateDevice(kCreateSoftwareVertexProcessing | extraFlags, &parameters, fullScreenMode) != 0) {
            if (D3DObjects.d3dEx != nullptr) {
                DeviceSettings.exDisabled = 1;
                AppendLogText("Direct3DDevice9Ex の作成に失敗しました\n");
                return -2;
            }
            return AppendLogText("Direct3DDevice9 の作成に失敗しました\n");
        }
        AppendLogText("ソフトウエア頂点演算を使用します\n");
    }

    D3DDev_SetRenderState(K_D3DRS_ZENABLE, 1);
    HWND window = GetRenderWindowHandle();
    for (int i = 0; i < 3; ++i) {
        D3DDev_Clear(0, nullptr, K_D3DCLEAR_TARGET, BackgroundColour(), 1.0f, 0);
        D3DObjects.device->lpVtbl->Present(D3DObjects.device, nullptr, nullptr, window, nullptr);
    }
    D3DDev_Clear(0, nullptr, K_D3DCLEAR_TARGET, BackgroundColour(), 1.0f, 0);
    D3DObjects.device->lpVtbl->GetSwapChain(D3DObjects.device, 0, &D3DObjects.swapChain);
    return 0;
}

void ReleaseDirect3DDevice()
{
    ReleaseFrameEndQuery();
    ReleaseObject(D3DObjects.swapChain);
    if (D3DObjects.device != nullptr) {
        D3DRes_Release(D3DObjects.device);
        D3DObjects.device = nullptr;
        D3DObjects.deviceEx = nullptr;
        ForgetDeviceLostState();
        AppendLogText("Direct3DDevice9 の解放 2\n");
    }
}

void *GetDirectDraw7Object()
{
    return D3DObjects.directDraw;
}

// Direct3D when it can be set up, else the software road
int StartDirectXSystem()
{
    if (LoadDirect3D9Library() != 0) {
        return -1;
    }
    if (OpenDirectDrawObject() != 0) {
        FreeDirect3D9Library();
        return -1;
    }
    GraphicsState.direct3DModeActive = 0;
    if (GraphicsState.softwareOnlyRequest == 0) {
        bool skipDevice = false;
        if (GetWindowedModeState() == 0 && IsVistaOrLater() && IsDoubledOrEmulated()) {
            skipDevice = ChangeDisplayModeForScreen() != 0;
        }
        if (!skipDevice && CreateDirect3DObject() == 0 && SelectDeviceFormats() == 0 && CreateZBufferSurface() == 0) {
            GraphicsState.direct3DModeActive = 1;
            CreateScreenDrawSurface();
            CreateBuiltinShaderObjects();
            if (GraphicsState.programmableShader != 0) {
                CreateVertexDeclarations();
                BuildValueMaxVolumeTexture();
            }
        }
        if (GraphicsState.direct3DModeActive != 0) {
            return 0;
        }
        ReleaseDeviceSurfaces();
        ReleaseDirect3DDevice();
        StateCache.sceneOpen = 0;
        ReleaseDirect3DObject();
    }
    if (GetWindowedModeState() == 0 && ChangeDisplayModeForScreen() != 0) {
        return -1;
    }
    MeasureVerticalBlankPeriod();
    return 0;
}

int EndDirectXSystem()
{
    // Models and the like hold buffers of this device.
    RunDeviceReleaseHooks();
    if (GraphicsState.direct3DModeActive == 0 || (IsVistaOrLater() && IsDoubledOrEmulated())) {
        if (GetWindowedModeState() == 0) {
            ChangeDisplaySettingsA(nullptr, 0);
        }
    }
    ReleaseAllSystemMemoryTextures();
    ReleaseVertexDeclarations();
    ReleaseBuiltinShaderObjects();
    ReleaseDeviceSurfaces();
    ReleaseDirect3DDevice();
    StateCache.sceneOpen = 0;
    ReleaseDirect3DObject();
    CloseDirectDrawObject();
    FreeDirect3D9Library();
    FreeDisplayModeList();
    return 0;
}

} // namespace Korvo

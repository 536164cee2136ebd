// SelectDeviceFormats: the device (with its chain of fallback modes), the
// capabilities the drawing code needs, the format slots, and the choice of how
// the screen is read back.

#include "graphics/screen/device_startup.h"

#include "core/public_api.h"
#include "core/threads/clock.h"
#include "core/log/error_log.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/format_slots.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/screen_request.h"
#include "graphics/device/win32/d3d_objects.h"
#include "softraster/draw_state.h"

#include <cstring>
#include <initializer_list>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int ShaderVersionOf(DWORD version)
{
    return static_cast<int>(version & 0xFFFF);
}

static void ReadCapabilities()
{
    K_D3DCAPS9 caps = {};
    D3DDev_GetDeviceCaps(&caps);
    DeviceCaps.renderTargetCount = caps.NumSimultaneousRTs > 16 ? 16 : static_cast<int>(caps.NumSimultaneousRTs);
    DeviceCaps.tempRegister = (caps.PrimitiveMiscCaps & K_D3DPMISCCAPS_TSSARGTEMP) != 0 ? 1 : 0;
    DeviceCaps.blendOp = (caps.PrimitiveMiscCaps & K_D3DPMISCCAPS_BLENDOP) != 0 ? 1 : 0;
    bool shaders = DeviceSettings.forceSoftwareVertexProcessing != 1;
    DeviceSettings.vertexShader2 = shaders && ShaderVersionOf(caps.VertexShaderVersion) >= 0x200 ? 1 : 0;
    DeviceSettings.pixelShader2 = shaders && ShaderVersionOf(caps.PixelShaderVersion) >= 0x200 ? 1 : 0;
    DeviceCaps.nonPow2Conditional = (caps.TextureCaps & K_D3DPTEXTURECAPS_NONPOW2CONDITIONAL) != 0 ? 1 : 0;
    DeviceCaps.pow2Only = (caps.TextureCaps & K_D3DPTEXTURECAPS_POW2) != 0 ? 1 : 0;
    DeviceCaps.squareOnly = (caps.TextureCaps & K_D3DPTEXTURECAPS_SQUAREONLY) != 0 ? 1 : 0;
    DeviceCaps.maxTextureWidth = caps.MaxTextureWidth != 0 ? static_cast<int>(caps.MaxTextureWidth) : 256;
    DeviceCaps.maxTextureHeight = caps.MaxTextureHeight != 0 ? static_cast<int>(caps.MaxTextureHeight) : 256;
    DeviceCaps.maxTextureSize = DeviceCaps.maxTextureWidth < DeviceCaps.maxTextureHeight ? DeviceCaps.maxTextureWidth
                                                                                         : DeviceCaps.maxTextureHeight;
    DeviceCaps.maxPrimitiveCount = static_cast<int>(caps.MaxPrimitiveCount);
    DeviceCaps.maxVertexIndex = static_cast<int>(caps.MaxVertexIndex);
    // 255 matches no setting, so the next material-source setting is sent.
    StateCache.diffuseMaterialSource = 255;
    StateCache.specularMaterialSource = 255;
    StateCache.drawStateDirty = 1;
}

static void LogLimits()
{
    K_D3DCAPS9 caps = {};
    D3DDev_GetDeviceCaps(&caps);
    AppendLogLineFormat("一度に描画できるプリミティブの最大数:%d", DeviceCaps.maxPrimitiveCount);
    AppendLogLineFormat("対応している最大頂点インデックス:%d", DeviceCaps.maxVertexIndex);
    AppendLogLineFormat("同時にレンダリングできるバッファの数:%d", DeviceCaps.renderTargetCount);
    AppendLogLineFormat("最大テクスチャサイズ　幅:%d 高さ:%d", DeviceCaps.maxTextureWidth, DeviceCaps.maxTextureHeight);
    AppendLogLineFormat("テクスチャステージテンポラリレジスタ：%s", DeviceCaps.tempRegister != 0 ? "使用可" : "使用不可");
    AppendLogLineFormat("減算合成のハードウェア対応：%s", DeviceCaps.blendOp != 0 ? "ネイティブ" : "エミュレート");
    if (DeviceSettings.shaderCapable != 0) {
        AppendLogLineFormat("ハードウェア頂点シェーダーバージョンコード：%x", DeviceSettings.vertexShaderVersion);
        AppendLogLineFormat("エミュレーション頂点シェーダーバージョンコード：エミュレーション無し");
    } else {
        AppendLogLineFormat("ハードウェア頂点シェーダーバージョンコード：%x", DeviceSettings.vertexShaderVersion);
        AppendLogLineFormat("エミュレーション頂点シェーダーバージョンコード：%x", static_cast<unsigned>(caps.VertexShaderVersion));
    }
    AppendLogLineFormat("ピクセルシェーダーバージョンコード：%x", static_cast<unsigned>(caps.PixelShaderVersion));
}

// Copy g rows of g pixels from a locked surface (the copy is the work being timed).
static void CopyLockedRows(const K_D3DLOCKED_RECT &from, const K_D3DLOCKED_RECT &to, int rowBytes, int rows)
{
    for (int y = 0; y < rows; ++y) {
        std::memcpy(static_cast<char *>(to.pBits) + y * to.Pitch, static_cast<const char *>(from.pBits) + y * from.Pitch,
                    static_cast<size_t>(rowBytes));
    }
}

// The surfaces the two ways of reading the screen are timed on: a lockable and
// a plain render target of the screen format (the screens' surface as it is made
// for either way), and the system-memory copy the plain one is read into.
struct ScreenReadTrial {
    K_IDirect3DSurface9 *lockable = nullptr;
    K_IDirect3DSurface9 *plain = nullptr;
    K_IDirect3DSurface9 *system = nullptr;
};

// One pass of both reads of g x g pixels, as LockDrawScreenBuffer makes them;
// times in microseconds, or -1 for a read that failed.
static void TimeScreenReads(const ScreenReadTrial &trial, int g, int64_t *lockTime, int64_t *copyTime)
{
    K_D3DFORMAT format = DeviceCaps.backBufferFormat;
    int rowBytes = g * (format == K_D3DFMT_X8R8G8B8 || format == K_D3DFMT_A8R8G8B8 ? 4 : 2);
    static unsigned char scratch[256 * 256 * 4];
    K_D3DLOCKED_RECT to = {};
    to.pBits = scratch;
    to.Pitch = rowBytes;
    K_D3DLOCKED_RECT from = {};
    *lockTime = -1;
    *copyTime = -1;

    // Fresh pixels on the device before each read, so that the read has to fetch them.
    if (trial.lockable != nullptr && D3DDev_ColorFill(trial.lockable, nullptr, 0x00808080) >= 0) {
        uint64_t start = GetMicrosecondClock();
        if (D3DSurf_LockRect(trial.lockable, &from, nullptr, K_D3DLOCK_READONLY) >= 0) {
            CopyLockedRows(from, to, rowBytes, g);
            D3DSurf_UnlockRect(trial.lockable);
            *lockTime = static_cast<int64_t>(GetMicrosecondClock() - start);
        }
    }
    if (trial.plain != nullptr && trial.system != nullptr &&
        D3DDev_ColorFill(trial.plain, nullptr, 0x00808080) >= 0) {
        uint64_t start = GetMicrosecondClock();
        if (D3DDev_GetRenderTargetData(trial.plain, trial.system) >= 0 &&
            D3DSurf_LockRect(trial.system, &from, nullptr, K_D3DLOCK_READONLY) >= 0) {
            CopyLockedRows(from, to, rowBytes, g);
            D3DSurf_UnlockRect(trial.system);
            *copyTime = static_cast<int64_t>(GetMicrosecondClock() - start);
        }
    }
}

// Time both ways of reading the whole screen and keep the faster: locking makes
// the screens' surface lockable and whole reads lock it; otherwise they go
// through the kept system-memory copy. Smaller reads copy their rectangle
// whichever wins (a lock of a few pixels costs about what a whole lock does).
static void ChooseBackBufferReading()
{
    UINT g = 256;
    while (g > 1 && (GraphicsState.mainWidth < static_cast<int>(g) || GraphicsState.mainHeight < static_cast<int>(g))) {
        g /= 2;
    }
    K_D3DFORMAT format = DeviceCaps.backBufferFormat;
    ScreenReadTrial trial;
    if (D3DDev_CreateRenderTarget(g, g, format, 0, 0, TRUE, &trial.lockable) < 0) {
        trial.lockable = nullptr;
    }
    if (D3DDev_CreateRenderTarget(g, g, format, 0, 0, FALSE, &trial.plain) < 0) {
        trial.plain = nullptr;
    }
    if (D3DDev_CreateOffscreenPlainSurface(g, g, format, K_D3DPOOL_SYSTEMMEM, &trial.system) < 0) {
        trial.system = nullptr;
    }
    int64_t lockTime = -1;
    int64_t copyTime = -1;
    for (int pass = 0; pass < 3; ++pass) {
        TimeScreenReads(trial, static_cast<int>(g), &lockTime, &copyTime);
    }
    for (K_IDirect3DSurface9 *surface : {trial.lockable, trial.plain, trial.system}) {
        if (surface != nullptr) {
            D3DRes_Release(surface);
        }
    }
    DeviceCaps.backBufferLock = 0;
    if (lockTime < 0 || copyTime < 0) {
        AppendLogText("バックバッファロックはロックできません\n");
        return;
    }
    AppendLogLineFormat("バックバッファロック転送の時間:%dnsec  一時的な描画可能バッファを使用した転送の時間:%dnsec",
                        static_cast<int>(lockTime), static_cast<int>(copyTime));
    if (lockTime < copyTime) {
        DeviceCaps.backBufferLock = 1;
        AppendLogText("バックバッファロックを使用します\n");
    } else {
        AppendLogText("バックバッファロックを使用しません\n");
    }
}

// The device in the requested mode, else 32 bits, else 800x600, else 1024x768.
static int CreateDeviceWithFallbacks()
{
    if (CreateDirect3DDevice() == 0) {
        return 0;
    }
    StoreScreenDepth(32);
    if (CreateDirect3DDevice() == 0) {
        return 0;
    }
    StoreMainScreenSize(800, 600);
    if (CreateDirect3DDevice() == 0) {
        return 0;
    }
    StoreMainScreenSize(1024, 768);
    return CreateDirect3DDevice() == 0 ? 0 : -1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int SelectDeviceFormats()
{
    if (D3D_HasObject() == 0) {
        return -1;
    }
    ReleaseDirect3DDevice();
    StateCache.sceneOpen = 0;
    if (GetShaderModelLevel() < 200) {
        DeviceSettings.multiSampleType = 0;
        DeviceSettings.multiSampleQuality = 0;
    }
    if (CreateDeviceWithFallbacks() != 0) {
        return -1;
    }
    MeasureVerticalBlankPeriod();
    StateCache.vertexShader = nullptr;
    StateCache.pixelShader = nullptr;
    StateCache.vertexDeclaration = nullptr;
    StateCache.fvf = 0;
    D3DDev_GetBackBuffer(0, 0, &D3DObjects.backBuffer);
    ScreenTargetSurface = D3DObjects.backBuffer;
    AppendLogText("成功\n");
    ReadCapabilities();

    K_D3DADAPTER_IDENTIFIER9 identifier = {};
    D3D_GetAdapterIdentifier(GetSelectedAdapter(), 0, &identifier);
    AppendLogLineFormat("Driver:%s  Description:%s", identifier.Driver, identifier.Description);

    K_D3DSURFACE_DESC desc = {};
    D3DSurf_GetDesc(D3DObjects.backBuffer, &desc);
    DeviceCaps.backBufferFormat = desc.Format;
    if (desc.Format != K_D3DFMT_X8R8G8B8 && desc.Format != K_D3DFMT_R5G6B5 && desc.Format != K_D3DFMT_X1R5G5B5) {
        AppendLogLineFormat("バックバッファが対応していないフォーマット %d です", static_cast<int>(desc.Format));
    }
    AppendLogLineFormat("画面のフォーマットは %s です",
                        GetD3DFormatName(desc.Format) != nullptr ? GetD3DFormatName(desc.Format) : "?");
    int screenBits = desc.Format == K_D3DFMT_X8R8G8B8 ? 32 : 16;
    if (FillFormatSlots(desc.Format, screenBits) != 0) {
        return -1;
    }
    LogLimits();
    ChooseBackBufferReading();
    return 0;
}

} // namespace Korvo

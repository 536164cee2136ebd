// SelectDeviceFormats: the device (with its chain of fallback modes), the
// capabilities the drawing code needs, the format slots, and the choice of how
// the back buffer is read.

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

// One pass of both ways of reading the back buffer; times in microseconds or -1.
static void TimeBackBufferReads(int g, int64_t *lockTime, int64_t *copyTime)
{
    K_IDirect3DSurface9 *back = D3DObjects.backBuffer;
    K_D3DFORMAT format = DeviceCaps.backBufferFormat;
    int rowBytes = g * (format == K_D3DFMT_X8R8G8B8 || format == K_D3DFMT_A8R8G8B8 ? 4 : 2);
    RECT area = {0, 0, g, g};
    *lockTime = -1;
    *copyTime = -1;

    K_IDirect3DSurface9 *system = nullptr;
    uint64_t start = GetMicrosecondClock();
    if (D3DDev_CreateOffscreenPlainSurface(g, g, format, K_D3DPOOL_SYSTEMMEM, &system) >= 0) {
        K_D3DLOCKED_RECT to = {};
        K_D3DLOCKED_RECT from = {};
        if (D3DSurf_LockRect(system, &to, nullptr, 0) >= 0) {
            if (D3DSurf_LockRect(back, &from, &area, K_D3DLOCK_READONLY) >= 0) {
                CopyLockedRows(from, to, rowBytes, g);
                D3DSurf_UnlockRect(back);
                *lockTime = static_cast<int64_t>(GetMicrosecondClock() - start);
            }
            D3DSurf_UnlockRect(system);
        }
        D3DRes_Release(system);
    }

    K_IDirect3DSurface9 *target = nullptr;
    system = nullptr;
    start = GetMicrosecondClock();
    if (D3DDev_CreateRenderTarget(g, g, format, 0, 0, FALSE, &target) >= 0 &&
        D3DDev_CreateOffscreenPlainSurface(g, g, format, K_D3DPOOL_SYSTEMMEM, &system) >= 0 &&
        D3DDev_StretchRect(back, &area, target, nullptr, K_D3DTEXF_NONE) >= 0 &&
        D3DDev_GetRenderTargetData(target, system) >= 0) {
        K_D3DLOCKED_RECT from = {};
        K_D3DLOCKED_RECT to = {};
        static unsigned char scratch[256 * 256 * 4];
        to.pBits = scratch;
        to.Pitch = rowBytes;
        if (D3DSurf_LockRect(system, &from, nullptr, K_D3DLOCK_READONLY) >= 0) {
            CopyLockedRows(from, to, rowBytes, g);
            D3DSurf_UnlockRect(system);
            *copyTime = static_cast<int64_t>(GetMicrosecondClock() - start);
        }
    }
    if (target != nullptr) {
        D3DRes_Release(target);
    }
    if (system != nullptr) {
        D3DRes_Release(system);
    }
}

static void ChooseBackBufferReading()
{
    int g = 256;
    while (g > 1 && (GraphicsState.mainWidth < g || GraphicsState.mainHeight < g)) {
        g /= 2;
    }
    int64_t lockTime = -1;
    int64_t copyTime = -1;
    for (int pass = 0; pass < 3; ++pass) {
        TimeBackBufferReads(g, &lockTime, &copyTime);
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

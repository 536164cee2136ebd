// The Direct3D road of masked drawing: while masking is active the draw target
// is the mask screen texture; the outermost bracket copies the target into it
// first and at its end draws it back through the gate texture's alpha.

#include "graphics/draw/masks.h"

#include "core/log/fatal_error.h"
#include "graphics/shading/blend_stages.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"
#include "graphics/device/graphics_state.h"
#include "graphics/state/transforms.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

constexpr DWORD kMaskQuadFvf = 0x144;

static int PowerOfTwoAtLeast(int value)
{
    int side = 1;
    while (side < value) {
        side <<= 1;
    }
    return side;
}

template <typename T> static void ReleaseDeviceObject(T *&object)
{
    if (object != nullptr) {
        D3DRes_Release(object);
        object = nullptr;
    }
}

static void ApplyDrawAreaViewport()
{
    const RECT &area = Draw.drawArea;
    ApplyViewportRect(area.left, area.top, area.right, area.bottom);
}

// Stage 0 takes the mask screen's colour, stage 1 the gate's alpha; the alpha
// test lets through where the gate is 0 (reversed: where it is not).
static CustomStageRecord MaskPassStages()
{
    CustomStageRecord record = {};
    record.alphaTestEnable = 1;
    record.alphaRef = 0;
    record.alphaFunc = Masks.reverse != 0 ? K_D3DCMP_GREATER : K_D3DCMP_EQUAL;
    record.alphaBlendEnable = 0;
    record.textureFactor = 0xFFFFFFFF;
    record.srcBlend = K_D3DBLEND_ONE;
    record.destBlend = K_D3DBLEND_ZERO;
    record.blendOp = K_D3DBLENDOP_ADD;
    record.stageCount = 2;
    record.stages[0] = CustomStage{reinterpret_cast<uintptr_t>(Masks.screenTexture), 0, 0, K_D3DTA_TEXTURE,
                                   K_D3DTA_TEXTURE, K_D3DTOP_SELECTARG1, K_D3DTA_TEXTURE, K_D3DTA_TEXTURE,
                                   K_D3DTOP_SELECTARG1};
    record.stages[1] = CustomStage{reinterpret_cast<uintptr_t>(Masks.imageTexture), 0, 0, K_D3DTA_TEXTURE,
                                   K_D3DTA_TEXTURE, K_D3DTOP_SELECTARG1, K_D3DTA_CURRENT, K_D3DTA_CURRENT,
                                   K_D3DTOP_SELECTARG1};
    return record;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

void CreateMaskDeviceSurfaces(int width, int height)
{
    if (TextureFormatSlots[FORMAT_SLOT_SCREEN_DRAW] == K_D3DFMT_UNKNOWN) {
        AbortWithFatalError("マスク描画用カラーバッファで使用できるテクスチャフォーマットがありませんでした");
    }
    if (TextureFormatSlots[FORMAT_SLOT_SCREEN_ALPHA_TEST] == K_D3DFMT_UNKNOWN) {
        AbortWithFatalError("マスク描画用アルファチャンネルバッファで使用できるテクスチャフォーマットがありませんでした");
    }
    Masks.textureWidth = PowerOfTwoAtLeast(width);
    Masks.textureHeight = PowerOfTwoAtLeast(height);
    const UINT sideX = static_cast<UINT>(Masks.textureWidth);
    const UINT sideY = static_cast<UINT>(Masks.textureHeight);
    if (Masks.imageTexture == nullptr) {
        if (D3DDev_CreateTexture(sideX, sideY, 1, K_D3DUSAGE_DYNAMIC, TextureFormatSlots[FORMAT_SLOT_SCREEN_ALPHA_TEST],
                                 K_D3DPOOL_DEFAULT, &Masks.imageTexture) < 0 ||
            Masks.imageTexture == nullptr) {
            AbortWithFatalError("マスク用イメージテクスチャの作成に失敗しました");
        }
        K_D3DLOCKED_RECT locked = {};
        if (D3DTex_LockRect(Masks.imageTexture, 0, &locked, nullptr, 0) >= 0 && locked.pBits != nullptr) {
            for (int y = 0; y < height; ++y) {
                std::memset(static_cast<uint8_t *>(locked.pBits) + y * locked.Pitch, 0,
                            static_cast<size_t>(locked.Pitch));
            }
            D3DTex_UnlockRect(Masks.imageTexture, 0);
        }
    }
    if (Masks.screenTexture == nullptr) {
        if (D3DDev_CreateTexture(sideX, sideY, 1, K_D3DUSAGE_RENDERTARGET, DeviceCaps.backBufferFormat,
                                 K_D3DPOOL_DEFAULT, &Masks.screenTexture) < 0 ||
            Masks.screenTexture == nullptr) {
            AbortWithFatalError("マスク用スクリーンテクスチャの作成に失敗しました");
        }
        D3DTex_GetSurfaceLevel(Masks.screenTexture, 0, &Masks.screenSurface);
    }
}

void ReleaseMaskDeviceSurfaces()
{
    ReleaseDeviceObject(Masks.imageTexture);
    ReleaseDeviceObject(Masks.screenSurface);
    ReleaseDeviceObject(Masks.screenTexture);
    Masks.bracketTarget = nullptr;
}

void SelectMaskRenderTarget(int active)
{
    if (G_D3D_HasDevice() == 0) {
        return;
    }
    FlushStagedVertices(0);
    K_IDirect3DSurface9 *surface = active != 0 && Masks.screenSurface != nullptr
                                       ? Masks.screenSurface
                                       : GetDrawTargetSurface(GetSelectedDrawTarget(), 0);
    SetRenderTargetSurface(surface, 0);
    ApplyDrawTargetDepthBuffer();
    ApplyDrawAreaViewport();
}

void CopyTargetIntoMaskScreen(const RECT &rect)
{
    if (G_D3D_HasDevice() == 0 || Masks.screenSurface == nullptr) {
        return;
    }
    FlushStagedVertices(0);
    G_D3D_EndSceneIfBegun();
    Masks.bracketTarget = GetDrawTargetSurface(GetSelectedDrawTarget(), 0);
    if (Masks.bracketTarget != nullptr) {
        D3DDev_StretchRect(Masks.bracketTarget, &rect, Masks.screenSurface, &rect, K_D3DTEXF_NONE);
    }
}

void WriteMaskScreenBackOnDevice(const RECT &rect)
{
    if (G_D3D_HasDevice() == 0 || Masks.screenSurface == nullptr || Masks.bracketTarget == nullptr) {
        return;
    }
    FlushStagedVertices(0);
    SetRenderTargetSurface(Masks.bracketTarget, 0);
    ApplyDrawAreaViewport();
    G_D3D_BeginSceneIfNeeded();
    StateCache.vertexShader = nullptr;
    StateCache.pixelShader = nullptr;
    D3DDev_SetVertexShader(nullptr);
    D3DDev_SetPixelShader(nullptr);
    // The pass is the library's: the caller's alpha-test mode does not apply to it.
    const int alphaTestMode = Draw.alphaTestMode;
    Draw.alphaTestMode = -1;
    const CustomStageRecord stages = MaskPassStages();
    ApplyCustomBlendStages(&stages, 0, 0);
    Draw.alphaTestMode = alphaTestMode;
    struct Vertex {
        float x, y, z, rhw;
        uint32_t diffuse;
        float u, v;
    };
    const float w = static_cast<float>(Masks.textureWidth);
    const float h = static_cast<float>(Masks.textureHeight);
    auto corner = [&](LONG x, LONG y) {
        return Vertex{static_cast<float>(x) - 0.5f, static_cast<float>(y) - 0.5f, 0.0f, 1.0f, 0xFFFFFFFFu,
                      static_cast<float>(x) / w, static_cast<float>(y) / h};
    };
    const Vertex strip[4] = {corner(rect.left, rect.top), corner(rect.right, rect.top),
                             corner(rect.left, rect.bottom), corner(rect.right, rect.bottom)};
    if (StateCache.fvf != kMaskQuadFvf || StateCache.vertexDeclaration != nullptr) {
        StateCache.fvf = kMaskQuadFvf;
        StateCache.vertexDeclaration = nullptr;
        D3DDev_SetFVF(kMaskQuadFvf);
    }
    D3DDev_DrawPrimitiveUP(K_D3DPT_TRIANGLESTRIP, 2, strip, sizeof(Vertex));
    // Later draws send their own states and stages again.
    StateCache.stageSetupNeeded = 1;
    StateCache.drawStateDirty = 1;
    SetRenderTargetSurface(Masks.screenSurface, 0);
    ApplyDrawAreaViewport();
}

} // namespace Korvo

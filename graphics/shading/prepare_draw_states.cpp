// PrepareDrawStates: the device states one draw needs, derived from DrawSettings
// and the draw's texture and flags, sent only where they differ from the cache.

#include "graphics/state/device_state_cache.h"

#include "graphics/shading/blend_stages.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/draw_settings.h"
#include "graphics/device/graphics_state.h"
#include "graphics/state/light_table.h"
#include "graphics/state/lighting_device.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Vertex and pixel shaders are unbound unless the draw keeps them.
static void UnbindShaders()
{
    if (StateCache.vertexShader != nullptr) {
        FlushStagedVertices(0);
        StateCache.vertexShader = nullptr;
        StateCache.fvf = 0;
        StateCache.vertexDeclaration = nullptr;
        D3DDev_SetVertexShader(nullptr);
    }
    if (StateCache.pixelShader != nullptr && StateCache.blendPixelShaderBound == 0) {
        FlushStagedVertices(0);
        StateCache.pixelShader = nullptr;
        D3DDev_SetPixelShader(nullptr);
    }
    StateCache.shaderKeys[0] = 0;
    StateCache.shaderKeys[1] = 0;
}

static void ApplyLightingForDraw(uint32_t flags)
{
    if ((flags & DRAW_FLAG_LIGHTING) != 0 && Draw.lightingOff == 0) {
        SetLightingEnabled(1);
        if (Draw.materialChanged != 0) {
            Draw.materialChanged = 0;
            ApplyMaterial(&Draw.material);
        }
        ApplyDiffuseMaterialSource(Draw.useMaterialDiffuse == 0 ? 1 : 0);
        ApplySpecularMaterialSource(Draw.useMaterialSpecular == 0 ? 1 : 0);
        UpdateLightTable();
    } else if (StateCache.lighting != 0) {
        SetLightingEnabled(0);
    }
}

static void ApplyDepthForDraw(uint32_t flags)
{
    const DepthSettings &depth = (flags & DRAW_FLAG_DEPTH_3D) != 0 ? Draw.depth3D : Draw.depth2D;
    if (depth.zEnableMode != 0) {
        ApplyZEnable(depth.zEnableMode);
        ApplyZWriteEnable(depth.zWrite);
        ApplyZFunc(depth.zFunc);
        ApplyDepthBias(depth.depthBias);
    } else {
        ApplyZEnable(0);
        if ((flags & DRAW_FLAG_DEPTH_3D) == 0) {
            ApplyZWriteEnable(0);
        }
    }
}

// Transparency keys, vertex colour and alpha blending, then the blend set-up.
static void ApplyBlendForDraw(K_IDirect3DBaseTexture9 *texture, uint32_t flags)
{
    int alphaTestKey = 0;
    int colorKeyKey = 0;
    if (texture != nullptr && (flags & DRAW_FLAG_TRANSPARENT) != 0) {
        colorKeyKey = (flags & DRAW_FLAG_COLOR_KEY_ALPHA) != 0 ? 1 : 0;
        if (colorKeyKey != 0 || (flags & DRAW_FLAG_TEXTURE_ALPHA) != 0) {
            bool bilinear = (flags & DRAW_FLAG_NO_BILINEAR_ALPHA_TEST) == 0 && Draw.filterMode == 1;
            if ((Draw.blendMode != 0 && Draw.blendMode != 8) || bilinear) {
                alphaTestKey = 1;
                colorKeyKey = 0;
            } else {
                alphaTestKey = (flags & DRAW_FLAG_TEXTURE_ALPHA) != 0 ? 1 : 0;
            }
        }
    }
    int vertexColor = (flags & DRAW_FLAG_VERTEX_COLOR) != 0 || (Draw.brightColor & 0xFFFFFF) != 0xFFFFFF ? 1 : 0;
    int alphaBlend = (flags & DRAW_FLAG_ALPHA_BLEND) != 0 || Draw.blendMode != 0 || Draw.furtherBlend != 0 ? 1 : 0;
    StoreVertexColourKey(vertexColor);
    StoreAlphaBlendKey(alphaBlend);
    StoreDrawTextureKey(texture);
    StoreAlphaTestKeySetting(Draw.alphaTestKeySetting);
    StoreBlendModeKey(Draw.blendMode, alphaTestKey, colorKeyKey);
    // Only a blend graph reads the drawn alpha outside the transparency keys: the
    // key stays 0 without one, so plain draws of both kinds of graph batch on.
    StoreTextureAlphaKey(StateCache.blendTexture != nullptr && texture != nullptr &&
                                 (flags & DRAW_FLAG_TEXTURE_ALPHA) != 0 ? 1 : 0);
    StoreExtraStageKey((flags & DRAW_FLAG_EXTRA_STAGE) != 0 ? 1 : 0);
    StoreAlphaTestModeKey(Draw.alphaTestMode, Draw.alphaTestParam);
    bool shaderMissing = GraphicsState.programmableShader != 0 && StateCache.blendPixelShaderBound == 0;
    if (StateCache.stageSetupNeeded != 0 || StateCache.textureChanged != 0 || shaderMissing) {
        SetupBlendAndStages();
    }
}

static void ApplyAddressingForDraw(uint32_t flags)
{
    if ((flags & DRAW_FLAG_USER_ADDRESSING) != 0) {
        for (int s = 0; s < kSamplerCount; ++s) {
            ApplySamplerAddressU(s, Draw.addressU[s]);
            ApplySamplerAddressV(s, Draw.addressV[s]);
        }
        return;
    }
    for (int s = 0; s < 4; ++s) {
        const SamplerRecord &sampler = StateCache.samplers[s];
        if (sampler.addressU != K_D3DTADDRESS_CLAMP || sampler.addressV != K_D3DTADDRESS_CLAMP) {
            ApplySamplerAddressUVW(s, K_D3DTADDRESS_CLAMP, K_D3DTADDRESS_CLAMP, K_D3DTADDRESS_CLAMP);
        }
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The per-draw set-up
int PrepareDrawStates(K_IDirect3DBaseTexture9 *texture, uint32_t flags)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    StateCache.drawStateDirty = 0;
    if ((flags & DRAW_FLAG_KEEP_SHADERS) == 0) {
        UnbindShaders();
    }
    ApplyLightingForDraw(flags);
    ApplySpecularEnable((flags & DRAW_FLAG_SPECULAR) != 0 && Draw.specularOff == 0 ? 1 : 0);
    ApplyDepthForDraw(flags);
    ApplyFillMode(Draw.fillMode);
    ApplyFogEnable((flags & DRAW_FLAG_FOG) != 0 ? Draw.fogEnable : 0);
    if ((flags & DRAW_FLAG_SKIP_BLEND) == 0) {
        ApplyBlendForDraw(texture, flags);
    }
    ApplyShadeMode((flags & DRAW_FLAG_GOURAUD) != 0 ? 2 : 1);
    ApplySamplerFilter(Draw.filterMode);
    ApplyMaxAnisotropy(Draw.maxAnisotropy);
    if ((flags & DRAW_FLAG_CULLING) != 0) {
        ApplyCullMode(Draw.cullMode);
    } else if (StateCache.cullMode != K_D3DCULL_NONE) {
        ApplyCullMode(0);
    }
    ApplyAddressingForDraw(flags);
    StateCache.lastTexture = texture;
    StateCache.lastFlags = flags;
    // Setters called above mark the states dirty; this draw has them all now.
    StateCache.drawStateDirty = 0;
    return 0;
}

// The draw-side rule
void PrepareDrawStatesIfNeeded(K_IDirect3DBaseTexture9 *texture, uint32_t flags)
{
    G_D3D_BeginSceneIfNeeded();
    if (StateCache.drawStateDirty != 0 || texture != StateCache.lastTexture || flags != StateCache.lastFlags) {
        PrepareDrawStates(texture, flags);
    }
}

} // namespace Korvo

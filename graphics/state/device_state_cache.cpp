// The cached device-state setters: each compares with DeviceStateCache, flushes
// the staged vertices before a real change and sends only what differs.

#include "graphics/state/device_state_cache.h"

#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/draw_settings.h"
#include "graphics/state/lighting_device.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

DeviceStateCache StateCache = {};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Flush unless the cache is being re-sent as a whole.
static void FlushBeforeChange()
{
    if (StateCache.forceReapply == 0) {
        FlushStagedVertices(0);
    }
}

// One sampler state through the cache.
static int ApplyCachedSamplerState(int sampler, int *cached, UINT state, int value)
{
    if (*cached == value && StateCache.forceReapply == 0) {
        return 0;
    }
    FlushBeforeChange();
    *cached = value;
    StateCache.drawStateDirty = 1;
    return D3DDev_SetSamplerState(static_cast<DWORD>(sampler), state, static_cast<DWORD>(value)) < 0 ? -1 : 0;
}

// One address mode of one sampler (0-7) or of all eight (-1, sent from 7 down to 0).
static int ApplySamplerAddress(int sampler, int SamplerRecord::*field, UINT state, int mode)
{
    if (G_D3D_HasDevice() == 0 || sampler < -1 || sampler >= kSamplerCount) {
        return -1;
    }
    int first = sampler < 0 ? kSamplerCount - 1 : sampler;
    int last = sampler < 0 ? 0 : sampler;
    int result = 0;
    for (int s = first; s >= last; --s) {
        if (ApplyCachedSamplerState(s, &(StateCache.samplers[s].*field), state, mode) < 0) {
            result = -1;
        }
    }
    return result;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Compare, flush, store, send
int ApplyCachedRenderState(int *cached, UINT state, int value)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    if (*cached == value && StateCache.forceReapply == 0) {
        return 0;
    }
    FlushBeforeChange();
    *cached = value;
    StateCache.drawStateDirty = 1;
    return D3DDev_SetRenderState(state, static_cast<DWORD>(value)) < 0 ? -1 : 0;
}

// Z test: TRUE is sent only for mode 1
int ApplyZEnable(int mode)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    if (StateCache.zEnableMode == mode && StateCache.forceReapply == 0) {
        return 0;
    }
    FlushBeforeChange();
    StateCache.zEnableMode = mode;
    StateCache.drawStateDirty = 1;
    return D3DDev_SetRenderState(K_D3DRS_ZENABLE, mode == 1 ? 1 : 0) < 0 ? -1 : 0;
}

// The mask code's entry of ApplyZEnable
int ApplyZEnableForward(int mode)
{
    return ApplyZEnable(mode);
}

int ApplyZWriteEnable(int enable)
{
    return ApplyCachedRenderState(&StateCache.zWrite, K_D3DRS_ZWRITEENABLE, enable);
}

int ApplyZFunc(int function)
{
    return ApplyCachedRenderState(&StateCache.zFunc, K_D3DRS_ZFUNC, function);
}

int ApplyDepthBias(int bias)
{
    return ApplyCachedRenderState(&StateCache.depthBias, K_D3DRS_DEPTHBIAS, bias);
}

int ApplyFillMode(int mode)
{
    return ApplyCachedRenderState(&StateCache.fillMode, K_D3DRS_FILLMODE, mode);
}

int ApplyShadeMode(int mode)
{
    return ApplyCachedRenderState(&StateCache.shadeMode, K_D3DRS_SHADEMODE, mode);
}

// 0 none, 2 clockwise, anything else counter-clockwise
int ApplyCullMode(int mode)
{
    int value = mode == 0 ? K_D3DCULL_NONE : mode == 2 ? K_D3DCULL_CW : K_D3DCULL_CCW;
    return ApplyCachedRenderState(&StateCache.cullMode, K_D3DRS_CULLMODE, value);
}

int ApplySpecularEnable(int enable)
{
    return ApplyCachedRenderState(&StateCache.specular, K_D3DRS_SPECULARENABLE, enable);
}

int ApplyDiffuseMaterialSource(int fromVertex)
{
    return ApplyCachedRenderState(&StateCache.diffuseMaterialSource, K_D3DRS_DIFFUSEMATERIALSOURCE,
                                  fromVertex != 0 ? K_D3DMCS_COLOR1 : K_D3DMCS_MATERIAL);
}

int ApplySpecularMaterialSource(int fromVertex)
{
    return ApplyCachedRenderState(&StateCache.specularMaterialSource, K_D3DRS_SPECULARMATERIALSOURCE,
                                  fromVertex != 0 ? K_D3DMCS_COLOR2 : K_D3DMCS_MATERIAL);
}

// Lighting and fog also pick the lit built-in vertex shader.
int SetLightingEnabled(int enable)
{
    int result = ApplyCachedRenderState(&StateCache.lighting, K_D3DRS_LIGHTING, enable);
    RefreshLightingShaderKeys();
    return result;
}

int ApplyFogEnable(int enable)
{
    int result = ApplyCachedRenderState(&StateCache.fogEnable, K_D3DRS_FOGENABLE, enable);
    RefreshLightingShaderKeys();
    return result;
}

// Magnification, minification and mip filters of a mode on every sampler in use
int ApplySamplerFilter(int mode)
{
    static const int kFilters[3][3] = {
        {K_D3DTEXF_POINT, K_D3DTEXF_POINT, K_D3DTEXF_NONE},
        {K_D3DTEXF_LINEAR, K_D3DTEXF_LINEAR, K_D3DTEXF_NONE},
        {K_D3DTEXF_LINEAR, K_D3DTEXF_ANISOTROPIC, K_D3DTEXF_LINEAR},
    };
    if (G_D3D_HasDevice() == 0 || mode < 0 || mode > 2) {
        return -1;
    }
    int count = StateCache.stageCount > 4 ? StateCache.stageCount : 4;
    int result = 0;
    for (int s = 0; s < count && s < kSamplerCount; ++s) {
        SamplerRecord &sampler = StateCache.samplers[s];
        result |= ApplyCachedSamplerState(s, &sampler.magFilter, K_D3DSAMP_MAGFILTER, kFilters[mode][0]);
        result |= ApplyCachedSamplerState(s, &sampler.minFilter, K_D3DSAMP_MINFILTER, kFilters[mode][1]);
        result |= ApplyCachedSamplerState(s, &sampler.mipFilter, K_D3DSAMP_MIPFILTER, kFilters[mode][2]);
    }
    StateCache.filterMode = mode;
    return result != 0 ? -1 : 0;
}

// Maximum anisotropy (at least 1) on every sampler in use
int ApplyMaxAnisotropy(int value)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    if (value < 1) {
        value = 1;
    }
    int count = StateCache.stageCount > 4 ? StateCache.stageCount : 4;
    int result = 0;
    for (int s = 0; s < count && s < kSamplerCount; ++s) {
        result |= ApplyCachedSamplerState(s, &StateCache.samplers[s].maxAnisotropy, K_D3DSAMP_MAXANISOTROPY, value);
    }
    StateCache.maxAnisotropy = value;
    return result != 0 ? -1 : 0;
}

int ApplySamplerAddressU(int sampler, int mode)
{
    return ApplySamplerAddress(sampler, &SamplerRecord::addressU, K_D3DSAMP_ADDRESSU, mode);
}

int ApplySamplerAddressV(int sampler, int mode)
{
    return ApplySamplerAddress(sampler, &SamplerRecord::addressV, K_D3DSAMP_ADDRESSV, mode);
}

int ApplySamplerAddressW(int sampler, int mode)
{
    return ApplySamplerAddress(sampler, &SamplerRecord::addressW, K_D3DSAMP_ADDRESSW, mode);
}

int ApplySamplerAddressUVW(int sampler, int u, int v, int w)
{
    int result = ApplySamplerAddressU(sampler, u);
    result |= ApplySamplerAddressV(sampler, v);
    result |= ApplySamplerAddressW(sampler, w);
    return result != 0 ? -1 : 0;
}

// Texture transform of stage 0-3 or of all four (-1); 0
int ApplyTextureTransform(int stage, int enable, const RowMatrix4 *matrix)
{
    if (G_D3D_HasDevice() == 0 || stage < -1 || stage > 3) {
        return -1;
    }
    int first = stage < 0 ? 0 : stage;
    int last = stage < 0 ? 3 : stage;
    if (stage >= 0 && StateCache.textureTransformOn[stage] == 0 && enable == 0 && StateCache.forceReapply == 0) {
        return 0;
    }
    FlushBeforeChange();
    for (int s = first; s <= last; ++s) {
        if (enable != 0) {
            if (stage < 0 || StateCache.textureTransformOn[s] == 0 || StateCache.forceReapply != 0) {
                D3DDev_SetTextureStageState(static_cast<DWORD>(s), K_D3DTSS_TEXTURETRANSFORMFLAGS, 3);
            }
            StateCache.textureTransform[s] = *matrix;
            D3DDev_SetTransform(K_D3DTS_TEXTURE0 + static_cast<UINT>(s),
                                reinterpret_cast<const K_D3DMATRIX *>(matrix));
        } else {
            D3DDev_SetTextureStageState(static_cast<DWORD>(s), K_D3DTSS_TEXTURETRANSFORMFLAGS, 0);
            if (matrix != nullptr) {
                StateCache.textureTransform[s] = *matrix;
            }
        }
        StateCache.textureTransformOn[s] = enable != 0 ? 1 : 0;
    }
    StateCache.drawStateDirty = 1;
    return 0;
}

// TEXCOORDINDEX = stage number on every stage
int ResetTexCoordIndexes()
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    for (int s = 0; s < kStageCount; ++s) {
        if (StateCache.stages[s].texCoordIndex != s || StateCache.forceReapply != 0) {
            FlushBeforeChange();
            StateCache.stages[s].texCoordIndex = s;
            D3DDev_SetTextureStageState(static_cast<DWORD>(s), K_D3DTSS_TEXCOORDINDEX, static_cast<DWORD>(s));
        }
    }
    return 0;
}

// The 3-D Z enable mode of DrawSettings
int SetDepthEnable3D(int mode)
{
    if (Draw.depth3D.zEnableMode != mode) {
        FlushStagedVertices(0);
        Draw.depth3D.zEnableMode = mode;
        StateCache.drawStateDirty = 1;
    }
    return 0;
}

} // namespace Korvo

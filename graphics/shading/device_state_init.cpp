// The first device states after device creation and the two re-send paths.

#include "graphics/state/device_state_cache.h"

#include "graphics/shading/blend_stages.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/draw_settings.h"
#include "graphics/state/fog_light_constants.h"
#include "graphics/state/lighting_device.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/screen_request.h"
#include "graphics/state/shader_constants.h"
#include "graphics/state/transforms.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static DWORD FloatBits(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// Every cache entry to its value after device creation (nothing is sent).
static void ResetCacheEntries()
{
    DeviceStateCache &c = StateCache;
    int mainWidth = 0;
    int mainHeight = 0;
    GetMainScreenSize(&mainWidth, &mainHeight);
    c.zEnableMode = 1;
    c.zWrite = 0;
    c.zFunc = 4;
    c.depthBias = 0;
    c.fillMode = 3;
    c.shadeMode = 1;
    c.cullMode = K_D3DCULL_NONE;
    c.lighting = 1;
    c.specular = 1;
    c.fogEnable = 0;
    c.fogVertexMode = 0;
    c.fogColor = 0;
    c.fogStart = 0.0f;
    c.fogEnd = 1.0f;
    c.fogDensity = 0.0f;
    c.maxAnisotropy = 1;
    for (int s = 0; s < kStageCount; ++s) {
        StageRecord &stage = c.stages[s];
        stage = StageRecord{};
        stage.texCoordIndex = s;
        stage.alphaArg1 = K_D3DTA_TEXTURE;
        stage.alphaArg2 = K_D3DTA_DIFFUSE;
        stage.alphaOp = K_D3DTOP_DISABLE;
        stage.colorArg1 = K_D3DTA_TEXTURE;
        stage.colorArg2 = K_D3DTA_DIFFUSE;
        stage.colorOp = K_D3DTOP_DISABLE;
    }
    for (int s = 0; s < 4; ++s) {
        c.textureTransformOn[s] = 0;
    }
    c.viewport = K_D3DVIEWPORT9{0, 0, static_cast<DWORD>(mainWidth), static_cast<DWORD>(mainHeight), 0.0f, 1.0f};
    c.vertexShader = nullptr;
    c.pixelShader = nullptr;
    c.vertexDeclaration = nullptr;
    c.fvf = 0;
    c.blendMode = 0;
    c.alphaTestKey = 0;
    c.colorKeyKey = 0;
    c.alphaTestMode = -1;
    c.blendTextureKind = -1;
    // Textures of an earlier device are gone with it: binding one again would
    // hand the new device freed memory (it is released at the next unbinding).
    c.drawTexture = nullptr;
    c.blendTexture = nullptr;
    c.sceneOpen = 0;
    c.lastTexture = nullptr;
    c.lastFlags = 0;
    c.drawStateDirty = 1;
    c.forceReapply = 0;
    c.stageSetupNeeded = 1;
    c.textureChanged = 0;
    c.drawSuppress = 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// First states after device creation
void InitDeviceStates()
{
    if (G_D3D_HasDevice() == 0) {
        return;
    }
    DeviceStateCache &c = StateCache;
    PrepareStagingBuffers();
    for (int s = 0; s < kSamplerCount; ++s) {
        if (Draw.addressU[s] == 0) {
            Draw.addressU[s] = K_D3DTADDRESS_CLAMP;
        }
        if (Draw.addressV[s] == 0) {
            Draw.addressV[s] = K_D3DTADDRESS_CLAMP;
        }
        if (Draw.addressW[s] == 0) {
            Draw.addressW[s] = K_D3DTADDRESS_CLAMP;
        }
        SamplerRecord &sampler = c.samplers[s];
        sampler.addressU = Draw.addressU[s];
        sampler.addressV = Draw.addressV[s];
        sampler.addressW = Draw.addressW[s];
        D3DDev_SetSamplerState(static_cast<DWORD>(s), K_D3DSAMP_ADDRESSU, static_cast<DWORD>(sampler.addressU));
        D3DDev_SetSamplerState(static_cast<DWORD>(s), K_D3DSAMP_ADDRESSV, static_cast<DWORD>(sampler.addressV));
        D3DDev_SetSamplerState(static_cast<DWORD>(s), K_D3DSAMP_ADDRESSW, static_cast<DWORD>(sampler.addressW));
        // Filter mode 3 matches no valid mode, so the first ApplySamplerFilter always sends.
        sampler.magFilter = sampler.minFilter = sampler.mipFilter = -1;
        sampler.maxAnisotropy = 1;
    }
    c.filterMode = 3;

    D3DDev_SetRenderState(K_D3DRS_CULLMODE, K_D3DCULL_NONE);
    D3DDev_SetRenderState(K_D3DRS_LIGHTING, 1);
    D3DDev_SetRenderState(K_D3DRS_SHADEMODE, 1);
    D3DDev_SetRenderState(K_D3DRS_DITHERENABLE, 0);
    D3DDev_SetRenderState(K_D3DRS_SPECULARENABLE, 1);
    D3DDev_SetRenderState(K_D3DRS_AMBIENTMATERIALSOURCE, 0);
    D3DDev_SetRenderState(K_D3DRS_NORMALIZENORMALS, 1);
    D3DDev_SetRenderState(K_D3DRS_FOGENABLE, 0);
    D3DDev_SetRenderState(K_D3DRS_FOGVERTEXMODE, 0);
    D3DDev_SetRenderState(K_D3DRS_FOGCOLOR, 0);
    D3DDev_SetRenderState(K_D3DRS_FOGSTART, FloatBits(0.0f));
    D3DDev_SetRenderState(K_D3DRS_FOGEND, FloatBits(1.0f));
    D3DDev_GetMaterial(&c.material);

    ResetCacheEntries();
    ReapplyDeviceStates();
    G_D3D_BeginSceneIfNeeded();
    PrepareDrawStates(nullptr, 0);
    StageStartupPointVertex();
}

// Shader bindings and the stage and sampler states shaders leave behind
int ResetShaderBindingCache()
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    DeviceStateCache &c = StateCache;
    if (c.forceReapply == 0) {
        FlushStagedVertices(0);
    }
    static const int kCoordinates[4] = {0, 1, 1, 0};
    for (int s = 0; s < 4; ++s) {
        DWORD stage = static_cast<DWORD>(s);
        D3DDev_SetSamplerState(stage, K_D3DSAMP_ADDRESSU, static_cast<DWORD>(c.samplers[s].addressU));
        D3DDev_SetSamplerState(stage, K_D3DSAMP_ADDRESSV, static_cast<DWORD>(c.samplers[s].addressV));
        c.stages[s].texCoordIndex = kCoordinates[s];
        D3DDev_SetTextureStageState(stage, K_D3DTSS_TEXCOORDINDEX, static_cast<DWORD>(kCoordinates[s]));
        if (DeviceCaps.tempRegister != 0) {
            c.stages[s].result = 0;
            D3DDev_SetTextureStageState(stage, K_D3DTSS_RESULTARG, K_D3DTA_CURRENT);
        }
    }
    D3DDev_SetRenderState(K_D3DRS_SHADEMODE, static_cast<DWORD>(c.shadeMode));
    D3DDev_SetRenderState(K_D3DRS_LIGHTING, static_cast<DWORD>(c.lighting));
    c.cullMode = K_D3DCULL_NONE;
    D3DDev_SetRenderState(K_D3DRS_CULLMODE, K_D3DCULL_NONE);
    D3DDev_SetRenderState(K_D3DRS_DITHERENABLE, 0);
    static const float kVertexZeroOne[4] = {0.0f, 1.0f, 0.0f, 0.0f};
    static const float kPixelSteps[4] = {0.0f, 0.5f, 1.0f, 2.0f};
    StoreShaderConstants(SHADER_FILE_VERTEX_FLOAT, 0, 0, kVertexZeroOne, 1, 1);
    StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, 0, 0, kPixelSteps, 1, 1);
    if (c.vertexShader != nullptr) {
        c.vertexShader = nullptr;
        D3DDev_SetVertexShader(nullptr);
        c.drawStateDirty = 1;
    }
    if (c.pixelShader != nullptr) {
        c.pixelShader = nullptr;
        c.blendPixelShaderBound = 0;
        D3DDev_SetPixelShader(nullptr);
        c.drawStateDirty = 1;
    }
    c.fvf = 0;
    c.vertexDeclaration = nullptr;
    c.shaderKeys[0] = 0;
    c.shaderKeys[1] = 0;
    return 0;
}

// Send every cached state again
void ReapplyDeviceStates()
{
    if (G_D3D_HasDevice() == 0) {
        return;
    }
    DeviceStateCache &c = StateCache;
    c.forceReapply = 1;
    c.drawStateDirty = 1;
    K_D3DVIEWPORT9 viewport = c.viewport;
    ApplyViewport(&viewport);
    RECT scissor = c.scissor;
    ApplyScissorRect(&scissor);
    for (int s = 0; s < kStageCount; ++s) {
        D3DDev_SetTexture(static_cast<DWORD>(s), c.stages[s].texture);
    }
    ResetShaderBindingCache();
    ApplySamplerFilter(c.filterMode >= 0 && c.filterMode <= 2 ? c.filterMode : Draw.filterMode);
    c.stageSetupNeeded = 1;
    SetupBlendAndStages();
    ApplyZEnable(c.zEnableMode);
    ApplyZWriteEnable(c.zWrite);
    ApplyZFunc(c.zFunc);
    ApplyDepthBias(c.depthBias);
    ApplyFillMode(c.fillMode);
    ApplyCachedRenderState(&c.cullMode, K_D3DRS_CULLMODE, c.cullMode);
    ApplyShadeMode(c.shadeMode);
    D3DDev_SetMaterial(&c.material);
    ApplySpecularEnable(c.specular);
    ApplyCachedRenderState(&c.diffuseMaterialSource, K_D3DRS_DIFFUSEMATERIALSOURCE, c.diffuseMaterialSource);
    ApplyCachedRenderState(&c.specularMaterialSource, K_D3DRS_SPECULARMATERIALSOURCE, c.specularMaterialSource);
    UploadAllShaderConstants();
    c.forceReapply = 0;
}

// Everything again after a device reset
int RestoreDeviceStates()
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    DeviceStateCache &c = StateCache;
    D3DDev_SetRenderState(K_D3DRS_DITHERENABLE, 0);
    c.drawTexture = nullptr;
    FlushStagedVertices(0);
    c.forceReapply = 1;
    c.drawStateDirty = 1;
    ApplyCachedRenderState(&c.cullMode, K_D3DRS_CULLMODE, c.cullMode);
    ApplySamplerFilter(c.filterMode >= 0 && c.filterMode <= 2 ? c.filterMode : Draw.filterMode);
    ApplyShadeMode(c.shadeMode);
    ApplyMaxAnisotropy(c.maxAnisotropy);
    for (int s = 0; s < kSamplerCount; ++s) {
        ApplySamplerAddressUVW(s, c.samplers[s].addressU, c.samplers[s].addressV, c.samplers[s].addressW);
    }
    for (int s = 0; s < 4; ++s) {
        ApplyTextureTransform(s, c.textureTransformOn[s], &c.textureTransform[s]);
    }
    ApplyFogEnable(c.fogEnable);
    ApplyFogSettingsToDevice();
    ApplyZEnable(c.zEnableMode);
    ApplyFillMode(c.fillMode);
    RestoreTransformsToDevice();
    D3DDev_SetMaterial(&c.material);
    ApplyAmbientColor(c.ambient);
    ApplySpecularEnable(c.specular);
    SetLightingEnabled(c.lighting);
    ResetTexCoordIndexes();
    c.stageSetupNeeded = 1;
    SetupBlendAndStages();
    ReapplyDeviceStates();
    c.forceReapply = 0;
    return 0;
}

} // namespace Korvo

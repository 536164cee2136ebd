// Fog and light values for the device and for the shader constants.

#include "graphics/fog_light_constants.h"

#include "graphics/d3d_call_wrappers.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_settings.h"
#include "graphics/shader_constants.h"

#include <cmath>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Narrowest fog range and spot cone difference the constants are built with.
constexpr float kMinimumFogRange = 1e-4f;
constexpr float kMinimumConeDifference = 1e-4f;
constexpr float kEulerNumber = 2.7182817f;
constexpr int kFogVertexRegister = 10;
constexpr int kFogColourPixelRegister = 8;
constexpr int kLightVertexRegister = 14;
constexpr int kLightPixelRegister = 32;
constexpr int kLightRegisterStride = 7;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static DWORD FloatBits(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

static int ApplyCachedFloatState(float *cached, UINT state, float value)
{
    if (*cached == value && StateCache.forceReapply == 0) {
        return 0;
    }
    if (StateCache.forceReapply == 0) {
        FlushStagedVertices(0);
    }
    *cached = value;
    StateCache.drawStateDirty = 1;
    return D3DDev_SetRenderState(state, FloatBits(value)) < 0 ? -1 : 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

void ComputeFogConstants(float start, float end, float density, float out[4])
{
    float range = end - start;
    if (std::fabs(range) < kMinimumFogRange) {
        range = kMinimumFogRange;
    }
    out[0] = end / range;
    out[1] = -1.0f / range;
    out[2] = density;
    out[3] = kEulerNumber;
}

void ComputeSpotConstants(float theta, float phi, float out[2])
{
    float cosPhi = std::cos(phi / 2.0f);
    float difference = std::cos(theta / 2.0f) - cosPhi;
    if (std::fabs(difference) < kMinimumConeDifference) {
        difference = kMinimumConeDifference;
    }
    out[0] = cosPhi;
    out[1] = 1.0f / difference;
}

int ApplyFogSettingsToDevice()
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    DeviceStateCache &c = StateCache;
    ApplyCachedRenderState(&c.fogVertexMode, K_D3DRS_FOGVERTEXMODE, Draw.fogMode);
    int colour = static_cast<int>(Draw.fogColor);
    int cachedColour = static_cast<int>(c.fogColor);
    ApplyCachedRenderState(&cachedColour, K_D3DRS_FOGCOLOR, colour);
    c.fogColor = static_cast<K_D3DCOLOR>(cachedColour);
    ApplyCachedFloatState(&c.fogStart, K_D3DRS_FOGSTART, Draw.fogStart);
    ApplyCachedFloatState(&c.fogEnd, K_D3DRS_FOGEND, Draw.fogEnd);
    ApplyCachedFloatState(&c.fogDensity, K_D3DRS_FOGDENSITY, Draw.fogDensity);
    float fog[4];
    ComputeFogConstants(Draw.fogStart, Draw.fogEnd, Draw.fogDensity, fog);
    StoreShaderConstants(SHADER_FILE_VERTEX_FLOAT, 0, kFogVertexRegister, fog, 1, 1);
    float colourF[4] = {static_cast<float>((Draw.fogColor >> 16) & 0xFF) / 255.0f,
                        static_cast<float>((Draw.fogColor >> 8) & 0xFF) / 255.0f,
                        static_cast<float>(Draw.fogColor & 0xFF) / 255.0f, 1.0f};
    StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, 0, kFogColourPixelRegister, colourF, 1, 1);
    return 0;
}

int ApplyLight(const K_D3DLIGHT9 *light, int slot)
{
    if (G_D3D_HasDevice() == 0 || slot < 0) {
        return -1;
    }
    FlushStagedVertices(0);
    if (slot < 4) {
        float registers[7][4] = {};
        const K_D3DVECTOR &p = light->Position;
        const K_D3DVECTOR &d = light->Direction;
        float position[4] = {p.x, p.y, p.z, 1.0f};
        float direction[4] = {d.x, d.y, d.z, 0.0f};
        std::memcpy(registers[0], position, sizeof(position));
        std::memcpy(registers[1], direction, sizeof(direction));
        std::memcpy(registers[2], &light->Diffuse, 16);
        std::memcpy(registers[3], &light->Specular, 16);
        std::memcpy(registers[4], &light->Ambient, 16);
        registers[5][0] = light->Range * light->Range;
        registers[5][1] = light->Falloff;
        registers[5][2] = light->Attenuation0;
        registers[5][3] = light->Attenuation1;
        registers[6][0] = light->Attenuation2;
        ComputeSpotConstants(light->Theta, light->Phi, &registers[6][1]);
        StoreShaderConstants(SHADER_FILE_VERTEX_FLOAT, 0, kLightVertexRegister + kLightRegisterStride * slot, registers, 7, 1);
        StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, 0, kLightPixelRegister + kLightRegisterStride * slot, registers, 7, 1);
    }
    return D3DDev_SetLight(static_cast<DWORD>(slot), light) < 0 ? -1 : 0;
}

} // namespace Korvo

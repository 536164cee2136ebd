// Fog and light values for the device and for the shader constants.

#include "graphics/state/fog_light_constants.h"

#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/state/lighting_device.h"
#include "graphics/state/shader_constants.h"

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

int ApplyFogVertexMode(int mode)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    int result = ApplyCachedRenderState(&StateCache.fogVertexMode, K_D3DRS_FOGVERTEXMODE, mode);
    // Linear, exp, exp2 and "any fog" for the built-in vertex shader.
    int modes[4] = {mode == K_D3DFOG_LINEAR ? 1 : 0, mode == K_D3DFOG_EXP ? 1 : 0, mode == K_D3DFOG_EXP2 ? 1 : 0,
                    mode != K_D3DFOG_NONE ? 1 : 0};
    StoreShaderConstants(SHADER_FILE_VERTEX_BOOL, 0, 0, modes, 4, 1);
    RefreshLightingShaderKeys();
    return result;
}

int ApplyFogColor(K_D3DCOLOR colour)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    int cached = static_cast<int>(StateCache.fogColor);
    int result = ApplyCachedRenderState(&cached, K_D3DRS_FOGCOLOR, static_cast<int>(colour));
    StateCache.fogColor = static_cast<K_D3DCOLOR>(cached);
    float colourF[4] = {static_cast<float>((colour >> 16) & 0xFF) / 255.0f,
                        static_cast<float>((colour >> 8) & 0xFF) / 255.0f, static_cast<float>(colour & 0xFF) / 255.0f,
                        1.0f};
    StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, 0, kFogColourPixelRegister, colourF, 1, 1);
    return result;
}

static void StoreFogVertexConstant()
{
    float fog[4];
    ComputeFogConstants(StateCache.fogStart, StateCache.fogEnd, StateCache.fogDensity, fog);
    StoreShaderConstants(SHADER_FILE_VERTEX_FLOAT, 0, kFogVertexRegister, fog, 1, 1);
}

int ApplyFogStartEnd(float start, float end)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    int result = ApplyCachedFloatState(&StateCache.fogStart, K_D3DRS_FOGSTART, start);
    result |= ApplyCachedFloatState(&StateCache.fogEnd, K_D3DRS_FOGEND, end);
    StoreFogVertexConstant();
    return result;
}

int ApplyFogDensity(float density)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    int result = ApplyCachedFloatState(&StateCache.fogDensity, K_D3DRS_FOGDENSITY, density);
    StoreFogVertexConstant();
    return result;
}

int ApplyFogSettingsToDevice()
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    int result = ApplyFogVertexMode(Draw.fogMode);
    result |= ApplyFogColor(Draw.fogColor);
    result |= ApplyFogStartEnd(Draw.fogStart, Draw.fogEnd);
    result |= ApplyFogDensity(Draw.fogDensity);
    return result;
}

int SetFogModeSetting(int mode)
{
    if (Draw.fogMode == mode && (G_D3D_HasDevice() == 0 || StateCache.fogVertexMode == mode)) {
        return 0;
    }
    FlushStagedVertices(0);
    Draw.fogMode = mode;
    return G_D3D_HasDevice() != 0 ? ApplyFogVertexMode(mode) : 0;
}

int SetFogColourSetting(int red, int green, int blue)
{
    K_D3DCOLOR colour = 0xFF000000u | (static_cast<K_D3DCOLOR>(red & 0xFF) << 16) |
                        (static_cast<K_D3DCOLOR>(green & 0xFF) << 8) | static_cast<K_D3DCOLOR>(blue & 0xFF);
    if (Draw.fogColor == colour && (G_D3D_HasDevice() == 0 || StateCache.fogColor == colour)) {
        return 0;
    }
    FlushStagedVertices(0);
    Draw.fogColor = colour;
    return G_D3D_HasDevice() != 0 ? ApplyFogColor(colour) : 0;
}

int SetFogRangeSetting(float start, float end)
{
    bool stored = Draw.fogStart == start && Draw.fogEnd == end;
    if (stored && (G_D3D_HasDevice() == 0 || (StateCache.fogStart == start && StateCache.fogEnd == end))) {
        return 0;
    }
    FlushStagedVertices(0);
    Draw.fogStart = start;
    Draw.fogEnd = end;
    return G_D3D_HasDevice() != 0 ? ApplyFogStartEnd(start, end) : 0;
}

int SetFogEnableSetting(int enable)
{
    Draw.fogEnable = enable != 0 ? 1 : 0;
    StateCache.drawStateDirty = 1;
    return 0;
}

} // namespace Korvo

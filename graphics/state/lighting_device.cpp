// Device light slots, material and ambient colour through the cache, with their
// shader-constant mirrors.

#include "graphics/state/lighting_device.h"

#include "core/math/vector_math.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/state/fog_light_constants.h"
#include "graphics/device/graphics_state.h"
#include "graphics/state/shader_constants.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and module globals
// ---------------------------------------------------------------------------

constexpr int kAmbientRegister = 1;            // vertex and pixel float
constexpr int kMaterialVertexRegister = 11;    // diffuse, ambient, specular with power
constexpr int kMaterialPixelRegister = 2;
constexpr int kLightColourPixelRegister = 9;   // diffuse, specular, ambient per slot
constexpr int kLightColourPixelStride = 3;
constexpr int kLightVertexRegister = 14;       // seven registers per slot
constexpr int kLightPixelRegister = 32;
constexpr int kLightRegisterStride = 7;
constexpr int kLightAmbientOffset = 4;         // the ambient register inside the seven
constexpr int kLightEnableBoolRegister = 4;    // enable, point or spot, spot per slot
constexpr int kLightBoolStride = 3;
constexpr uint32_t kPointLight = 1;
constexpr uint32_t kSpotLight = 2;

struct LightSlots {
    K_D3DLIGHT9 lights[kDeviceLightSlots];
    int enabled[kDeviceLightSlots];
    int highestEnabled;
};

static LightSlots Slots = {{}, {}, -1};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void ColourToFloats(const K_D3DCOLORVALUE &colour, float out[4])
{
    out[0] = colour.r;
    out[1] = colour.g;
    out[2] = colour.b;
    out[3] = colour.a;
}

static void MultiplyColours(const K_D3DCOLORVALUE &a, const K_D3DCOLORVALUE &b, float out[4])
{
    out[0] = a.r * b.r;
    out[1] = a.g * b.g;
    out[2] = a.b * b.b;
    out[3] = a.a * b.a;
}

static void StoreBools(int first, const int *values, int count)
{
    StoreShaderConstants(SHADER_FILE_VERTEX_BOOL, 0, first, values, count, 1);
}

// The shaders light in view space: position (w 1) and direction (w 0).
static void ComputeViewSpaceLight(const K_D3DLIGHT9 *light, const RowMatrix4 *view, float registers[2][4])
{
    XyzVector position = {light->Position.x, light->Position.y, light->Position.z};
    XyzVector direction = {light->Direction.x, light->Direction.y, light->Direction.z};
    XyzVector viewPosition, viewDirection;
    TransformPointByMatrix(&viewPosition, &position, view);
    TransformDirectionByMatrix(&viewDirection, &direction, view);
    const float values[2][4] = {{viewPosition.x, viewPosition.y, viewPosition.z, 1.0f},
                                {viewDirection.x, viewDirection.y, viewDirection.z, 0.0f}};
    std::memcpy(registers, values, sizeof(values));
}

static void LowerHighestEnabled()
{
    while (Slots.highestEnabled >= 0 && Slots.enabled[Slots.highestEnabled] == 0) {
        --Slots.highestEnabled;
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int ApplyLight(const K_D3DLIGHT9 *light, int slot)
{
    if (G_D3D_HasDevice() == 0 || light == nullptr || slot < 0) {
        return -1;
    }
    FlushStagedVertices(0);
    if (slot < kDeviceLightSlots) {
        Slots.lights[slot] = *light;
    }
    if (slot < kShaderLightSlots) {
        float registers[7][4] = {};
        ComputeViewSpaceLight(light, &StateCache.view, registers);
        ColourToFloats(light->Diffuse, registers[2]);
        ColourToFloats(light->Specular, registers[3]);
        ColourToFloats(light->Ambient, registers[4]);
        registers[5][0] = light->Range * light->Range;
        registers[5][1] = light->Falloff;
        registers[5][2] = light->Attenuation0;
        registers[5][3] = light->Attenuation1;
        registers[6][0] = light->Attenuation2;
        ComputeSpotConstants(light->Theta, light->Phi, &registers[6][1]);
        StoreShaderConstants(SHADER_FILE_VERTEX_FLOAT, 0, kLightVertexRegister + kLightRegisterStride * slot, registers,
                             7, 1);
        StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, 0, kLightPixelRegister + kLightRegisterStride * slot, registers,
                             7, 1);
        StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, 0, kLightColourPixelRegister + kLightColourPixelStride * slot,
                             registers[2], 3, 1);
        UploadLightColours();
        int kinds[2] = {light->Type == kPointLight || light->Type == kSpotLight ? 1 : 0,
                        light->Type == kSpotLight ? 1 : 0};
        StoreBools(kLightEnableBoolRegister + kLightBoolStride * slot + 1, kinds, 2);
    }
    RefreshLightingShaderKeys();
    return D3DDev_SetLight(static_cast<DWORD>(slot), light) < 0 ? -1 : 0;
}

void RefreshLightViewConstants(const RowMatrix4 *view)
{
    for (int slot = 0; slot < kShaderLightSlots; ++slot) {
        // A slot no light was ever set into keeps its registers.
        if (Slots.lights[slot].Type == 0) {
            continue;
        }
        float registers[2][4] = {};
        ComputeViewSpaceLight(&Slots.lights[slot], view, registers);
        StoreShaderConstants(SHADER_FILE_VERTEX_FLOAT, 0, kLightVertexRegister + kLightRegisterStride * slot, registers,
                             2, 1);
        StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, 0, kLightPixelRegister + kLightRegisterStride * slot, registers,
                             2, 1);
    }
}

int ApplyLightEnable(int slot, int enable)
{
    if (G_D3D_HasDevice() == 0 || slot < 0) {
        return -1;
    }
    FlushStagedVertices(0);
    int on = enable != 0 ? 1 : 0;
    if (slot < kDeviceLightSlots) {
        Slots.enabled[slot] = on;
        if (on != 0 && slot > Slots.highestEnabled) {
            Slots.highestEnabled = slot;
        } else if (on == 0 && slot == Slots.highestEnabled) {
            LowerHighestEnabled();
        }
    }
    UploadLightColours();
    if (slot < kShaderLightSlots) {
        StoreBools(kLightEnableBoolRegister + kLightBoolStride * slot, &on, 1);
    }
    RefreshLightingShaderKeys();
    return D3DDev_LightEnable(static_cast<DWORD>(slot), on != 0 ? TRUE : FALSE) < 0 ? -1 : 0;
}

int ApplyMaterial(const K_D3DMATERIAL9 *material)
{
    if (G_D3D_HasDevice() == 0 || material == nullptr) {
        return -1;
    }
    if (std::memcmp(&StateCache.material, material, sizeof(*material)) == 0 && StateCache.forceReapply == 0) {
        return 0;
    }
    FlushStagedVertices(0);
    StateCache.material = *material;
    float registers[3][4];
    ColourToFloats(material->Diffuse, registers[0]);
    ColourToFloats(material->Ambient, registers[1]);
    ColourToFloats(material->Specular, registers[2]);
    registers[2][3] = material->Power;
    StoreShaderConstants(SHADER_FILE_VERTEX_FLOAT, 0, kMaterialVertexRegister, registers, 3, 1);
    StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, 0, kMaterialPixelRegister, registers, 3, 1);
    UploadLightColours();
    StateCache.drawStateDirty = 1;
    return D3DDev_SetMaterial(material) < 0 ? -1 : 0;
}

int ApplyAmbientColor(K_D3DCOLOR colour)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    if (StateCache.ambient == colour && StateCache.forceReapply == 0) {
        return 0;
    }
    FlushStagedVertices(0);
    StateCache.ambient = colour;
    StateCache.ambientF[0] = static_cast<float>((colour >> 16) & 0xFF) / 255.0f;
    StateCache.ambientF[1] = static_cast<float>((colour >> 8) & 0xFF) / 255.0f;
    StateCache.ambientF[2] = static_cast<float>(colour & 0xFF) / 255.0f;
    StateCache.ambientF[3] = static_cast<float>(colour >> 24) / 255.0f;
    UploadLightColours();
    StateCache.drawStateDirty = 1;
    return D3DDev_SetRenderState(K_D3DRS_AMBIENT, colour) < 0 ? -1 : 0;
}

void UploadLightColours()
{
    const K_D3DMATERIAL9 &material = StateCache.material;
    for (int slot = 0; slot <= Slots.highestEnabled && slot < kShaderLightSlots; ++slot) {
        if (Slots.enabled[slot] == 0) {
            continue;
        }
        float ambient[4];
        MultiplyColours(Slots.lights[slot].Ambient, material.Ambient, ambient);
        int group = kLightRegisterStride * slot + kLightAmbientOffset;
        StoreShaderConstants(SHADER_FILE_VERTEX_FLOAT, 0, kLightVertexRegister + group, ambient, 1, 1);
        StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, 0, kLightPixelRegister + group, ambient, 1, 1);
        StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, 0,
                             kLightColourPixelRegister + kLightColourPixelStride * slot + 2, ambient, 1, 1);
    }
    const float *global = StateCache.ambientF;
    const K_D3DCOLORVALUE &a = material.Ambient;
    const K_D3DCOLORVALUE &e = material.Emissive;
    float total[4] = {global[0] * a.r + e.r, global[1] * a.g + e.g, global[2] * a.b + e.b, global[3] * a.a + e.a};
    StoreShaderConstants(SHADER_FILE_VERTEX_FLOAT, 0, kAmbientRegister, total, 1, 1);
    StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, 0, kAmbientRegister, total, 1, 1);
}

void ComputeLightingShaderKeys(int lighting, const int types[3], int fogMode, int keys[2])
{
    int t[3] = {0, 0, 0};
    int any = 0;
    for (int i = 0; i < 3 && lighting != 0; ++i) {
        t[i] = types[i] >= 1 && types[i] <= 3 ? types[i] : 0;
        any = any != 0 || t[i] != 0 ? 1 : 0;
    }
    // Directional lights are the second kind of the B key, point and spot the first.
    auto u = [](int type) { return type == 3 ? 2 : (type != 0 ? 1 : 0); };
    keys[0] = 0x6000 * lighting + 4096 * any + 128 * t[0] + 32 * t[1] + 8 * t[2] + 512 * fogMode;
    keys[1] = 1728 * lighting + 432 * any + 72 * u(t[0]) + 24 * u(t[1]) + 8 * u(t[2]);
}

void RefreshLightingShaderKeys()
{
    if (GraphicsState.programmableShader == 0) {
        return;
    }
    int types[3];
    for (int slot = 0; slot < 3; ++slot) {
        types[slot] = Slots.enabled[slot] != 0 ? static_cast<int>(Slots.lights[slot].Type) : 0;
    }
    int fogMode = StateCache.fogEnable != 0 ? StateCache.fogVertexMode : 0;
    ComputeLightingShaderKeys(StateCache.lighting != 0 ? 1 : 0, types, fogMode, StateCache.lightingKeys);
}

int GetHighestEnabledLightSlot()
{
    return Slots.highestEnabled;
}

} // namespace Korvo

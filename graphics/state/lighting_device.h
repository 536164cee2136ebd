// The device half of lighting: light slots, the material and the global ambient
// colour, each cached and mirrored into the library's shader constants so that
// the built-in shaders light like the fixed-function pipeline.
#pragma once

#include "core/math/vector_math.h"
#include "graphics/device/d3d9_types.h"

namespace Korvo {

constexpr int kDeviceLightSlots = 256;
// Light slots whose values also go to the shader constants.
constexpr int kShaderLightSlots = 4;

// Set one device light (slots 0-3 also into the shader constants); 0, or -1
// without a device or when the device refuses it
int ApplyLight(const K_D3DLIGHT9 *light, int slot);
// The view-space position and direction registers of the shader light slots
// again, for a new view matrix
void RefreshLightViewConstants(const RowMatrix4 *view);
// Switch one device light on or off (keeping the highest enabled slot); 0 or -1
int ApplyLightEnable(int slot, int enable);
// The material (unchanged: nothing, unless states are forced); 0 or -1
int ApplyMaterial(const K_D3DMATERIAL9 *material);
// The global ambient colour 0xAARRGGBB; 0 or -1
int ApplyAmbientColor(K_D3DCOLOR colour);
// Light ambient x material ambient of every enabled shader slot, and global
// ambient x material ambient + emissive, into the shader constants
void UploadLightColours();
// The keys that pick a lit built-in vertex shader from lighting, the first three
// slots' light types and the fog mode (programmable shaders only)
void RefreshLightingShaderKeys();
// Key A and key B for lighting on/off, the light types of slots 0-2 (0 when
// disabled) and the fog vertex mode (0 when fog is off)
void ComputeLightingShaderKeys(int lighting, const int types[3], int fogMode, int keys[2]);
// The highest enabled device light slot, -1 none
int GetHighestEnabledLightSlot();

} // namespace Korvo

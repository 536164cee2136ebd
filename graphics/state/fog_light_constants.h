// Fog and light values as the device and the built-in shaders take them.
#pragma once

#include "graphics/device/d3d9_types.h"

namespace Korvo {

// Linear fog as factor = a + b x distance: a = end / (end - start), b = -1 / (end - start);
// then density and e. An empty range is taken as a very narrow one (a sharp edge at end)
void ComputeFogConstants(float start, float end, float density, float out[4]);
// Spot cone terms: cos(phi / 2) and 1 / (cos(theta / 2) - cos(phi / 2)); equal cones
// (the default light's theta = phi) give a sharp edge instead of a division by zero
void ComputeSpotConstants(float theta, float phi, float out[2]);
// Send fog mode, colour, range and density from DrawSettings through the cache
int ApplyFogSettingsToDevice();
// Device halves (cached; each also keeps its shader constants): the fog vertex
// mode (and the four fog-mode bools), the colour, start and end, the density
int ApplyFogVertexMode(int mode);
int ApplyFogColor(K_D3DCOLOR colour);
int ApplyFogStartEnd(float start, float end);
int ApplyFogDensity(float density);
// Fog settings of later draws (applied at once in Direct3D mode); 0, -1 when the device refuses
int SetFogModeSetting(int mode);
int SetFogColourSetting(int red, int green, int blue);
int SetFogRangeSetting(float start, float end);
// Fog for draws that ask for it (draw flag 0x80); 0
int SetFogEnableSetting(int enable);

} // namespace Korvo

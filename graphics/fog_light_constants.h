// Fog and light values as the device and the built-in shaders take them.
#pragma once

#include "graphics/d3d9_types.h"

namespace Korvo {

// Linear fog as factor = a + b x distance: a = end / (end - start), b = -1 / (end - start);
// then density and e. An empty range is taken as a very narrow one (a sharp edge at end)
void ComputeFogConstants(float start, float end, float density, float out[4]);
// Spot cone terms: cos(phi / 2) and 1 / (cos(theta / 2) - cos(phi / 2)); equal cones
// (the default light's theta = phi) give a sharp edge instead of a division by zero
void ComputeSpotConstants(float theta, float phi, float out[2]);
// Send fog mode, colour, range and density from DrawSettings through the cache
int ApplyFogSettingsToDevice();
// Set one device light (slots 0-3 also into the shader constants); 0, or -1 without a device
int ApplyLight(const K_D3DLIGHT9 *light, int slot);

} // namespace Korvo

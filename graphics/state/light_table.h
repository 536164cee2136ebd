// The library's lights: a private table of light handles (kind 11, at most
// 4096) and their mapping onto device light slots before a lit draw.
#pragma once

#include "core/math/vector_math.h"
#include "graphics/device/d3d9_types.h"

namespace Korvo {

constexpr int kMaxLights = 4096;

// A new enabled light with the default values; its handle, or -1 when the table is full
int CreateLightRecord();
// A directional light along the direction (made unit length); handle or -1
int CreateDirectionalLight(XyzVector direction);
// Delete a light; -1 for a handle that names no live light
int DestroyLightHandle(int handle);
// Delete every light but the default one; 0
int DeleteAllLights();
// Give enabled lights device slots (directional, then spot, then point lights)
// and send the changed ones; 0
int UpdateLightTable();
// The light of a handle (null when invalid); its device slot (-1 none)
K_D3DLIGHT9 *GetLightValues(int handle, int *slot);
// Live count and high-water count of the table
int GetLightCounts(int *highWater);
// Lighting for lit draws on (1) or off; the lights are sent again; 0
int SetUseLighting(int flag);
// Make the default light again (a directional light towards (1, -1, 1)); its handle
int ResetDefaultLight();
// Delete every light, the default one included (graphics shut-down); 0
int DeleteEveryLight();
// Mark every light to be sent again (after a device rebuild)
void RefreshAllLights();
// The default light made by the draw-settings reset; -1 none
extern int DefaultLightHandle;

} // namespace Korvo

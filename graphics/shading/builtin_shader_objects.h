// The library's own shader objects, made from the built-in shader images at
// each DirectX start: one vertex shader, one plain pixel shader, four pixel
// shaders for draws without texture, 64 for the blend set-up, one for masks.
#pragma once

#include "graphics/device/d3d9_types.h"

namespace Korvo {

struct BuiltinShaderObjects {
    K_IDirect3DVertexShader9 *vertex;
    K_IDirect3DPixelShader9 *plain;
    K_IDirect3DPixelShader9 *noTexture[4];
    K_IDirect3DPixelShader9 *blend[64];  // [blend kind][type][ignore colour][ignore alpha]
    K_IDirect3DPixelShader9 *mask;
};
extern BuiltinShaderObjects BuiltinShaders;

// Release the old objects and make them all; sets the programmable-shader flag
// and logs whether programmable shaders are used; 0
int CreateBuiltinShaderObjects();
// Release every built-in object; 0
int ReleaseBuiltinShaderObjects();
// The blend shader of a blend kind (0-3), type (0-3), ignore-colour and ignore-alpha flag
K_IDirect3DPixelShader9 *GetBuiltinBlendShader(int blend, int type, int ignoreColour, int ignoreAlpha);

} // namespace Korvo

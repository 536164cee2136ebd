// Drawing with the caller's own shaders (selected with SelectUserVertexShader,
// SelectUserPixelShader and SelectShaderTexture).
#pragma once

#include <cstdint>

namespace Korvo {

// Set the device up for a draw with the selected shaders: the draw flags (plus
// keep-shaders, user addressing, specular and no blend set-up; culling in 3-D),
// constant layers 0 and 1 (filterLayer set) or 0 and 3, the blend mode's render
// states, the selected textures in stages 0-7, and either the fixed vertex format
// (declarationSlot -1) or that declaration with the selected vertex shader.
// The result of binding the selected pixel shader (-1 when none is valid)
int PrepareUserShaderDraw(uint32_t flags, int twoD, int filterLayer, int declarationSlot);

} // namespace Korvo

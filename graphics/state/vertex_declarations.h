// The fixed vertex declarations of drawing with shaders: 54 model layouts
// (tangent space or not, 0, 4 or 8 bone weights, 0 to 8 extra coordinates) and
// the two 3-D vertex layouts.
#pragma once

#include "graphics/device/d3d9_types.h"

namespace Korvo {

constexpr int kModelDeclarationCount = 54;
// Elements of the longest declaration, its end marker included.
constexpr int kMaxDeclarationElements = 19;

// Fill the elements of model declaration index (tangent x 3 + skinning) x 9 + extra;
// the element count (end marker included), and the vertex size in bytes through size
int BuildModelDeclaration(int index, K_D3DVERTEXELEMENT9 *elements, int *size);
// Create the 54 model declarations and the two 3-D ones (failed ones stay null); 0
int CreateVertexDeclarations();
// Declaration slots of user-shader drawing: the two 3-D layouts, then the model ones.
enum : int {
    DECLARATION_SLOT_3D_VERTEX = 0,
    DECLARATION_SLOT_3D_SHADER_VERTEX = 1,
    DECLARATION_SLOT_FIRST_MODEL = 2,
    DECLARATION_SLOT_COUNT = DECLARATION_SLOT_FIRST_MODEL + kModelDeclarationCount,
};
// The declaration of a slot; null for a slot out of range or not made
K_IDirect3DVertexDeclaration9 *GetVertexDeclarationOfSlot(int slot);
// Unbind the shaders and release every declaration (nothing without a device); 0
int ReleaseVertexDeclarations();

} // namespace Korvo

// The vertex declarations of shader drawing, built from their layout tables.

#include "graphics/state/vertex_declarations.h"

#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and types
// ---------------------------------------------------------------------------

enum : BYTE {
    DECL_FLOAT2 = 1,
    DECL_FLOAT3 = 2,
    DECL_FLOAT4 = 3,
    DECL_COLOR = 4,
    DECL_UBYTE4 = 5,
    USAGE_POSITION = 0,
    USAGE_BLENDWEIGHT = 1,
    USAGE_BLENDINDICES = 2,
    USAGE_NORMAL = 3,
    USAGE_TEXCOORD = 5,
    USAGE_TANGENT = 6,
    USAGE_BINORMAL = 7,
    USAGE_COLOR = 10,
};

struct ElementLayout {
    BYTE usage;
    BYTE usageIndex;
    BYTE type;
};

static const int kTypeBytes[6] = {4, 8, 12, 16, 4, 4};

// Base layouts by (tangent, skinning); offsets follow from the element sizes.
static const ElementLayout kBone4[] = {{USAGE_BLENDINDICES, 0, DECL_UBYTE4}, {USAGE_BLENDWEIGHT, 0, DECL_FLOAT4}};
static const ElementLayout kBone8[] = {{USAGE_BLENDINDICES, 0, DECL_UBYTE4},
                                     {USAGE_BLENDINDICES, 1, DECL_UBYTE4},
                                     {USAGE_BLENDWEIGHT, 0, DECL_FLOAT4},
                                     {USAGE_BLENDWEIGHT, 1, DECL_FLOAT4}};
static const ElementLayout kTangentSpace[] = {{USAGE_TANGENT, 0, DECL_FLOAT3}, {USAGE_BINORMAL, 0, DECL_FLOAT3}};
static const ElementLayout kNormalAndColours[] = {
    {USAGE_NORMAL, 0, DECL_FLOAT3}, {USAGE_COLOR, 0, DECL_COLOR}, {USAGE_COLOR, 1, DECL_COLOR}};

static const ElementLayout k3DVertex[] = {{USAGE_POSITION, 0, DECL_FLOAT3}, {USAGE_NORMAL, 0, DECL_FLOAT3},
                                        {USAGE_COLOR, 0, DECL_COLOR},     {USAGE_COLOR, 1, DECL_COLOR},
                                        {USAGE_TEXCOORD, 0, DECL_FLOAT2}, {USAGE_TEXCOORD, 1, DECL_FLOAT2}};
static const ElementLayout k3DShaderVertex[] = {
    {USAGE_POSITION, 0, DECL_FLOAT3}, {USAGE_POSITION, 1, DECL_FLOAT4}, {USAGE_NORMAL, 0, DECL_FLOAT3},
    {USAGE_TANGENT, 0, DECL_FLOAT3},  {USAGE_BINORMAL, 0, DECL_FLOAT3}, {USAGE_COLOR, 0, DECL_COLOR},
    {USAGE_COLOR, 1, DECL_COLOR},     {USAGE_TEXCOORD, 0, DECL_FLOAT2}, {USAGE_TEXCOORD, 1, DECL_FLOAT2}};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static K_IDirect3DVertexDeclaration9 *ModelDeclarations[kModelDeclarationCount];
static K_IDirect3DVertexDeclaration9 *Vertex3DDeclaration;
static K_IDirect3DVertexDeclaration9 *ShaderVertex3DDeclaration;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Append layouts at the running offset.
static void AppendElements(const ElementLayout *layouts, int count, K_D3DVERTEXELEMENT9 *elements, int *n, int *offset)
{
    for (int i = 0; i < count; ++i) {
        elements[*n] = K_D3DVERTEXELEMENT9{0, static_cast<WORD>(*offset), layouts[i].type, 0, layouts[i].usage,
                                           layouts[i].usageIndex};
        *offset += kTypeBytes[layouts[i].type];
        *n += 1;
    }
}

static int EndDeclaration(K_D3DVERTEXELEMENT9 *elements, int n)
{
    elements[n] = K_D3DVERTEXELEMENT9{0xFF, 0, 17, 0, 0, 0};
    return n + 1;
}

static int BuildFixedDeclaration(const ElementLayout *layouts, int count, K_D3DVERTEXELEMENT9 *elements)
{
    int n = 0;
    int offset = 0;
    AppendElements(layouts, count, elements, &n, &offset);
    return EndDeclaration(elements, n);
}

template <typename T>
static void ReleaseDeclaration(T *&declaration)
{
    if (declaration != nullptr) {
        D3DRes_Release(declaration);
        declaration = nullptr;
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int BuildModelDeclaration(int index, K_D3DVERTEXELEMENT9 *elements, int *size)
{
    if (index < 0 || index >= kModelDeclarationCount) {
        return 0;
    }
    int extra = index % 9;
    int skinning = (index / 9) % 3;
    int tangent = index / 27;
    int n = 0;
    int offset = 0;
    static const ElementLayout kPosition = {USAGE_POSITION, 0, DECL_FLOAT3};
    AppendElements(&kPosition, 1, elements, &n, &offset);
    if (skinning == 1) {
        AppendElements(kBone4, 2, elements, &n, &offset);
    } else if (skinning == 2) {
        AppendElements(kBone8, 4, elements, &n, &offset);
    }
    if (tangent != 0) {
        AppendElements(kTangentSpace, 2, elements, &n, &offset);
    }
    AppendElements(kNormalAndColours, 3, elements, &n, &offset);
    for (int k = 0; k < extra; ++k) {
        ElementLayout coordinate = {USAGE_TEXCOORD, static_cast<BYTE>(k), DECL_FLOAT4};
        AppendElements(&coordinate, 1, elements, &n, &offset);
    }
    if (size != nullptr) {
        *size = offset;
    }
    return EndDeclaration(elements, n);
}

int CreateVertexDeclarations()
{
    ReleaseVertexDeclarations();
    K_D3DVERTEXELEMENT9 elements[kMaxDeclarationElements];
    for (int i = 0; i < kModelDeclarationCount; ++i) {
        BuildModelDeclaration(i, elements, nullptr);
        D3DDev_CreateVertexDeclaration(elements, &ModelDeclarations[i]);
    }
    BuildFixedDeclaration(k3DVertex, 6, elements);
    D3DDev_CreateVertexDeclaration(elements, &Vertex3DDeclaration);
    BuildFixedDeclaration(k3DShaderVertex, 9, elements);
    D3DDev_CreateVertexDeclaration(elements, &ShaderVertex3DDeclaration);
    return 0;
}

K_IDirect3DVertexDeclaration9 *GetVertexDeclarationOfSlot(int slot)
{
    if (slot == DECLARATION_SLOT_3D_VERTEX) {
        return Vertex3DDeclaration;
    }
    if (slot == DECLARATION_SLOT_3D_SHADER_VERTEX) {
        return ShaderVertex3DDeclaration;
    }
    if (slot >= DECLARATION_SLOT_FIRST_MODEL && slot < DECLARATION_SLOT_COUNT) {
        return ModelDeclarations[slot - DECLARATION_SLOT_FIRST_MODEL];
    }
    return nullptr;
}

int ReleaseVertexDeclarations()
{
    if (G_D3D_HasDevice() == 0) {
        return 0;
    }
    D3DDev_SetVertexShader(nullptr);
    D3DDev_SetPixelShader(nullptr);
    StateCache.vertexShader = nullptr;
    StateCache.pixelShader = nullptr;
    StateCache.vertexDeclaration = nullptr;
    StateCache.blendPixelShaderBound = 0;
    for (K_IDirect3DVertexDeclaration9 *&declaration : ModelDeclarations) {
        ReleaseDeclaration(declaration);
    }
    ReleaseDeclaration(Vertex3DDeclaration);
    ReleaseDeclaration(ShaderVertex3DDeclaration);
    return 0;
}

} // namespace Korvo

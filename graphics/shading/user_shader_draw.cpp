// The device set-up of a draw with the caller's own shaders: its textures, its
// vertex layout and shaders, the blend mode's render states and the caller's
// constant layer.

#include "graphics/shading/user_shader_draw.h"

#include "graphics/shading/blend_stages.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/draw_settings.h"
#include "graphics/device/graphics_state.h"
#include "graphics/state/shader_constants.h"
#include "graphics/shading/shader_handles.h"
#include "graphics/state/vertex_declarations.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr DWORD kUserShaderVertexFormat2D = 0x2C4;  // XYZRHW, diffuse, specular, two coordinates
constexpr DWORD kUserShaderVertexFormat3D = 0x2D2;  // XYZ, normal, diffuse, specular, two coordinates
constexpr int kUserShaderAlphaRef = 8;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Render states of the blend mode and the selected textures, one stage per slot.
static void BuildUserShaderStages(CustomStageRecord *record)
{
    *record = CustomStageRecord{};
    int mode = Draw.blendMode >= 0 && Draw.blendMode < kBlendModeCount ? Draw.blendMode : 0;
    BlendFactorRow row = BlendFactorTable[mode];
    if (mode == 3 && DeviceCaps.blendOp != 0) {
        row = BlendFactorRow{K_D3DBLEND_ONE, K_D3DBLEND_SRCALPHA, 0, K_D3DBLENDOP_REVSUBTRACT};
    }
    record->alphaTestEnable = 1;
    record->alphaRef = kUserShaderAlphaRef;
    record->alphaFunc = K_D3DCMP_GREATER;
    record->alphaBlendEnable = BlendModeUsesAlpha(mode);
    record->textureFactor = StateCache.textureFactor;
    record->srcBlend = row.srcBlend;
    record->destBlend = row.destBlend;
    record->blendOp = row.blendOp;
    for (int s = 0; s < kStageCount; ++s) {
        CustomStage &stage = record->stages[s];
        stage = CustomStage{static_cast<uintptr_t>(UserShaders.textures[s]), s, 0, -1, -1, -1, -1, -1, -1};
        if (UserShaders.textures[s] != 0) {
            record->stageCount = s + 1;
        }
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int PrepareUserShaderDraw(uint32_t flags, int twoD, int filterLayer, int declarationSlot)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    flags |= DRAW_FLAG_KEEP_SHADERS | DRAW_FLAG_USER_ADDRESSING | DRAW_FLAG_SPECULAR | DRAW_FLAG_SKIP_BLEND;
    if (twoD == 0) {
        flags |= DRAW_FLAG_CULLING;
    }
    PrepareDrawStatesIfNeeded(nullptr, flags);
    SelectConstantLayers(filterLayer != 0 ? 0x3 : 0x9);
    StoreAlphaTestModeKey(Draw.alphaTestMode, Draw.alphaTestParam);
    CustomStageRecord record;
    BuildUserShaderStages(&record);
    SetupBlendAndStages(1, &record, 1);
    ResetTexCoordIndexes();
    K_IDirect3DVertexDeclaration9 *declaration = GetVertexDeclarationOfSlot(declarationSlot);
    if (declarationSlot < 0 || declaration == nullptr) {
        DWORD fvf = twoD != 0 ? kUserShaderVertexFormat2D : kUserShaderVertexFormat3D;
        if (StateCache.vertexShader != nullptr) {
            D3DDev_SetVertexShader(nullptr);
            StateCache.vertexShader = nullptr;
        }
        if (StateCache.fvf != fvf || StateCache.vertexDeclaration != nullptr) {
            StateCache.fvf = fvf;
            StateCache.vertexDeclaration = nullptr;
            D3DDev_SetFVF(fvf);
        }
    } else {
        if (StateCache.vertexDeclaration != declaration) {
            StateCache.vertexDeclaration = declaration;
            StateCache.fvf = 0;
            D3DDev_SetVertexDeclaration(declaration);
        }
        BindVertexShaderHandle(UserShaders.vertexShader);
    }
    return BindPixelShaderHandle(UserShaders.pixelShader);
}

} // namespace Korvo

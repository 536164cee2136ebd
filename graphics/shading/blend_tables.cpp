// Fixed data of the blend modes: the factor table and the stage programmes of
// textured draws.

#include "graphics/shading/blend_stages.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

const BlendFactorRow BlendFactorTable[kBlendModeCount] = {
    {-1, -1, 0, K_D3DBLENDOP_ADD},                                             // 0 none
    {K_D3DBLEND_INVSRCALPHA, K_D3DBLEND_SRCALPHA, 0, K_D3DBLENDOP_ADD},        // 1 alpha
    {K_D3DBLEND_ONE, K_D3DBLEND_SRCALPHA, 0, K_D3DBLENDOP_ADD},                // 2 add
    {K_D3DBLEND_ZERO, K_D3DBLEND_INVDESTCOLOR, 0, K_D3DBLENDOP_ADD},           // 3 subtract (emulated)
    {K_D3DBLEND_SRCCOLOR, K_D3DBLEND_ZERO, 0, K_D3DBLENDOP_ADD},               // 4 multiply
    {K_D3DBLEND_ONE, K_D3DBLEND_SRCALPHA, 0, K_D3DBLENDOP_ADD},                // 5
    {-1, -1, 0, K_D3DBLENDOP_ADD},                                             // 6
    {-1, -1, 0, K_D3DBLENDOP_ADD},                                             // 7
    {K_D3DBLEND_ONE, K_D3DBLEND_ZERO, 0, K_D3DBLENDOP_ADD},                    // 8
    {K_D3DBLEND_ZERO, K_D3DBLEND_INVDESTCOLOR, 0, K_D3DBLENDOP_ADD},           // 9 invert
    {K_D3DBLEND_INVSRCALPHA, K_D3DBLEND_SRCALPHA, 2, K_D3DBLENDOP_ADD},        // 10
    {K_D3DBLEND_SRCCOLOR, K_D3DBLEND_ZERO, 1, K_D3DBLENDOP_ADD},               // 11
    {K_D3DBLEND_INVSRCALPHA, K_D3DBLEND_SRCALPHA, 3, K_D3DBLENDOP_ADD},        // 12
    {K_D3DBLEND_ONE, K_D3DBLEND_SRCALPHA, 3, K_D3DBLENDOP_ADD},                // 13
    {K_D3DBLEND_ZERO, K_D3DBLEND_ONE, 0, K_D3DBLENDOP_ADD},                    // 14
    {K_D3DBLEND_INVSRCALPHA, K_D3DBLEND_ONE, 0, K_D3DBLENDOP_ADD},             // 15 premultiplied alpha
    {K_D3DBLEND_ONE, K_D3DBLEND_SRCALPHA, 0, K_D3DBLENDOP_REVSUBTRACT},        // 16
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int BlendModeUsesAlpha(int mode)
{
    return mode != 0 && mode != 6 ? 1 : 0;
}

int DrawTimeStageKind(int mode)
{
    if (mode == 12 || mode == 13) {
        return 3;
    }
    return mode == 10 ? 2 : 0;
}

// One stage: colour from the texture (complemented for kind 2, four times the
// vertex colour for kind 3), alpha by the alpha-test selector E.
int BuildStageTemplate(int stageKind, int vertexColor, int alphaBlend, int alphaTestSelector, StageRecord *stages)
{
    StageRecord &stage = stages[0];
    stage = StageRecord{};
    stage.texCoordIndex = 0;
    stage.result = 0;
    int texture = stageKind == 2 ? (K_D3DTA_TEXTURE | K_D3DTA_COMPLEMENT) : K_D3DTA_TEXTURE;
    stage.colorArg1 = texture;
    stage.colorArg2 = K_D3DTA_DIFFUSE;
    if (stageKind == 3) {
        stage.colorOp = K_D3DTOP_MODULATE4X;
    } else {
        stage.colorOp = vertexColor != 0 ? K_D3DTOP_MODULATE : K_D3DTOP_SELECTARG1;
    }
    stage.alphaArg1 = K_D3DTA_TEXTURE;
    stage.alphaArg2 = K_D3DTA_DIFFUSE;
    if (alphaTestSelector == 0) {
        stage.alphaOp = K_D3DTOP_SELECTARG2;
    } else {
        stage.alphaOp = alphaBlend != 0 ? K_D3DTOP_MODULATE : K_D3DTOP_SELECTARG1;
    }
    return 1;
}

// Mode 11 moves the destination toward destination x colour by the blend
// parameter: the colour the stages give is blended toward the white texture
// factor by the vertex alpha, as the software road and the shaders do.
int AppendFactorWeightStage(StageRecord *stages, int count)
{
    StageRecord &stage = stages[count];
    stage = StageRecord{};
    stage.texCoordIndex = 0;
    stage.colorOp = K_D3DTOP_BLENDDIFFUSEALPHA;
    stage.colorArg1 = K_D3DTA_CURRENT;
    stage.colorArg2 = K_D3DTA_TFACTOR;
    stage.alphaOp = K_D3DTOP_SELECTARG1;
    stage.alphaArg1 = K_D3DTA_CURRENT;
    stage.alphaArg2 = K_D3DTA_DIFFUSE;
    return count + 1;
}

} // namespace Korvo

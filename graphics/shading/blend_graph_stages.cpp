// Stage programmes of draws with a blend graph.

#include "graphics/shading/blend_graph_stages.h"

#include "graphics/device/graphics_state.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static StageRecord MakeStage(K_IDirect3DBaseTexture9 *texture, int coordinates, int colorOp, int colorArg1,
                             int colorArg2, int alphaOp, int alphaArg1, int alphaArg2)
{
    StageRecord stage = {};
    stage.texture = texture;
    stage.texCoordIndex = coordinates;
    stage.colorOp = colorOp;
    stage.colorArg1 = colorArg1;
    stage.colorArg2 = colorArg2;
    stage.alphaOp = alphaOp;
    stage.alphaArg1 = alphaArg1;
    stage.alphaArg2 = alphaArg2;
    return stage;
}

// The last stage: vertex colour and the mode's stage kind (complement, four times).
static StageRecord FinishingStage(int stageKind)
{
    int current = stageKind == 2 ? (K_D3DTA_CURRENT | K_D3DTA_COMPLEMENT) : K_D3DTA_CURRENT;
    int colorOp = stageKind == 3 ? K_D3DTOP_MODULATE4X : K_D3DTOP_MODULATE;
    return MakeStage(nullptr, 0, colorOp, current, K_D3DTA_DIFFUSE, K_D3DTOP_MODULATE, K_D3DTA_CURRENT,
                     K_D3DTA_DIFFUSE);
}

static bool NeedsFinishingStage(int stageKind)
{
    return StateCache.vertexColorKey != 0 || StateCache.alphaBlendKey != 0 || stageKind != 0;
}

// Cross-fade: blend graph x v / 255 + drawn graph x (1 - v / 255).
static void BuildCrossFade(int stageKind, BlendGraphSetup *setup)
{
    const DeviceStateCache &c = StateCache;
    setup->stages[0] = MakeStage(c.blendTexture, 0, K_D3DTOP_SELECTARG1, K_D3DTA_TEXTURE, K_D3DTA_DIFFUSE,
                                 K_D3DTOP_SELECTARG1, K_D3DTA_TEXTURE, K_D3DTA_DIFFUSE);
    setup->stages[1] = MakeStage(c.drawTexture, 1, K_D3DTOP_BLENDFACTORALPHA, K_D3DTA_CURRENT, K_D3DTA_TEXTURE,
                                 K_D3DTOP_BLENDFACTORALPHA, K_D3DTA_CURRENT, K_D3DTA_TEXTURE);
    setup->stageCount = 2;
    if (!DrawnAlphaCounts()) {
        // An opaque drawn alpha: blend alpha x v, then plus 1 - v.
        setup->stages[1].alphaOp = K_D3DTOP_MODULATE;
        setup->stages[1].alphaArg2 = K_D3DTA_TFACTOR;
        setup->stages[2] = MakeStage(nullptr, 0, K_D3DTOP_SELECTARG1, K_D3DTA_CURRENT, K_D3DTA_DIFFUSE, K_D3DTOP_ADD,
                                     K_D3DTA_CURRENT, K_D3DTA_TFACTOR | K_D3DTA_COMPLEMENT);
        setup->stageCount = 3;
    }
    if (NeedsFinishingStage(stageKind)) {
        setup->stages[setup->stageCount++] = FinishingStage(stageKind);
    }
    setup->factor = static_cast<K_D3DCOLOR>(c.blendValues[0] & 0xFF) << 24;
}

// Masking: the drawn graph's colour, its alpha times the blend graph's alpha.
static void BuildMasked(int stageKind, BlendGraphSetup *setup)
{
    const DeviceStateCache &c = StateCache;
    // Kinds 2 and 3 take the vertex colour in the second stage (after the
    // complement, with the factor four), so it is applied once, as the shaders do.
    bool colourInFirst = c.vertexColorKey != 0 && stageKind != 2 && stageKind != 3;
    int colorOp = colourInFirst ? K_D3DTOP_MODULATE : K_D3DTOP_SELECTARG1;
    int alphaOp = c.vertexColorKey != 0 || c.alphaBlendKey != 0 ? K_D3DTOP_MODULATE : K_D3DTOP_SELECTARG1;
    if (!DrawnAlphaCounts()) {
        alphaOp = K_D3DTOP_SELECTARG2;  // the vertex alpha alone
    }
    setup->stages[0] = MakeStage(c.drawTexture, 1, colorOp, K_D3DTA_TEXTURE, K_D3DTA_DIFFUSE, alphaOp,
                                 K_D3DTA_TEXTURE, K_D3DTA_DIFFUSE);
    int current = stageKind == 2 ? (K_D3DTA_CURRENT | K_D3DTA_COMPLEMENT) : K_D3DTA_CURRENT;
    int finishOp = stageKind == 3 ? K_D3DTOP_MODULATE4X : stageKind == 2 ? K_D3DTOP_MODULATE : K_D3DTOP_SELECTARG1;
    setup->stages[1] = MakeStage(c.blendTexture, 0, finishOp, current, K_D3DTA_DIFFUSE, K_D3DTOP_MODULATE,
                                 K_D3DTA_CURRENT, K_D3DTA_TEXTURE);
    setup->stageCount = 2;
    setup->factor = 0xFFFFFFFF;
}

// The soft edge of a threshold: the blend graph's alpha shifted by the texture
// factor's alpha, then scaled (and, where it counts, by the drawn alpha, the vertex
// alpha following in a stage of its own).
static void BuildSoftThreshold(const DeviceStateCache &c, bool drawnAlpha, int colorOp, int texture,
                               BlendGraphSetup *setup)
{
    int operation = 0;
    int value = 0;
    int scale = 0;
    ComputeThresholdRamp(c.blendValues[0], c.blendValues[1], &operation, &value, &scale);
    setup->stages[0] = MakeStage(c.blendTexture, 0, K_D3DTOP_SELECTARG2, K_D3DTA_TEXTURE, K_D3DTA_DIFFUSE, operation,
                                 K_D3DTA_TEXTURE, K_D3DTA_TFACTOR);
    setup->stages[1] = MakeStage(c.drawTexture, 1, colorOp, texture, K_D3DTA_DIFFUSE, scale, K_D3DTA_CURRENT,
                                 drawnAlpha ? K_D3DTA_TEXTURE : K_D3DTA_DIFFUSE);
    if (drawnAlpha) {
        setup->stages[2] = MakeStage(nullptr, 0, K_D3DTOP_SELECTARG1, K_D3DTA_CURRENT, K_D3DTA_DIFFUSE,
                                     K_D3DTOP_MODULATE, K_D3DTA_CURRENT, K_D3DTA_DIFFUSE);
        setup->stageCount = 3;
    }
    setup->alphaTest = 0;
    setup->alphaBlend = 1;
    setup->forceAlphaFactors = 1;
    setup->factor = (static_cast<K_D3DCOLOR>(value) << 24) | 0xFFFFFF;
}

// Threshold: the blend graph's alpha against the border, hard or with a ramp;
// the drawn graph's alpha is kept too where it counts (DrawnAlphaCounts).
static void BuildThreshold(int stageKind, BlendGraphSetup *setup)
{
    const DeviceStateCache &c = StateCache;
    int border = c.blendValues[0];
    int width = c.blendValues[1];
    bool drawnAlpha = DrawnAlphaCounts();
    setup->drawSuppress = border >= 255 ? 1 : 0;
    setup->stageCount = 2;
    int colorOp = c.vertexColorKey != 0 ? K_D3DTOP_MODULATE : K_D3DTOP_SELECTARG1;
    if (stageKind == 3) {
        colorOp = K_D3DTOP_MODULATE4X;
    }
    int texture = stageKind == 2 ? (K_D3DTA_TEXTURE | K_D3DTA_COMPLEMENT) : K_D3DTA_TEXTURE;
    if (width <= 1) {
        // The test reads the blend graph's alpha times the drawn alpha: transparent
        // pixels fail it whatever the blend graph holds (at border 0 the drawn alpha alone).
        int alphaOp = !drawnAlpha ? K_D3DTOP_SELECTARG2 : border == 0 ? K_D3DTOP_SELECTARG1 : K_D3DTOP_MODULATE;
        setup->stages[0] = MakeStage(c.blendTexture, 0, K_D3DTOP_SELECTARG2, K_D3DTA_TEXTURE, K_D3DTA_DIFFUSE,
                                     K_D3DTOP_SELECTARG1, K_D3DTA_TEXTURE, K_D3DTA_DIFFUSE);
        setup->stages[1] = MakeStage(c.drawTexture, 1, colorOp, texture, K_D3DTA_DIFFUSE, alphaOp, K_D3DTA_TEXTURE,
                                     K_D3DTA_CURRENT);
        setup->alphaTest = 1;
        setup->alphaFunc = K_D3DCMP_GREATEREQUAL;
        setup->alphaRef = border == 0 && drawnAlpha ? 1 : border;
        setup->alphaBlend = 0;
        setup->factor = 0xFFFFFF;
    } else {
        BuildSoftThreshold(c, drawnAlpha, colorOp, texture, setup);
    }
    if (GraphicsState.programmableShader != 0) {
        // The shader weighs the drawn alpha by the step or the ramp and by the
        // vertex alpha: blended like a masked draw, at either edge.
        setup->alphaTest = 1;
        setup->alphaRef = 0;
        setup->alphaFunc = K_D3DCMP_GREATER;
        setup->alphaBlend = 1;
        setup->forceAlphaFactors = 1;
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

void ComputeThresholdRamp(int border, int width, int *operation, int *value, int *scaleOperation)
{
    if (width > 128) {
        *scaleOperation = K_D3DTOP_MODULATE;
        int r = 512 - border * 512 / 255;
        *operation = r < 256 ? K_D3DTOP_SUBTRACT : K_D3DTOP_ADD;
        *value = r < 256 ? 255 - r * 255 / 256 : (r - 256) * 255 / 256;
    } else if (width > 64) {
        *scaleOperation = K_D3DTOP_MODULATE2X;
        int m = border * 768 / 255;
        *operation = m < 257 ? K_D3DTOP_ADD : K_D3DTOP_SUBTRACT;
        *value = m < 257 ? (256 - m) * 128 / 256 : 255 - (195840 - 255 * m) / 512;
    } else {
        *scaleOperation = K_D3DTOP_MODULATE4X;
        int m = border * 1280 / 255;
        *operation = m < 257 ? K_D3DTOP_ADD : K_D3DTOP_SUBTRACT;
        *value = m < 257 ? (256 - m) * 64 / 256 : 255 - (326400 - 255 * m) / 1024;
    }
}

void BuildBlendGraphSetup(int stageKind, int modeUsesAlpha, BlendGraphSetup *setup)
{
    *setup = BlendGraphSetup{};
    const DeviceStateCache &c = StateCache;
    if (c.blendTextureKind == 1) {
        BuildThreshold(stageKind, setup);
        return;
    }
    if (c.blendTextureKind == 2) {
        BuildMasked(stageKind, setup);
    } else {
        BuildCrossFade(stageKind, setup);
    }
    // Cross-fade and masking share their alpha test and blending; masking
    // blends in every mode (the blend graph's alpha is what it draws).
    bool blended = c.colorKeyKey != 0 || c.alphaTestKey != 0 || c.blendTextureKind == 2;
    setup->alphaTest = blended || modeUsesAlpha != 0 ? 1 : 0;
    setup->alphaRef = 0;
    setup->alphaFunc = K_D3DCMP_GREATER;
    setup->forceAlphaFactors = blended && modeUsesAlpha == 0 ? 1 : 0;
    setup->alphaBlend = blended || modeUsesAlpha != 0 ? 1 : 0;
}

bool DrawnAlphaCounts()
{
    const DeviceStateCache &c = StateCache;
    return c.alphaTestKey != 0 || c.colorKeyKey != 0 || c.textureAlphaKey != 0;
}

void GetBlendGraphTextureStages(int kind, int *drawStage, int *blendStage)
{
    *drawStage = kind == 2 ? 0 : 1;
    *blendStage = kind == 2 ? 1 : 0;
}

} // namespace Korvo

// The blend and texture-stage set-up and the cached blend keys it reads.

#include "graphics/shading/blend_stages.h"

#include "graphics/shading/blend_graph_stages.h"
#include "graphics/shading/builtin_shader_objects.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/draw_settings.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/state/shader_constants.h"
#include "graphics/shading/shader_handles.h"
#include "graphics/shading/white_stage_texture.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

// The built-in pixel shaders read the texture factor here.
constexpr int kTextureFactorPixelRegister = 5;
// ...and the blend graph's values (cross-fade factor; threshold scale and offset) here.
constexpr int kBlendValuesPixelRegister = 6;

static CustomStageRecord OverrideRecord = {};
static int OverrideActive = 0;
static int OverrideTexturesOnly = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// A key through the cache: flush before a change, mark the stage set-up as needed.
static int StoreKey(int *cached, int value)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    if (*cached == value && StateCache.forceReapply == 0) {
        return 0;
    }
    if (StateCache.forceReapply == 0) {
        FlushStagedVertices(0);
    }
    *cached = value;
    StateCache.drawStateDirty = 1;
    StateCache.stageSetupNeeded = 1;
    return 0;
}

// A blend factor or operation; none (-1) keeps what the device holds.
static void ApplyBlendFactor(int *cached, UINT state, int value)
{
    if (value < 0) {
        if (*cached <= 1 || StateCache.forceReapply == 0) {
            return;
        }
        value = *cached;
    }
    ApplyCachedRenderState(cached, state, value);
}

static void ApplyTextureFactor(K_D3DCOLOR factor)
{
    if (StateCache.textureFactor == factor && StateCache.forceReapply == 0) {
        return;
    }
    StateCache.textureFactor = factor;
    StateCache.textureFactorF[0] = static_cast<float>((factor >> 16) & 0xFF) / 255.0f;
    StateCache.textureFactorF[1] = static_cast<float>((factor >> 8) & 0xFF) / 255.0f;
    StateCache.textureFactorF[2] = static_cast<float>(factor & 0xFF) / 255.0f;
    StateCache.textureFactorF[3] = static_cast<float>(factor >> 24) / 255.0f;
    StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, 0, kTextureFactorPixelRegister, StateCache.textureFactorF, 1, 1);
    // The stage programme reads the render state, the built-in shaders the constant.
    D3DDev_SetRenderState(K_D3DRS_TEXTUREFACTOR, factor);
}

// Stage programme of a draw without texture, built from the mode alone.
static void BuildUntexturedStage(int mode, int column, StageRecord *stage)
{
    *stage = StageRecord{};
    stage->texCoordIndex = 0;
    stage->alphaOp = K_D3DTOP_SELECTARG2;
    stage->alphaArg1 = K_D3DTA_TEXTURE;
    stage->alphaArg2 = K_D3DTA_DIFFUSE;
    stage->colorArg1 = K_D3DTA_DIFFUSE;
    stage->colorArg2 = K_D3DTA_DIFFUSE;
    if (mode == 3) {
        stage->colorOp = K_D3DTOP_SELECTARG1;
    } else if (column == 1) {
        stage->colorOp = K_D3DTOP_BLENDDIFFUSEALPHA;
        stage->colorArg2 = K_D3DTA_TFACTOR;
    } else if (column == 2) {
        stage->colorOp = K_D3DTOP_SELECTARG1;
        stage->colorArg1 = K_D3DTA_DIFFUSE | K_D3DTA_COMPLEMENT;
    } else if (column == 3) {
        stage->colorOp = K_D3DTOP_MODULATE4X;
        stage->colorArg2 = K_D3DTA_TEXTURE;
    } else {
        stage->colorOp = K_D3DTOP_SELECTARG2;
    }
}

// Send one stage of the programme (fields of -1 are left), or switch it off.
static void SendStage(int index, const StageRecord *stage, int inUse)
{
    DWORD s = static_cast<DWORD>(index);
    StageRecord &cached = StateCache.stages[index];
    if (!inUse) {
        cached.colorOp = K_D3DTOP_DISABLE;
        cached.alphaOp = K_D3DTOP_DISABLE;
        cached.colorArg1 = cached.colorArg2 = cached.alphaArg1 = cached.alphaArg2 = 0;
        cached.result = 0;
        D3DDev_SetTextureStageState(s, K_D3DTSS_COLOROP, K_D3DTOP_DISABLE);
        D3DDev_SetTextureStageState(s, K_D3DTSS_ALPHAOP, K_D3DTOP_DISABLE);
        return;
    }
    struct Field {
        int StageRecord::*member;
        UINT state;
    };
    static const Field kFields[] = {
        {&StageRecord::texCoordIndex, K_D3DTSS_TEXCOORDINDEX}, {&StageRecord::alphaOp, K_D3DTSS_ALPHAOP},
        {&StageRecord::alphaArg1, K_D3DTSS_ALPHAARG1},         {&StageRecord::alphaArg2, K_D3DTSS_ALPHAARG2},
        {&StageRecord::colorOp, K_D3DTSS_COLOROP},             {&StageRecord::colorArg1, K_D3DTSS_COLORARG1},
        {&StageRecord::colorArg2, K_D3DTSS_COLORARG2},
    };
    for (const Field &field : kFields) {
        int value = stage->*(field.member);
        if (value >= 0) {
            cached.*(field.member) = value;
            D3DDev_SetTextureStageState(s, field.state, static_cast<DWORD>(value));
        }
        if (field.member == &StageRecord::texCoordIndex && DeviceCaps.tempRegister != 0) {
            cached.result = stage->result;
            D3DDev_SetTextureStageState(s, K_D3DTSS_RESULTARG, stage->result != 0 ? K_D3DTA_TEMP : K_D3DTA_CURRENT);
        }
    }
}

// Steps shared by the blend keys and a caller's record: re-apply filters when the
// stage count changed, send the render states, bind and send the stages.
static int SendBlendStates(const StageRecord *stages, int stageCount, int alphaTest, int alphaRef, int alphaFunc,
                           int alphaBlend, K_D3DCOLOR factor, int srcBlend, int destBlend, int blendOp,
                           int texturesOnly, K_IDirect3DPixelShader9 *shader)
{
    DeviceStateCache &c = StateCache;
    if (stageCount != c.stageCount) {
        c.stageCount = stageCount;
        int forced = c.forceReapply;
        c.forceReapply = 1;
        ApplySamplerFilter(Draw.filterMode);
        ApplyMaxAnisotropy(Draw.maxAnisotropy);
        c.forceReapply = forced;
    }
    ApplyCachedRenderState(&c.alphaFunc, K_D3DRS_ALPHAFUNC, alphaFunc);
    ApplyCachedRenderState(&c.alphaRef, K_D3DRS_ALPHAREF, alphaRef);
    ApplyCachedRenderState(&c.alphaTestEnable, K_D3DRS_ALPHATESTENABLE, alphaTest);
    ApplyCachedRenderState(&c.alphaBlendEnable, K_D3DRS_ALPHABLENDENABLE, alphaBlend);
    ApplyTextureFactor(factor);
    ApplyBlendFactor(&c.srcBlend, K_D3DRS_SRCBLEND, srcBlend);
    ApplyBlendFactor(&c.destBlend, K_D3DRS_DESTBLEND, destBlend);
    ApplyBlendFactor(&c.blendOp, K_D3DRS_BLENDOP, blendOp);
    for (int s = 0; s < kStageCount; ++s) {
        c.stages[s].texture = stages[s].texture;
        D3DDev_SetTexture(static_cast<DWORD>(s), stages[s].texture);
        if (texturesOnly == 0 && shader == nullptr) {
            SendStage(s, &stages[s], s < stageCount);
        }
    }
    if (shader != nullptr) {
        BindPixelShaderObject(shader);
        c.blendPixelShaderBound = 1;
    } else if (texturesOnly == 0 && c.blendPixelShaderBound != 0) {
        // A stage programme of the caller's: the built-in shader would hide it.
        BindPixelShaderObject(nullptr);
        c.blendPixelShaderBound = 0;
    }
    return 0;
}

// The texture of a graph handle for a caller's stage (its first piece); null for
// an invalid, loading or software graph.
static K_IDirect3DBaseTexture9 *GraphStageTexture(uintptr_t handle)
{
    GraphRecord *record = GetGraphRecord(static_cast<int>(handle), 0);
    int count = 0;
    GraphDrawPiece *pieces = record != nullptr ? GetGraphDrawPieces(record, &count) : nullptr;
    if (pieces == nullptr || count <= 0 || pieces[0].piece == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<K_IDirect3DBaseTexture9 *>(pieces[0].piece->texture);
}

// The built-in pixel shader that stands for the stage programme.
static K_IDirect3DPixelShader9 *ChooseBlendShader(int mode, int column, int ignoreTextureAlpha)
{
    const DeviceStateCache &c = StateCache;
    int ignoreColour = c.alphaTestKeySetting != 0 ? 1 : 0;
    if (c.drawTexture == nullptr) {
        return BuiltinShaders.noTexture[column & 3];
    }
    if (c.blendTexture == nullptr) {
        return GetBuiltinBlendShader(0, column, ignoreColour, ignoreTextureAlpha);
    }
    // Cross-fade, threshold and masking programs, in the blend-graph kind's order.
    static const int kProgramOfKind[3] = {1, 3, 2};
    int kind = c.blendTextureKind >= 0 && c.blendTextureKind < 3 ? c.blendTextureKind : 0;
    return GetBuiltinBlendShader(kProgramOfKind[kind], DrawTimeStageKind(mode), ignoreColour,
                                 DrawnAlphaCounts() ? 0 : 1);
}

// The blend graph's values as the blend shaders read them: the cross-fade
// weight; the threshold's weight as blend alpha x scale + offset, saturated.
static void StoreBlendValuesConstant()
{
    const DeviceStateCache &c = StateCache;
    float values[4] = {1.0f, 0.0f, 0.0f, 0.0f};
    if (c.blendTextureKind == 0) {
        values[0] = static_cast<float>(c.blendValues[0] & 0xFF) / 255.0f;
    } else if (c.blendTextureKind == 1 && c.blendValues[1] > 1) {
        int operation = 0, value = 0, scale = 0;
        ComputeThresholdRamp(c.blendValues[0], c.blendValues[1], &operation, &value, &scale);
        values[0] = scale == K_D3DTOP_MODULATE4X ? 4.0f : scale == K_D3DTOP_MODULATE2X ? 2.0f : 1.0f;
        values[1] = values[0] * static_cast<float>(operation == K_D3DTOP_SUBTRACT ? -value : value) / 255.0f;
    } else if (c.blendTextureKind == 1) {
        // The hard edge as a step: alpha k / 255 gives 4 (k - border) + 2, which
        // saturates to 1 from the border up and to 0 below it.
        values[0] = 1020.0f;
        values[1] = 2.0f - 4.0f * static_cast<float>(c.blendValues[0]);
    }
    StoreShaderConstants(SHADER_FILE_PIXEL_FLOAT, 0, kBlendValuesPixelRegister, values, 1, 1);
}

// A caller's record: its states (the alpha-test mode of DrawSettings overrides its test) and stages.
static int SetupFromRecord(const CustomStageRecord *record, int lookup, int texturesOnly)
{
    StageRecord stages[kStageCount] = {};
    int count = record->stageCount < 0 ? 0 : record->stageCount > kStageCount ? kStageCount : record->stageCount;
    for (int s = 0; s < kStageCount; ++s) {
        const CustomStage &from = record->stages[s];
        stages[s].texture = lookup != 0 ? GraphStageTexture(from.texture)
                                        : reinterpret_cast<K_IDirect3DBaseTexture9 *>(from.texture);
        stages[s].texCoordIndex = from.texCoordIndex;
        stages[s].result = from.result;
        stages[s].alphaArg1 = from.alphaArg1;
        stages[s].alphaArg2 = from.alphaArg2;
        stages[s].alphaOp = from.alphaOp;
        stages[s].colorArg1 = from.colorArg1;
        stages[s].colorArg2 = from.colorArg2;
        stages[s].colorOp = from.colorOp;
    }
    int alphaTest = record->alphaTestEnable;
    int alphaRef = record->alphaRef;
    int alphaFunc = record->alphaFunc;
    if (Draw.alphaTestMode != -1) {
        alphaTest = 1;
        alphaFunc = Draw.alphaTestMode;
        alphaRef = Draw.alphaTestParam;
    }
    StateCache.stageSetupNeeded = 0;
    StateCache.textureChanged = 0;
    StateCache.drawStateDirty = 1;
    return SendBlendStates(stages, count, alphaTest, alphaRef, alphaFunc, record->alphaBlendEnable,
                           record->textureFactor, record->srcBlend, record->destBlend, record->blendOp, texturesOnly,
                           nullptr);
}

// ---------------------------------------------------------------------------
// Key setters
// ---------------------------------------------------------------------------

int StoreVertexColourKey(int flag)
{
    return StoreKey(&StateCache.vertexColorKey, flag);
}

int StoreAlphaBlendKey(int flag)
{
    return StoreKey(&StateCache.alphaBlendKey, flag);
}

// A new texture marks it changed; adding or removing one needs a new programme
int StoreDrawTextureKey(K_IDirect3DBaseTexture9 *texture)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    if (StateCache.drawTexture == texture && StateCache.forceReapply == 0) {
        return 0;
    }
    if (StateCache.forceReapply == 0) {
        FlushStagedVertices(0);
    }
    if ((StateCache.drawTexture == nullptr) != (texture == nullptr)) {
        StateCache.stageSetupNeeded = 1;
    }
    StateCache.drawTexture = texture;
    StateCache.textureChanged = 1;
    StateCache.drawStateDirty = 1;
    return 0;
}

int StoreAlphaTestKeySetting(int value)
{
    return StoreKey(&StateCache.alphaTestKeySetting, value);
}

// A new blend texture marks it changed; adding or removing one needs a new programme
int StoreBlendTextureKey(K_IDirect3DBaseTexture9 *texture, int width, int height)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    DeviceStateCache &c = StateCache;
    if (c.blendTexture == texture && StateCache.forceReapply == 0) {
        return 0;
    }
    if (c.forceReapply == 0) {
        FlushStagedVertices(0);
    }
    if ((c.blendTexture == nullptr) != (texture == nullptr)) {
        c.stageSetupNeeded = 1;
    }
    c.blendTexture = texture;
    c.blendTextureSize[0] = static_cast<float>(width);
    c.blendTextureSize[1] = static_cast<float>(height);
    c.blendTextureSize[2] = width > 0 ? 1.0f / static_cast<float>(width) : 0.0f;
    c.blendTextureSize[3] = height > 0 ? 1.0f / static_cast<float>(height) : 0.0f;
    c.textureChanged = 1;
    c.drawStateDirty = 1;
    return 0;
}

int StoreBlendTextureMode(const int *values, int kind)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    int first = kind == 2 ? 0 : values[0];
    int second = kind == 1 ? values[1] : 0;
    return StoreKey(&StateCache.blendTextureKind, kind) | StoreKey(&StateCache.blendValues[0], first) |
           StoreKey(&StateCache.blendValues[1], second);
}

int StoreBlendModeKey(int blendMode, int alphaTestKey, int colorKeyKey)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    int result = StoreKey(&StateCache.blendMode, blendMode);
    result |= StoreKey(&StateCache.alphaTestKey, alphaTestKey);
    result |= StoreKey(&StateCache.colorKeyKey, colorKeyKey);
    return result;
}

int StoreTextureAlphaKey(int flag)
{
    return StoreKey(&StateCache.textureAlphaKey, flag);
}

int StoreExtraStageKey(int flag)
{
    return StoreKey(&StateCache.extraStageKey, flag);
}

int StoreAlphaTestModeKey(int mode, int parameter)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    return StoreKey(&StateCache.alphaTestMode, mode) | StoreKey(&StateCache.alphaTestParam, parameter);
}

// ---------------------------------------------------------------------------
// The set-up
// ---------------------------------------------------------------------------

int SetupBlendAndStages(int lookup, const CustomStageRecord *record, int texturesOnly)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    if (record == nullptr && OverrideActive != 0) {
        record = &OverrideRecord;
        texturesOnly = OverrideTexturesOnly;
    }
    if (record != nullptr) {
        return SetupFromRecord(record, lookup, texturesOnly);
    }
    DeviceStateCache &c = StateCache;
    // A draw of the caller's shaders unbound the built-in one: the full set-up binds it again.
    bool shaderMissing = GraphicsState.programmableShader != 0 && c.blendPixelShaderBound == 0;
    if (c.stageSetupNeeded == 0 && c.forceReapply == 0 && !shaderMissing) {
        if (c.textureChanged == 0) {
            return -1;
        }
        c.textureChanged = 0;
        c.drawStateDirty = 1;
        int drawStage = 0;
        int blendStage = -1;
        if (c.blendTexture != nullptr) {
            GetBlendGraphTextureStages(c.blendTextureKind, &drawStage, &blendStage);
            c.stages[blendStage].texture = c.blendTexture;
            D3DDev_SetTexture(static_cast<DWORD>(blendStage), c.blendTexture);
        }
        c.stages[drawStage].texture = c.drawTexture;
        D3DDev_SetTexture(static_cast<DWORD>(drawStage), c.drawTexture);
        return 0;
    }

    int mode = c.blendMode >= 0 && c.blendMode < kBlendModeCount ? c.blendMode : 0;
    BlendFactorRow row = BlendFactorTable[mode];
    K_D3DCOLOR factor = 0xFFFFFFFF;
    if (mode == 3 && DeviceCaps.blendOp != 0) {
        row.destBlend = K_D3DBLEND_ONE;
        row.srcBlend = K_D3DBLEND_SRCALPHA;
        row.blendOp = K_D3DBLENDOP_REVSUBTRACT;
    }
    c.stageSetupNeeded = 0;
    c.textureChanged = 0;
    c.drawStateDirty = 1;
    int usesAlpha = BlendModeUsesAlpha(mode);

    StageRecord stages[kStageCount] = {};
    int stageCount = 1;
    int selector = c.alphaTestKey != 0 ? 1 : (c.colorKeyKey != 0 || c.zEnableMode != 0) ? 2 : 0;
    int alphaTest = c.alphaTestEnable;
    int alphaRef = c.alphaRef;
    int alphaFunc = c.alphaFunc;
    int alphaBlend = 0;
    if (c.drawTexture != nullptr && c.blendTexture != nullptr) {
        BlendGraphSetup setup;
        BuildBlendGraphSetup(DrawTimeStageKind(mode), usesAlpha, &setup);
        for (int s = 0; s < kStageCount; ++s) {
            stages[s] = setup.stages[s];
        }
        stageCount = setup.stageCount;
        SetStagingKind(STAGING_2D_BLEND);
        c.drawSuppress = setup.drawSuppress;
        alphaTest = setup.alphaTest;
        if (alphaTest != 0) {
            alphaRef = setup.alphaRef;
            alphaFunc = setup.alphaFunc;
        }
        alphaBlend = setup.alphaBlend;
        factor = setup.factor;
        if (setup.forceAlphaFactors != 0 && usesAlpha == 0) {
            row.destBlend = K_D3DBLEND_INVSRCALPHA;
            row.srcBlend = K_D3DBLEND_SRCALPHA;
        }
    } else if (c.drawTexture != nullptr) {
        stageCount = BuildStageTemplate(DrawTimeStageKind(mode), c.vertexColorKey, c.alphaBlendKey, selector, stages);
        if (row.stageKindColumn == 1) {
            stageCount = AppendFactorWeightStage(stages, stageCount);
        }
        stages[0].texture = c.drawTexture;
        SetStagingKind(STAGING_2D_TEXTURED);
        c.drawSuppress = 0;
        if (c.colorKeyKey != 0) {
            alphaTest = 1;
            alphaRef = 16;
            alphaFunc = K_D3DCMP_GREATER;
        } else if (usesAlpha != 0 || c.alphaTestKey != 0) {
            alphaTest = 1;
            alphaRef = 0;
            alphaFunc = K_D3DCMP_GREATER;
        } else {
            alphaTest = 0;
        }
        if (c.alphaTestKey != 0 && usesAlpha == 0) {
            row.destBlend = K_D3DBLEND_INVSRCALPHA;
            row.srcBlend = K_D3DBLEND_SRCALPHA;
        }
        alphaBlend = c.alphaTestKey != 0 || usesAlpha != 0 ? 1 : 0;
    } else {
        SetStagingKind(STAGING_2D_PLAIN);
        c.drawSuppress = 0;
        alphaTest = 0;
        alphaBlend = usesAlpha;
        factor = row.stageKindColumn == 1 ? 0xFFFFFFFF : c.textureFactor;
        BuildUntexturedStage(mode, row.stageKindColumn, &stages[0]);
        // Four times the vertex colour needs a texture to multiply by; the shaders do without.
        if (row.stageKindColumn == 3 && GraphicsState.programmableShader == 0) {
            stages[0].texture = AcquireWhiteStageTexture();
        }
    }
    if (row.stageKindColumn == 1 && c.blendTexture == nullptr) {
        factor = 0xFFFFFFFF;
    }

    K_IDirect3DPixelShader9 *shader = nullptr;
    if (GraphicsState.programmableShader != 0) {
        shader = ChooseBlendShader(mode, row.stageKindColumn, selector == 0 ? 1 : 0);
        if (c.blendTexture != nullptr) {
            StoreBlendValuesConstant();
        }
    }
    return SendBlendStates(stages, stageCount, alphaTest, alphaRef, alphaFunc, alphaBlend, factor, row.srcBlend,
                           row.destBlend, row.blendOp, 0, shader);
}

int SetBlendStageOverride(const CustomStageRecord *record, int texturesOnly)
{
    FlushStagedVertices(0);
    if (record == nullptr) {
        OverrideActive = 0;
        StateCache.stageSetupNeeded = 1;
        return 0;
    }
    OverrideRecord = *record;
    OverrideActive = 1;
    OverrideTexturesOnly = texturesOnly;
    StateCache.stageSetupNeeded = 1;
    StateCache.textureChanged = 1;
    StateCache.drawStateDirty = 1;
    SetupBlendAndStages(0, &OverrideRecord, texturesOnly);
    return 0;
}

int ApplyCustomBlendStages(const CustomStageRecord *record, int texturesOnly, int lookup)
{
    FlushStagedVertices(0);
    SetupBlendAndStages(lookup, record, texturesOnly);
    StateCache.stageSetupNeeded = 1;
    StateCache.textureChanged = 1;
    StateCache.drawStateDirty = 1;
    return 0;
}

} // namespace Korvo

// Blend modes and the texture-stage set-up: the blend keys that PrepareDrawStates
// collects become blend render states, the alpha test, the texture factor and a
// fixed-function stage programme.
#pragma once

#include "graphics/state/device_state_cache.h"

#include <cstdint>

namespace Korvo {

constexpr int kBlendModeCount = 17;

// One row of BlendFactorTable (-1: leave the render state as it is).
struct BlendFactorRow {
    int destBlend;
    int srcBlend;
    int stageKindColumn;
    int blendOp;
};

extern const BlendFactorRow BlendFactorTable[kBlendModeCount];

// 1 for every mode but 0 and 6
int BlendModeUsesAlpha(int mode);
// The stage kind of a textured draw: 3 for modes 12 and 13, 2 for mode 10, else 0
int DrawTimeStageKind(int mode);
// Fill the stage programme of a textured draw without a blend texture; the stage count
int BuildStageTemplate(int stageKind, int vertexColor, int alphaBlend, int alphaTestSelector, StageRecord *stages);
// Add the stage that weighs a mode-11 colour toward the texture factor by the vertex alpha; the new count
int AppendFactorWeightStage(StageRecord *stages, int count);

// Key setters (each: -1 without a device; 0 when unchanged; else flush, store, mark)
int StoreVertexColourKey(int flag);
int StoreAlphaBlendKey(int flag);
int StoreDrawTextureKey(K_IDirect3DBaseTexture9 *texture);
int StoreAlphaTestKeySetting(int value);
// The blend graph's texture (null: none) and its size
int StoreBlendTextureKey(K_IDirect3DBaseTexture9 *texture, int width, int height);
// The blend graph's kind (0 cross-fade: one value; 1 threshold: border and ramp width; 2 masked: none)
int StoreBlendTextureMode(const int *values, int kind);
int StoreBlendModeKey(int blendMode, int alphaTestKey, int colorKeyKey);
// Whether a blend-graph draw's texture alpha is the graph's own (1) or its colour key (0)
int StoreTextureAlphaKey(int flag);
int StoreExtraStageKey(int flag);
int StoreAlphaTestModeKey(int mode, int parameter);

// One stage of a caller's programme (a field of -1 is left as it is).
struct CustomStage {
    uintptr_t texture;  // the texture, or a graph handle when the caller asks for look-up
    int32_t texCoordIndex;
    int32_t result;     // 0 current, else temporary
    int16_t alphaArg1;
    int16_t alphaArg2;
    int16_t alphaOp;
    int16_t colorArg1;
    int16_t colorArg2;
    int16_t colorOp;
};

// CustomStageRecord: a caller's render states and stage programme.
struct CustomStageRecord {
    int32_t alphaTestEnable;
    int32_t alphaRef;
    int32_t alphaFunc;
    int32_t alphaBlendEnable;
    uint32_t textureFactor;
    int32_t srcBlend;
    int32_t destBlend;
    int32_t blendOp;
    int32_t stageCount;
    CustomStage stages[8];
};

// Send the blend render states and the stage programme (from the blend keys, or
// from a caller's record: its textures looked up as graph handles with lookup set,
// only its textures bound with texturesOnly set); -1 without a device or when
// nothing was needed
int SetupBlendAndStages(int lookup = 0, const CustomStageRecord *record = nullptr, int texturesOnly = 0);
// Use a caller's record for every later set-up (null: the blend keys again); 0
int SetBlendStageOverride(const CustomStageRecord *record, int texturesOnly);
// Send a caller's record once; 0
int ApplyCustomBlendStages(const CustomStageRecord *record, int texturesOnly, int lookup);

} // namespace Korvo

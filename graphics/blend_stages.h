// Blend modes and the texture-stage set-up: the blend keys that PrepareDrawStates
// collects become blend render states, the alpha test, the texture factor and a
// fixed-function stage programme.
#pragma once

#include "graphics/device_state_cache.h"

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

// Key setters (each: -1 without a device; 0 when unchanged; else flush, store, mark)
int StoreVertexColourKey(int flag);
int StoreAlphaBlendKey(int flag);
int StoreDrawTextureKey(K_IDirect3DBaseTexture9 *texture);
int StoreAlphaTestKeySetting(int value);
int StoreBlendModeKey(int blendMode, int alphaTestKey, int colorKeyKey);
int StoreExtraStageKey(int flag);
int StoreAlphaTestModeKey(int mode, int parameter);

// Send the blend render states and the stage programme; -1 without a device or when nothing was needed
int SetupBlendAndStages();

} // namespace Korvo

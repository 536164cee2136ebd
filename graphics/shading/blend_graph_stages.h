// Stage programmes of draws with a blend graph: cross-fade (kind 0), threshold
// with a hard or soft edge (kind 1) and alpha masking (kind 2). The blend graph
// is sampled with texture coordinates 0, the drawn graph with coordinates 1.
#pragma once

#include "graphics/state/device_state_cache.h"

namespace Korvo {

struct BlendGraphSetup {
    StageRecord stages[kStageCount];
    int stageCount;
    int alphaTest;
    int alphaRef;
    int alphaFunc;
    int alphaBlend;
    K_D3DCOLOR factor;
    int forceAlphaFactors;  // SRCALPHA / INVSRCALPHA whatever the mode
    int drawSuppress;       // nothing is drawn (threshold at 255)
};

// The programme for the blend keys in the cache (a blend texture is set)
void BuildBlendGraphSetup(int stageKind, int modeUsesAlpha, BlendGraphSetup *setup);
// Whether the drawn graph's alpha enters a blend-graph draw: its own alpha, or
// its colour key as alpha where the draw is transparent (else it is opaque)
bool DrawnAlphaCounts();
// The stage each texture is bound to: *drawStage and *blendStage
void GetBlendGraphTextureStages(int kind, int *drawStage, int *blendStage);
// Soft threshold: the stage-0 alpha operation, its value a and the stage-1 scale operation
void ComputeThresholdRamp(int border, int width, int *operation, int *value, int *scaleOperation);

} // namespace Korvo

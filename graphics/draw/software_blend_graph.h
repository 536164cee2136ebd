// Software draws through the blend graph. The rasteriser weighs each source
// pixel by one byte of a blend image, so the blend graph's alpha becomes such an
// image for the threshold and masking types, and a cross-fade mixes the blend
// graph into a copy of the drawn graph, which is then drawn without one: as the
// Direct3D road's blend stages do. Plain 32-bit draws take both steps in one
// pass (BlitThroughBlendGraphMemImg), without the intermediate image.
#pragma once

#include "softraster/blend_graph_blit.h"
#include "softraster/memimg.h"

namespace Korvo {

// The images of one software graph draw.
struct SoftwareBlendImages {
    const MEMIMG *source;      // the drawn graph's image, or its cross-fade with the blend graph
    const MEMIMG *blend;       // one byte per pixel, or null
    int transparent;           // the flag the blit gets
    const MEMIMG *blendGraph;  // set when an unscaled draw goes through it in one pass
    MemImgBlendGraphDraw onePass;
    MEMIMG mixedSource;        // made for a cross-fade
    MEMIMG weights;            // made from the blend graph's alpha
};

// The images for drawing source onto target through the selected blend graph
// (none: source alone); transparent is the caller's flag, unscaled says the draw
// is a plain blit. 0, or -1 when an image could not be made.
int PrepareSoftwareBlendImages(const MEMIMG *target, const MEMIMG *source, int transparent, bool unscaled,
                               SoftwareBlendImages *images);

// Draw the prepared images with their top-left pixel at (x, y) of target.
void BlitSoftwareBlendImages(MEMIMG *target, const SoftwareBlendImages &images, int x, int y);

// Free the images PrepareSoftwareBlendImages made.
void ReleaseSoftwareBlendImages(SoftwareBlendImages *images);

} // namespace Korvo

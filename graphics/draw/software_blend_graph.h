// Software draws through the blend graph. The rasteriser weighs each source
// pixel by one byte of a blend image, so the blend graph's alpha becomes such an
// image for the threshold and masking types, and a cross-fade mixes the blend
// graph into a copy of the drawn graph, which is then drawn without one: as the
// Direct3D road's blend stages do.
#pragma once

#include "softraster/memimg.h"

namespace Korvo {

// The images of one software graph draw.
struct SoftwareBlendImages {
    const MEMIMG *source;  // the drawn graph's image, or its cross-fade with the blend graph
    const MEMIMG *blend;   // one byte per pixel, or null
    MEMIMG mixedSource;    // made for a cross-fade
    MEMIMG weights;        // made from the blend graph's alpha
};

// The images for drawing source through the selected blend graph (none: source
// alone); transparent is the flag the blit gets. 0, or -1 when an image could not be made.
int PrepareSoftwareBlendImages(const MEMIMG *source, int transparent, SoftwareBlendImages *images);

// Free the images PrepareSoftwareBlendImages made.
void ReleaseSoftwareBlendImages(SoftwareBlendImages *images);

} // namespace Korvo

// Plain blits through a blend graph of 32-bit pixels in one pass.
//
// The graphics subsystem draws a graph through a blend graph either by mixing
// the blend graph's colour and alpha into a copy of the graph (cross-fade) and
// blitting that copy, or by blitting the graph with the blend graph's alpha as
// the blend image (threshold, masking). For 32-bit images in blend mode 0 or 1
// without a bright colour, BlitThroughBlendGraphMemImg gives the same bytes as
// those two steps without the intermediate image, reading the three images
// once; the other cases keep the two steps.
#pragma once

#include <cstdint>

#include "softraster/memimg.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// How the blend graph enters the draw.
enum MemImgBlendGraphUse : int {
    MEMIMG_BLEND_GRAPH_CROSS_FADE = 0,   // its colour and alpha mixed into the source's at a weight
    MEMIMG_BLEND_GRAPH_WEIGHTS = 1,      // its alpha, through the threshold table, weighs each source pixel
};

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// One draw through a blend graph.
struct MemImgBlendGraphDraw {
    int use;               // MemImgBlendGraphUse
    int weight;            // cross-fade: the blend graph's weight, 0..255
    int keySource;         // cross-fade: the source's transparent colour mixes in as alpha 0
    int transparentFlag;   // the blit's flag (cross-fade: for the mixed copy)
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The cross-fade of two 0xAARRGGBB pixels, each byte blend x weight / 255 +
// drawn x (1 - weight / 255) rounded to the nearest: with t = the sum times 255
// plus 128, (t + (t >> 8)) >> 8 is that quotient for every t up to 255 * 255 + 128.
inline uint32_t CrossFadeArgbPixels(uint32_t drawn, uint32_t blend, uint32_t weight)
{
    uint32_t mixed = 0;
    for (int half = 0; half < 16; half += 8) {
        const uint32_t t = ((blend >> half) & 0x00FF00FFu) * weight + ((drawn >> half) & 0x00FF00FFu) * (255 - weight) +
                           0x00800080u;
        mixed |= (((t + ((t >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu) << half;
    }
    return mixed;
}

// 1 when BlitThroughBlendGraphMemImg draws these images in the current draw
// state: 32-bit images without palettes, a destination without alpha, a blend
// graph at least the source's size, blend mode 0 or 1, the bright colour off.
int BlendGraphBlitFits(const MEMIMG *destination, const MEMIMG *source, const MEMIMG *blendGraph);

// Draw source at (x, y) through blendGraph, read at the source's offsets: as
// BlendBlitMemImg draws the cross-faded copy (alpha flag set), or source with
// the blend graph's alpha bytes (255 without an alpha flag) as its blend image.
// Does nothing when BlendGraphBlitFits does not hold.
void BlitThroughBlendGraphMemImg(MEMIMG *destination, const MEMIMG *source, int x, int y,
                                 const MEMIMG *blendGraph, const MemImgBlendGraphDraw &draw);

}  // namespace Korvo

// Plain blits through a 32-bit blend graph in one pass: checks, clipping, the
// rule of the call, and the base form of the rows.
#include "softraster/blend_graph_blit.h"

#include "softraster/blend_graph_rows.h"
#include "softraster/blit_plain_internal.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

namespace {

bool IsPlain32(const MEMIMG *image)
{
    return image != nullptr && image->body != nullptr && image->pixels != nullptr &&
           image->body->pixelKind == MEMIMG_KIND_XRGB32 && image->body->hasPalette == 0;
}

bool ThresholdIsIdentity()
{
    for (int v = 0; v < 256; ++v) {
        if (MemImgBlendThresholdTable[v] != v)
            return false;
    }
    return true;
}

// The base form: one pixel at a time.
void BlendGraphRowsBase(const BlendGraphRows &g, const BlendGraphRule &r)
{
    for (int y = 0; y < g.height; ++y) {
        const uint8_t *src = g.source + y * g.sourcePitch;
        const uint8_t *blend = g.blendGraph + y * g.blendGraphPitch;
        uint8_t *dst = g.destination + y * g.destinationPitch;
        for (int x = 0; x < g.width; ++x, src += 4, blend += 4, dst += 4)
            StoreU32(dst, BlendGraphPixel(r, LoadU32(src), LoadU32(blend), LoadU32(dst)));
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int BlendGraphBlitFits(const MEMIMG *destination, const MEMIMG *source, const MEMIMG *blendGraph)
{
    if (!IsPlain32(destination) || !IsPlain32(source) || !IsPlain32(blendGraph))
        return 0;
    if (destination->body->hasAlpha != 0 || blendGraph->width < source->width || blendGraph->height < source->height)
        return 0;
    const int mode = MemImgState.blendMode;
    return (mode == MEMIMG_BLEND_COPY || mode == MEMIMG_BLEND_ALPHA) && !MemImgBrightOn() ? 1 : 0;
}

// Draw source through blendGraph in one pass.
void BlitThroughBlendGraphMemImg(MEMIMG *destination, const MEMIMG *source, int x, int y,
                                 const MEMIMG *blendGraph, const MemImgBlendGraphDraw &draw)
{
    if (BlendGraphBlitFits(destination, source, blendGraph) == 0)
        return;
    const int mode = MemImgState.blendMode;
    const int p = MemImgState.blendParam < 0 ? 0 : MemImgState.blendParam > 255 ? 255 : MemImgState.blendParam;
    if (mode == MEMIMG_BLEND_ALPHA && p == 0)
        return;

    RECT area = {x, y, x + source->width, y + source->height};
    const RECT clip = ClipRectWithinView(destination);
    ClipRectToRect(&area, &clip);
    BlendGraphRows g;
    g.width = area.right - area.left;
    g.height = area.bottom - area.top;
    if (g.width <= 0 || g.height <= 0)
        return;
    const int sx = area.left - x;
    const int sy = area.top - y;
    g.source = source->pixels + sy * source->body->pitch + sx * 4;
    g.sourcePitch = source->body->pitch;
    g.blendGraph = blendGraph->pixels + sy * blendGraph->body->pitch + sx * 4;
    g.blendGraphPitch = blendGraph->body->pitch;
    g.destination = destination->pixels + area.top * destination->body->pitch + area.left * 4;
    g.destinationPitch = destination->body->pitch;

    BlendGraphRule r;
    r.use = draw.use;
    r.sourceAlpha = source->body->hasAlpha != 0;
    r.blendGraphAlpha = blendGraph->body->hasAlpha != 0;
    r.keySource = draw.keySource != 0;
    r.transparent = draw.transparentFlag != 0;
    r.copy = mode == MEMIMG_BLEND_COPY || p == 255;
    r.key = source->body->transparentColor;
    r.weight = static_cast<uint32_t>(draw.weight < 0 ? 0 : draw.weight > 255 ? 255 : draw.weight);
    r.p = static_cast<uint32_t>(p);
    r.threshold = MemImgBlendThresholdTable;
    r.thresholdIsIdentity = draw.use == MEMIMG_BLEND_GRAPH_WEIGHTS && ThresholdIsIdentity();

    InvalidateMemImgDerivedData(destination);
#if KORVO_WIDE_VECTOR_FORMS
    if (CurrentMemImgVectorForm() == MEMIMG_VECTOR_AVX2 && BlendGraphRowsAvx2(g, r))
        return;
#endif
    BlendGraphRowsBase(g, r);
}

}  // namespace Korvo

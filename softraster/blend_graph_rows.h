// Internal: the rows of a blit through a blend graph and the per-pixel rule they
// follow, settled once per call; the base form walks them a pixel at a time,
// the AVX2 form eight at a time with the same integer steps.
#pragma once

#include <cstdint>

#include "softraster/blend_graph_blit.h"
#include "softraster/blit_rules.h"
#include "softraster/processor_forms.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// Pointers and pitches of one clipped draw; the blend graph is read where the source is.
struct BlendGraphRows {
    const uint8_t *source;
    int sourcePitch;
    const uint8_t *blendGraph;
    int blendGraphPitch;
    uint8_t *destination;
    int destinationPitch;
    int width;
    int height;
};

// The rule of every pixel of one draw.
struct BlendGraphRule {
    int use;                     // MemImgBlendGraphUse
    bool sourceAlpha;            // the source carries alpha in byte 3
    bool blendGraphAlpha;        // the blend graph carries alpha in byte 3 (else it reads as 255)
    bool keySource;              // cross-fade: source pixels equal to key mix in as alpha 0
    bool transparent;            // the blit's transparent flag
    bool copy;                   // mode 0, or mode 1 at 255: the copy rules, no parameter
    uint32_t key;                // the source's transparent colour
    uint32_t weight;             // cross-fade weight
    uint32_t p;                  // blend parameter (mode 1)
    const uint8_t *threshold;    // MemImgBlendThresholdTable
    bool thresholdIsIdentity;    // threshold[v] == v for every v
};

// ---------------------------------------------------------------------------
// The per-pixel rule
// ---------------------------------------------------------------------------

// Bytes 0-2 moved toward x by w / 256^K (Lerp8), byte 3 of d kept.
template <int K>
inline uint32_t LerpPixelKeepingByte3(uint32_t d, uint32_t x, uint32_t w)
{
    uint32_t out = d & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        out |= Lerp8<K>((d >> shift) & 0xFF, (x >> shift) & 0xFF, w) << shift;
    return out;
}

// A 32-bit pixel as 0xAARRGGBB: its own alpha, or 255 (0 where keyed and equal to the key).
inline uint32_t BlendGraphArgb(uint32_t raw, bool hasAlpha, bool keyed, uint32_t key)
{
    if (hasAlpha)
        return raw;
    return (raw & 0x00FFFFFFu) | (keyed && raw == key ? 0u : 0xFF000000u);
}

// The new destination pixel d for source pixel s and blend graph pixel b: the
// plain blit's rules (source alpha, key, weight, parameter) for the two uses.
inline uint32_t BlendGraphPixel(const BlendGraphRule &r, uint32_t s, uint32_t b, uint32_t d)
{
    if (r.use == MEMIMG_BLEND_GRAPH_CROSS_FADE) {
        const uint32_t m = CrossFadeArgbPixels(BlendGraphArgb(s, r.sourceAlpha, r.keySource, r.key),
                                               BlendGraphArgb(b, r.blendGraphAlpha, false, 0), r.weight);
        const uint32_t a = m >> 24;
        if (!r.transparent)
            return r.copy ? m : LerpPixelKeepingByte3<2>(d, m, a * r.p);
        if (a == 0)
            return d;
        if (a == 255)
            return r.copy ? m : LerpPixelKeepingByte3<1>(d, m, r.p);
        return r.copy ? LerpPixelKeepingByte3<1>(d, m, a) : LerpPixelKeepingByte3<2>(d, m, a * r.p);
    }
    const uint32_t t = r.threshold[r.blendGraphAlpha ? b >> 24 : 255];
    if (r.sourceAlpha) {
        const uint32_t a = s >> 24;
        if (r.transparent && a == 0)
            return d;
        if (!r.transparent || a != 255)
            return r.copy ? LerpPixelKeepingByte3<2>(d, s, t * a) : LerpPixelKeepingByte3<3>(d, s, t * a * r.p);
    } else if (r.transparent && s == r.key) {
        return d;
    }
    return r.copy ? LerpPixelKeepingByte3<1>(d, s, t) : LerpPixelKeepingByte3<2>(d, s, t * r.p);
}

// ---------------------------------------------------------------------------
// Row walkers
// ---------------------------------------------------------------------------

#if KORVO_WIDE_VECTOR_FORMS
// The AVX2 form of the rows; false (nothing drawn) for a rule it has no form of.
bool BlendGraphRowsAvx2(const BlendGraphRows &g, const BlendGraphRule &r);
#endif

}  // namespace Korvo

// The AVX2 rows of a blit through a blend graph: eight pixels a step, widened to
// 16-bit lanes, the same integer steps as BlendGraphPixel (every intermediate
// below 65536, so unsigned 16-bit lanes hold it exactly); the last pixels of a
// row through BlendGraphPixel itself.
#include "softraster/blend_graph_rows.h"

#if KORVO_WIDE_VECTOR_FORMS
#include <immintrin.h>

// Only the functions marked with this attribute use 256-bit instructions; the
// rest of the file, and every caller, stays within the build's base set.
#define KORVO_AVX2 __attribute__((target("avx2")))

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

namespace {

// What a cross-fade does with the mixed pixel (the plain blit's policies).
enum CrossFadePolicy : int {
    FADE_COPY_WHOLE = 0,       // no transparent flag, copy rules: the mixed word is stored
    FADE_ALPHA_ALWAYS = 1,     // no transparent flag, mode 1: weighted by alpha x p
    FADE_SKIP_ZERO_COPY = 2,   // transparent: alpha 0 skipped, 255 stored whole, others weighted by alpha
    FADE_SKIP_ZERO_ALPHA = 3,  // transparent, mode 1: alpha 0 skipped, 255 weighted by p, others by alpha x p
};

// Where the weights of the threshold and masking draws come from.
enum WeightSource : int {
    WEIGHT_FROM_ALPHA = 0,     // the threshold table is the identity: the blend graph's alpha itself
    WEIGHT_CONSTANT = 1,       // a blend graph without alpha: every pixel the table's entry 255
    WEIGHT_FROM_TABLE = 2,     // the table's entries, looked up a row at a time
};

// Pixels whose weights one table look-up pass takes.
constexpr int kWeightChunk = 256;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

KORVO_AVX2 inline __m256i LoadPixels(const uint8_t *p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
}

KORVO_AVX2 inline void StorePixels(uint8_t *p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), v); }

KORVO_AVX2 inline __m256i Byte3Mask() { return _mm256_set1_epi32(static_cast<int>(0xFF000000u)); }

// The pixels of the low (0, 1, 4, 5) and high (2, 3, 6, 7) halves, a byte to a 16-bit lane.
KORVO_AVX2 inline __m256i WidenLow(__m256i v) { return _mm256_unpacklo_epi8(v, _mm256_setzero_si256()); }

KORVO_AVX2 inline __m256i WidenHigh(__m256i v) { return _mm256_unpackhi_epi8(v, _mm256_setzero_si256()); }

// Weights for the widened pixels. Each is repeated over the three colour lanes
// its pixel takes in the low or the high half, and the fourth lane gets 0: a
// weight of 0 leaves the destination's byte 3 as it was.
constexpr char kZeroLane = static_cast<char>(0x80);

// A value in the low 16 bits of each pixel's word.
KORVO_AVX2 inline __m256i SpreadLow(__m256i words)
{
    const char z = kZeroLane;
    return _mm256_shuffle_epi8(words, _mm256_setr_epi8(0, 1, 0, 1, 0, 1, z, z, 4, 5, 4, 5, 4, 5, z, z, 0, 1, 0, 1, 0,
                                                       1, z, z, 4, 5, 4, 5, 4, 5, z, z));
}

KORVO_AVX2 inline __m256i SpreadHigh(__m256i words)
{
    const char z = kZeroLane;
    return _mm256_shuffle_epi8(words, _mm256_setr_epi8(8, 9, 8, 9, 8, 9, z, z, 12, 13, 12, 13, 12, 13, z, z, 8, 9, 8,
                                                       9, 8, 9, z, z, 12, 13, 12, 13, 12, 13, z, z));
}

// Lane 3 (the alpha) of each widened pixel.
KORVO_AVX2 inline __m256i SpreadWidenedAlpha(__m256i half)
{
    const char z = kZeroLane;
    return _mm256_shuffle_epi8(half, _mm256_setr_epi8(6, 7, 6, 7, 6, 7, z, z, 14, 15, 14, 15, 14, 15, z, z, 6, 7, 6,
                                                      7, 6, 7, z, z, 14, 15, 14, 15, 14, 15, z, z));
}

// Lerp8<1>: (d * (256 - w) + x * w) >> 8, w up to 256; the sum stays below 65536.
KORVO_AVX2 inline __m256i LerpLanesK1(__m256i d, __m256i x, __m256i w)
{
    const __m256i inverse = _mm256_sub_epi16(_mm256_set1_epi16(256), w);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(d, inverse), _mm256_mullo_epi16(x, w)), 8);
}

// Lerp8<2>: d + floor((x - d) * w / 65536), w up to 65280: the magnitude's
// product split into its high and low words, rounded down when negative.
KORVO_AVX2 inline __m256i LerpLanesK2(__m256i d, __m256i x, __m256i w)
{
    const __m256i delta = _mm256_sub_epi16(x, d);
    const __m256i negative = _mm256_srai_epi16(delta, 15);
    const __m256i magnitude = _mm256_abs_epi16(delta);
    const __m256i high = _mm256_mulhi_epu16(magnitude, w);
    const __m256i low = _mm256_mullo_epi16(magnitude, w);
    const __m256i hasRemainder = _mm256_andnot_si256(_mm256_cmpeq_epi16(low, _mm256_setzero_si256()), negative);
    const __m256i remainder = _mm256_srli_epi16(hasRemainder, 15);
    const __m256i quotient = _mm256_add_epi16(high, remainder);
    return _mm256_add_epi16(d, _mm256_sub_epi16(_mm256_xor_si256(quotient, negative), negative));
}

// CrossFadeArgbPixels on one widened half: (t + (t >> 8)) >> 8 with
// t = b w + s (255 - w) + 128, which is (t x 257) >> 16.
KORVO_AVX2 inline __m256i MixLanes(__m256i s, __m256i b, __m256i w, __m256i inverse)
{
    const __m256i t = _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(b, w), _mm256_mullo_epi16(s, inverse)),
                                       _mm256_set1_epi16(128));
    return _mm256_mulhi_epu16(t, _mm256_set1_epi16(257));
}

// How a cross-fade reads an image's pixels as 0xAARRGGBB (BlendGraphArgb).
enum ArgbReading : int {
    READ_AS_IS = 0,     // the image's own alpha
    READ_OPAQUE = 1,    // no alpha: 255
    READ_KEYED = 2,     // no alpha: 255, 0 where the pixel equals the key
};

template <int Reading>
KORVO_AVX2 inline __m256i ReadArgb(__m256i v, __m256i key)
{
    if constexpr (Reading == READ_AS_IS) {
        return v;
    } else {
        const __m256i opaque = _mm256_or_si256(v, Byte3Mask());
        if constexpr (Reading == READ_OPAQUE)
            return opaque;
        else
            return _mm256_andnot_si256(_mm256_and_si256(_mm256_cmpeq_epi32(v, key), Byte3Mask()), opaque);
    }
}

// ---------------------------------------------------------------------------
// Cross-fade rows
// ---------------------------------------------------------------------------

template <int Policy, int DrawnReading, int BlendReading>
KORVO_AVX2 void CrossFadeRows(const BlendGraphRows &g, const BlendGraphRule &r)
{
    const __m256i key = _mm256_set1_epi32(static_cast<int>(r.key));
    const __m256i w = _mm256_set1_epi16(static_cast<short>(r.weight));
    const __m256i inverse = _mm256_set1_epi16(static_cast<short>(255 - r.weight));
    const __m256i p = _mm256_set1_epi16(static_cast<short>(r.p));
    const __m256i opaque = _mm256_set1_epi16(255);
    for (int y = 0; y < g.height; ++y) {
        const uint8_t *src = g.source + y * g.sourcePitch;
        const uint8_t *blend = g.blendGraph + y * g.blendGraphPitch;
        uint8_t *dst = g.destination + y * g.destinationPitch;
        int x = 0;
        for (; x + 8 <= g.width; x += 8, src += 32, blend += 32, dst += 32) {
            const __m256i s = ReadArgb<DrawnReading>(LoadPixels(src), key);
            const __m256i b = ReadArgb<BlendReading>(LoadPixels(blend), key);
            const __m256i mLow = MixLanes(WidenLow(s), WidenLow(b), w, inverse);
            const __m256i mHigh = MixLanes(WidenHigh(s), WidenHigh(b), w, inverse);
            const __m256i m = _mm256_packus_epi16(mLow, mHigh);
            if constexpr (Policy == FADE_COPY_WHOLE) {
                StorePixels(dst, m);
                continue;
            } else {
                const __m256i d = LoadPixels(dst);
                const __m256i aLow = SpreadWidenedAlpha(mLow);
                const __m256i aHigh = SpreadWidenedAlpha(mHigh);
                __m256i low, high;
                if constexpr (Policy == FADE_SKIP_ZERO_COPY) {
                    low = LerpLanesK1(WidenLow(d), mLow, aLow);
                    high = LerpLanesK1(WidenHigh(d), mHigh, aHigh);
                } else {
                    // Alpha 255 under the transparent flag takes p alone: Lerp8<1> by p is Lerp8<2> by 256 p.
                    __m256i lowWeight = aLow, highWeight = aHigh;
                    if constexpr (Policy == FADE_SKIP_ZERO_ALPHA) {
                        lowWeight = _mm256_sub_epi16(aLow, _mm256_cmpeq_epi16(aLow, opaque));
                        highWeight = _mm256_sub_epi16(aHigh, _mm256_cmpeq_epi16(aHigh, opaque));
                    }
                    low = LerpLanesK2(WidenLow(d), mLow, _mm256_mullo_epi16(lowWeight, p));
                    high = LerpLanesK2(WidenHigh(d), mHigh, _mm256_mullo_epi16(highWeight, p));
                }
                __m256i out = _mm256_packus_epi16(low, high);
                if constexpr (Policy == FADE_SKIP_ZERO_COPY) {
                    const __m256i whole = _mm256_cmpeq_epi32(_mm256_and_si256(m, Byte3Mask()), Byte3Mask());
                    out = _mm256_blendv_epi8(out, m, whole);
                }
                StorePixels(dst, out);
            }
        }
        for (; x < g.width; ++x, src += 4, blend += 4, dst += 4)
            StoreU32(dst, BlendGraphPixel(r, LoadU32(src), LoadU32(blend), LoadU32(dst)));
    }
}

template <int Policy, int BlendReading>
void RunCrossFadeRowsReading(const BlendGraphRows &g, const BlendGraphRule &r)
{
    if (r.sourceAlpha)
        CrossFadeRows<Policy, READ_AS_IS, BlendReading>(g, r);
    else if (r.keySource)
        CrossFadeRows<Policy, READ_KEYED, BlendReading>(g, r);
    else
        CrossFadeRows<Policy, READ_OPAQUE, BlendReading>(g, r);
}

template <int Policy>
void RunCrossFadeRows(const BlendGraphRows &g, const BlendGraphRule &r)
{
    if (r.blendGraphAlpha)
        RunCrossFadeRowsReading<Policy, READ_AS_IS>(g, r);
    else
        RunCrossFadeRowsReading<Policy, READ_OPAQUE>(g, r);
}

// ---------------------------------------------------------------------------
// Weight rows (threshold and masking)
// ---------------------------------------------------------------------------

// Source kinds of the weight rows: colour only (K1 by t, or K2 by t x p in mode 1) or with alpha (K2 by t x a).
enum WeightedSource : int {
    WEIGHTED_COLOUR_COPY = 0,
    WEIGHTED_COLOUR_ALPHA_MODE = 1,
    WEIGHTED_ALPHA_COPY = 2,
};

template <int Source, int Weights, bool Keyed>
KORVO_AVX2 void WeightRows(const BlendGraphRows &g, const BlendGraphRule &r)
{
    const __m256i key = _mm256_set1_epi32(static_cast<int>(r.key));
    // Under the transparent flag alpha 255 weighs by t alone: Lerp8<1> by t is Lerp8<2> by 256 t.
    const __m256i fullAlphaStep = _mm256_set1_epi32(r.transparent ? 1 : 0);
    const __m256i opaque = _mm256_set1_epi32(255);
    const __m256i constant = _mm256_set1_epi32(r.threshold[255]);
    const __m256i p = _mm256_set1_epi16(static_cast<short>(r.p));
    uint8_t weights[kWeightChunk];
    for (int y = 0; y < g.height; ++y) {
        const uint8_t *src = g.source + y * g.sourcePitch;
        const uint8_t *blend = g.blendGraph + y * g.blendGraphPitch;
        uint8_t *dst = g.destination + y * g.destinationPitch;
        int x = 0;
        while (x + 8 <= g.width) {
            const int chunk = g.width - x < kWeightChunk ? (g.width - x) & ~7 : kWeightChunk;
            if constexpr (Weights == WEIGHT_FROM_TABLE) {
                for (int i = 0; i < chunk; ++i)
                    weights[i] = r.threshold[blend[4 * i + 3]];
            }
            for (int i = 0; i < chunk; i += 8, src += 32, blend += 32, dst += 32) {
                const __m256i s = LoadPixels(src);
                const __m256i d = LoadPixels(dst);
                __m256i t;
                if constexpr (Weights == WEIGHT_FROM_ALPHA)
                    t = _mm256_srli_epi32(LoadPixels(blend), 24);
                else if constexpr (Weights == WEIGHT_CONSTANT)
                    t = constant;
                else
                    t = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(weights + i)));
                if constexpr (Source == WEIGHTED_ALPHA_COPY) {
                    const __m256i a = _mm256_srli_epi32(s, 24);
                    const __m256i step = _mm256_and_si256(_mm256_cmpeq_epi32(a, opaque), fullAlphaStep);
                    t = _mm256_mullo_epi16(t, _mm256_add_epi32(a, step));
                }
                const __m256i low = WidenLow(d), high = WidenHigh(d);
                __m256i lowWeight = SpreadLow(t), highWeight = SpreadHigh(t);
                __m256i out;
                if constexpr (Source == WEIGHTED_COLOUR_COPY) {
                    out = _mm256_packus_epi16(LerpLanesK1(low, WidenLow(s), lowWeight),
                                              LerpLanesK1(high, WidenHigh(s), highWeight));
                } else {
                    if constexpr (Source == WEIGHTED_COLOUR_ALPHA_MODE) {
                        lowWeight = _mm256_mullo_epi16(lowWeight, p);
                        highWeight = _mm256_mullo_epi16(highWeight, p);
                    }
                    out = _mm256_packus_epi16(LerpLanesK2(low, WidenLow(s), lowWeight),
                                              LerpLanesK2(high, WidenHigh(s), highWeight));
                }
                if constexpr (Keyed)
                    out = _mm256_blendv_epi8(out, d, _mm256_cmpeq_epi32(s, key));
                StorePixels(dst, out);
            }
            x += chunk;
        }
        for (; x < g.width; ++x, src += 4, blend += 4, dst += 4)
            StoreU32(dst, BlendGraphPixel(r, LoadU32(src), LoadU32(blend), LoadU32(dst)));
    }
}

template <int Source, bool Keyed>
void RunWeightRows(const BlendGraphRows &g, const BlendGraphRule &r)
{
    if (!r.blendGraphAlpha)
        WeightRows<Source, WEIGHT_CONSTANT, Keyed>(g, r);
    else if (r.thresholdIsIdentity)
        WeightRows<Source, WEIGHT_FROM_ALPHA, Keyed>(g, r);
    else
        WeightRows<Source, WEIGHT_FROM_TABLE, Keyed>(g, r);
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

bool BlendGraphRowsAvx2(const BlendGraphRows &g, const BlendGraphRule &r)
{
    if (r.use == MEMIMG_BLEND_GRAPH_CROSS_FADE) {
        if (!r.transparent)
            r.copy ? RunCrossFadeRows<FADE_COPY_WHOLE>(g, r) : RunCrossFadeRows<FADE_ALPHA_ALWAYS>(g, r);
        else
            r.copy ? RunCrossFadeRows<FADE_SKIP_ZERO_COPY>(g, r) : RunCrossFadeRows<FADE_SKIP_ZERO_ALPHA>(g, r);
        return true;
    }
    if (r.sourceAlpha) {
        // Alpha, weight and parameter together need 24 bits: the base form takes them.
        if (!r.copy)
            return false;
        RunWeightRows<WEIGHTED_ALPHA_COPY, false>(g, r);
    } else if (r.copy) {
        if (r.transparent)
            RunWeightRows<WEIGHTED_COLOUR_COPY, true>(g, r);
        else
            RunWeightRows<WEIGHTED_COLOUR_COPY, false>(g, r);
    } else if (r.transparent) {
        RunWeightRows<WEIGHTED_COLOUR_ALPHA_MODE, true>(g, r);
    } else {
        RunWeightRows<WEIGHTED_COLOUR_ALPHA_MODE, false>(g, r);
    }
    return true;
}

}  // namespace Korvo

#endif  // KORVO_WIDE_VECTOR_FORMS

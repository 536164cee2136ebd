// Vector forms of the common 32-bit plain-blit loops: four pixels per step with
// SSE2, the same integer rules as the scalar loops and so the same bytes.
#include "softraster/blit_plain_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Korvo {

#if defined(__SSE2__)

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

namespace {

// floor(i * x / 255) on 16-bit lanes holding 0..255 each: (v + 1) * 257 >> 16 is exact for v <= 65025.
inline __m128i ProductLanes(__m128i x, __m128i i)
{
    const __m128i v = _mm_mullo_epi16(x, i);
    return _mm_mulhi_epu16(_mm_add_epi16(v, _mm_set1_epi16(1)), _mm_set1_epi16(257));
}

// Bytes 0-2 of r with byte 3 of d.
inline __m128i KeepByte3(__m128i r, __m128i d)
{
    const __m128i high = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    return _mm_or_si128(_mm_andnot_si128(high, r), _mm_and_si128(high, d));
}

// Apply f to the low and high pixel pairs widened to 16-bit lanes, and pack back.
template <class F>
inline __m128i PerChannel(__m128i s, __m128i d, F f)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = f(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero), 0);
    const __m128i hi = f(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero), 1);
    return _mm_packus_epi16(lo, hi);
}

// (d * 256 + (x - d) * w) >> 8 on 16-bit lanes; exact because the true sum lies in 0..65280.
inline __m128i LerpLanes(__m128i x, __m128i d, __m128i w)
{
    const __m128i sum = _mm_add_epi16(_mm_slli_epi16(d, 8), _mm_mullo_epi16(_mm_sub_epi16(x, d), w));
    return _mm_srli_epi16(sum, 8);
}

inline __m128i PackedAddLanes(__m128i s, __m128i d, bool lowTerm)
{
    const __m128i mask = _mm_set1_epi32(0xFEFEFF);
    if (lowTerm) {
        // Byte-saturating sums of the masked bytes, the packed sum's carries and
        // the operands' low bits: the packed add's bytes (see simd_pixels.h).
        const __m128i sMasked = _mm_and_si128(s, mask), dMasked = _mm_and_si128(d, mask);
        const __m128i carries = _mm_and_si128(_mm_add_epi32(sMasked, dMasked), _mm_set1_epi32(0x1010100));
        const __m128i sum = _mm_adds_epu8(dMasked, _mm_and_si128(s, _mm_set1_epi32(0xFFFFFF)));
        return _mm_or_si128(_mm_or_si128(sum, carries), _mm_and_si128(d, _mm_set1_epi32(0x10100)));
    }
    const __m128i k = _mm_add_epi32(_mm_and_si128(s, mask), _mm_and_si128(d, mask));
    const __m128i q = _mm_and_si128(k, _mm_set1_epi32(0x1010100));
    return _mm_or_si128(_mm_sub_epi32(q, _mm_srli_epi32(q, 8)), k);
}

inline __m128i PackedSubtractLanes(__m128i s, __m128i d)
{
    const __m128i e = _mm_sub_epi32(_mm_or_si128(d, _mm_set1_epi32(0x1010100)), _mm_and_si128(s, _mm_set1_epi32(0xFEFEFF)));
    const __m128i m = _mm_and_si128(e, _mm_set1_epi32(0x1010100));
    return _mm_and_si128(e, _mm_sub_epi32(m, _mm_srli_epi32(m, 8)));
}

// Walk the rows four pixels at a time; keyed pixels keep the destination; the
// last pixels of a row take the scalar rule.
template <class Vector, class Scalar>
void VectorRows(const BlitRows &g, bool keyed, uint32_t key, Vector vector, Scalar scalar)
{
    const __m128i keys = _mm_set1_epi32(static_cast<int>(key));
    for (int y = 0; y < g.height; ++y) {
        const uint8_t *src = g.source + y * g.sourcePitch;
        uint8_t *dst = g.destination + y * g.destinationPitch;
        int x = 0;
        for (; x + 4 <= g.width; x += 4, src += 16, dst += 16) {
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst));
            __m128i r = vector(s, d);
            if (keyed) {
                const __m128i hit = _mm_cmpeq_epi32(s, keys);
                if (_mm_movemask_epi8(hit) == 0xFFFF)
                    continue;
                r = _mm_or_si128(_mm_and_si128(hit, d), _mm_andnot_si128(hit, r));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), r);
        }
        for (; x < g.width; ++x, src += 4, dst += 4) {
            const uint32_t s = LoadU32(src);
            if (keyed && s == key)
                continue;
            StoreU32(dst, scalar(s, LoadU32(dst)));
        }
    }
}

// Bright colour as 16-bit lanes for two pixels: blue, green, red, 255.
__m128i BrightLanes()
{
    const uint32_t b = MemImgState.brightColor;
    const short blue = static_cast<short>(b & 0xFF), green = static_cast<short>((b >> 8) & 0xFF),
                red = static_cast<short>((b >> 16) & 0xFF);
    return _mm_setr_epi16(blue, green, red, 255, blue, green, red, 255);
}

template <bool Bright>
bool OpaqueFastPath(int op, const BlitRows &g, bool keyed, const BlitRuleContext &c)
{
    const __m128i bright = BrightLanes();
    const __m128i p = _mm_set1_epi16(static_cast<short>(c.p));
    // Weight 0 in the byte-3 lanes keeps the destination's byte 3 without a mask step.
    const short w = static_cast<short>(c.p);
    const __m128i pColour = _mm_setr_epi16(w, w, w, 0, w, w, w, 0);
    auto scaled = [&](__m128i s16) { return Bright ? ProductLanes(s16, bright) : s16; };
    switch (op) {
    case BLIT_OP_COPY:
        if (!Bright)
            return false;   // plain copies and keyed copies stay in the scalar loops' memcpy or key loop
        VectorRows(
            g, keyed, c.key,
            [&](__m128i s, __m128i d) {
                return KeepByte3(PerChannel(s, d, [&](__m128i s16, __m128i, int) { return scaled(s16); }), d);
            },
            [&](uint32_t s, uint32_t d) { return Rule32<BLIT_OP_COPY, false, false, Bright>(s, d, 0, 0, c); });
        return true;
    case BLIT_OP_HALVE:
        VectorRows(
            g, keyed, c.key,
            [&](__m128i s, __m128i d) {
                const __m128i m = _mm_set1_epi32(0x7F7F7F);
                return _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(s, 1), m), _mm_and_si128(_mm_srli_epi32(d, 1), m));
            },
            [&](uint32_t s, uint32_t d) { return Rule32<BLIT_OP_HALVE, false, false, false>(s, d, 0, 0, c); });
        return true;
    case BLIT_OP_ALPHA:
        VectorRows(
            g, keyed, c.key,
            [&](__m128i s, __m128i d) {
                return PerChannel(s, d, [&](__m128i s16, __m128i d16, int) { return LerpLanes(scaled(s16), d16, pColour); });
            },
            [&](uint32_t s, uint32_t d) { return Rule32<BLIT_OP_ALPHA, false, false, Bright>(s, d, 0, 0, c); });
        return true;
    case BLIT_OP_ADD_BYTES:
        VectorRows(
            g, keyed, c.key, [&](__m128i s, __m128i d) { return _mm_adds_epu8(s, d); },
            [&](uint32_t s, uint32_t d) { return BytewiseAdd32(s, d); });
        return true;
    case BLIT_OP_SUBTRACT_BYTES:
        VectorRows(
            g, keyed, c.key, [&](__m128i s, __m128i d) { return _mm_subs_epu8(d, s); },
            [&](uint32_t s, uint32_t d) { return BytewiseSubtract32(s, d); });
        return true;
    case BLIT_OP_ADD_NO_LOW:
        VectorRows(
            g, keyed, c.key, [&](__m128i s, __m128i d) { return PackedAddLanes(s, d, false); },
            [&](uint32_t s, uint32_t d) { return PackedAddNoLow32(s, d); });
        return true;
    case BLIT_OP_ADD:
    case BLIT_OP_SUBTRACT: {
        const bool add = op == BLIT_OP_ADD;
        auto terms = [&](__m128i s, __m128i d) {
            return PerChannel(s, d, [&](__m128i s16, __m128i, int) { return ProductLanes(scaled(s16), p); });
        };
        if (add)
            VectorRows(
                g, keyed, c.key, [&](__m128i s, __m128i d) { return PackedAddLanes(terms(s, d), d, true); },
                [&](uint32_t s, uint32_t d) { return Rule32<BLIT_OP_ADD, false, false, Bright>(s, d, 0, 0, c); });
        else
            VectorRows(
                g, keyed, c.key, [&](__m128i s, __m128i d) { return PackedSubtractLanes(terms(s, d), d); },
                [&](uint32_t s, uint32_t d) { return Rule32<BLIT_OP_SUBTRACT, false, false, Bright>(s, d, 0, 0, c); });
        return true;
    }
    case BLIT_OP_MULTIPLY:
        VectorRows(
            g, keyed, c.key,
            [&](__m128i s, __m128i d) {
                return KeepByte3(PerChannel(s, d,
                                            [&](__m128i s16, __m128i d16, int) {
                                                return _mm_srli_epi16(_mm_mullo_epi16(scaled(s16), d16), 8);
                                            }),
                                 d);
            },
            [&](uint32_t s, uint32_t d) { return Rule32<BLIT_OP_MULTIPLY, false, false, Bright>(s, d, 0, 0, c); });
        return true;
    default:
        return false;
    }
}

// d + floor((x - d) * w / 256) on 16-bit lanes, w in 0..256 given as 2w: the
// signed high half of (x - d) * 128 times 2w is exactly that floor, and w = 256 gives x.
inline __m128i LerpLanesHigh(__m128i x, __m128i d, __m128i twiceWeight)
{
    return _mm_add_epi16(d, _mm_mulhi_epi16(_mm_slli_epi16(_mm_sub_epi16(x, d), 7), twiceWeight));
}

// The keyed copy of count pixels of an alpha source: alpha 0 keeps the
// destination, 255 stores the pixel (bright-scaled colour over the
// destination's byte 3 when bright is on), anything else interpolates by alpha. Weights are stored doubled:
// alpha 0 gives the destination and weight 256 the source colour exactly, so
// one interpolation serves every case; byte 3 keeps the destination's unless an
// opaque pixel is stored whole. The channels stay in place: blue and red in the
// low bytes of each pixel's 16-bit halves, green and byte 3 after a shift by 8.
template <bool Bright>
inline __m128i AlphaPixels4(__m128i s, __m128i d)
{
    const uint32_t b = MemImgState.brightColor;
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    const __m128i alpha = _mm_srli_epi32(s, 24);
    const __m128i opaque = _mm_cmpeq_epi32(alpha, _mm_set1_epi32(255));
    const __m128i twice = _mm_slli_epi32(_mm_sub_epi32(alpha, opaque), 1);   // 2a, or 512 when opaque
    const __m128i blueRedWeight = _mm_or_si128(twice, _mm_slli_epi32(twice, 16));
    const __m128i greenWeight = _mm_or_si128(twice, _mm_and_si128(opaque, _mm_set1_epi32(Bright ? 0 : 512 << 16)));
    __m128i blueRed = _mm_and_si128(s, lowBytes), green = _mm_srli_epi16(s, 8);
    if (Bright) {
        blueRed = ProductLanes(blueRed, _mm_set1_epi32(static_cast<int>((b & 0xFF) | ((b >> 16) & 0xFF) << 16)));
        green = ProductLanes(green, _mm_set1_epi32(static_cast<int>(((b >> 8) & 0xFF) | 255u << 16)));
    }
    const __m128i rb = LerpLanesHigh(blueRed, _mm_and_si128(d, lowBytes), blueRedWeight);
    const __m128i ga = LerpLanesHigh(green, _mm_srli_epi16(d, 8), greenWeight);
    return _mm_or_si128(rb, _mm_slli_epi16(ga, 8));
}

// Load and store one to three 32-bit pixels in the low lanes of a vector.
inline __m128i LoadFewPixels(const uint8_t *p, int count)
{
    const __m128i last = _mm_cvtsi32_si128(static_cast<int>(LoadU32(p + 4 * (count - 1))));
    if (count == 1)
        return last;
    const __m128i pair = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p));
    return count == 2 ? pair : _mm_unpacklo_epi64(pair, last);
}

inline void StoreFewPixels(uint8_t *p, __m128i v, int count)
{
    if (count >= 2)
        _mm_storel_epi64(reinterpret_cast<__m128i *>(p), v);
    if (count != 2)
        StoreU32(p + 4 * (count - 1), static_cast<uint32_t>(_mm_cvtsi128_si32(count == 1 ? v : _mm_srli_si128(v, 8))));
}

// One to three pixels through the same arithmetic.
template <bool Bright>
inline void AlphaPixelsFew(uint8_t *dst, const uint8_t *src, int count)
{
    StoreFewPixels(dst, AlphaPixels4<Bright>(LoadFewPixels(src, count), LoadFewPixels(dst, count)), count);
}

template <bool Bright>
inline void AlphaSpan(uint8_t *dst, const uint8_t *src, int count)
{
    for (; count >= 8; count -= 8, src += 32, dst += 32) {
        const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
        const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 16));
        const __m128i d0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst));
        const __m128i d1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), AlphaPixels4<Bright>(s0, d0));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 16), AlphaPixels4<Bright>(s1, d1));
    }
    for (; count >= 4; count -= 4, src += 16, dst += 16) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), AlphaPixels4<Bright>(s, d));
    }
    if (count > 0)
        AlphaPixelsFew<Bright>(dst, src, count);
}

// Keyed copy of an alpha source, row by row.
template <bool Bright>
void SpriteRows(const BlitRows &g, const BlitRuleContext &)
{
    const size_t rowBytes = static_cast<size_t>(g.width) * 4;
    for (int y = 0; y < g.height; ++y) {
        uint8_t *row = g.destination + y * g.destinationPitch;
        // The next destination row lies a pitch away, usually in another page,
        // where the hardware's stream detection does not follow: ask for it now.
        if (y + 1 < g.height) {
            _mm_prefetch(reinterpret_cast<const char *>(row + g.destinationPitch), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char *>(row + g.destinationPitch + rowBytes - 1), _MM_HINT_T0);
        }
        AlphaSpan<Bright>(row, g.source + y * g.sourcePitch, g.width);
    }
}

// Copy of an alpha source along its run table: long clear runs skipped, long
// opaque runs of a plain copy moved whole, the rest drawn in stretches as long
// as the runs allow. Within a table that describes its pixels, a partial run holds
// alpha 1..254, an opaque run alpha 255, so the weights of the keyed copy
// are the weights each run asks for.
template <bool Bright>
void SpriteRunRows(const BlitRows &g, const uint8_t *runs)
{
    constexpr int kLongRun = 8;
    for (int y = 0; y < g.height; ++y) {
        const uint8_t *src = g.source + y * g.sourcePitch;
        uint8_t *dst = g.destination + y * g.destinationPitch;
        const uint8_t *stretchSource = src;
        uint8_t *stretchDestination = dst;
        int stretch = 0;
        auto flush = [&] {
            AlphaSpan<Bright>(stretchDestination, stretchSource, stretch);
            stretch = 0;
        };
        int left = g.width;
        for (uint8_t code = *runs++; code < MEMIMG_RUN_ROW_END; code = *runs++) {
            const int n = TakeRunLength(code, &left);
            const int type = code >> 6;
            if (n >= kLongRun && (type == MEMIMG_RUN_SKIP || (!Bright && type == MEMIMG_RUN_OPAQUE))) {
                flush();
                if (type == MEMIMG_RUN_OPAQUE)
                    std::memcpy(dst, src, static_cast<size_t>(4 * n));
            } else {
                if (stretch == 0) {
                    stretchSource = src;
                    stretchDestination = dst;
                }
                stretch += n;
            }
            src += 4 * n;
            dst += 4 * n;
        }
        flush();
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Vector forms of the common 32-bit loops; false when the variant has none.
bool RunPlainFastPath(const BlitVariant &v, bool wide, bool palette, bool alpha, const BlitRows &g,
                      const BlitRuleContext &c)
{
    if (!wide || palette || v.blend)
        return false;
    if (alpha) {
        if (v.op != BLIT_OP_COPY || v.policy != BLIT_ALPHA_SKIP_ZERO)
            return false;
        v.bright ? SpriteRows<true>(g, c) : SpriteRows<false>(g, c);
        return true;
    }
    if (v.policy == BLIT_DRAW_ALL && v.op == BLIT_OP_COPY && !v.bright)
        return false;
    const bool keyed = v.policy != BLIT_DRAW_ALL;
    if (v.op == BLIT_OP_COPY && !v.bright) {
        VectorRows(
            g, keyed, c.key, [](__m128i s, __m128i) { return s; }, [](uint32_t s, uint32_t) { return s; });
        return true;
    }
    return v.bright ? OpaqueFastPath<true>(v.op, g, keyed, c) : OpaqueFastPath<false>(v.op, g, keyed, c);
}

// Run-table copy of a 32-bit alpha source without blend image; false for other variants.
bool RunTableFastPath(int op, bool blend, bool alpha, const BlitRows &g, const uint8_t *runs, const BlitRuleContext &c)
{
    if (op != BLIT_OP_COPY || blend || !alpha)
        return false;
    // A table broken into short runs (a first row with more than one run per
    // eight pixels) costs more to walk than it skips: the keyed copy gives the
    // same pixels without it.
    int firstRowRuns = 0;
    for (const uint8_t *code = runs; *code < MEMIMG_RUN_ROW_END; ++code)
        ++firstRowRuns;
    const bool bright = MemImgBrightOn();
    if (firstRowRuns * 8 > g.width)
        bright ? SpriteRows<true>(g, c) : SpriteRows<false>(g, c);
    else
        bright ? SpriteRunRows<true>(g, runs) : SpriteRunRows<false>(g, runs);
    return true;
}

#else

bool RunTableFastPath(int, bool, bool, const BlitRows &, const uint8_t *, const BlitRuleContext &)
{
    return false;
}

// Vector forms of the common 32-bit loops: none without SSE2.
bool RunPlainFastPath(const BlitVariant &, bool, bool, bool, const BlitRows &, const BlitRuleContext &)
{
    return false;
}

#endif

}  // namespace Korvo

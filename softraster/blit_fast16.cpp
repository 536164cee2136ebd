// Vector forms of the common R5G6B5 plain-blit loops: eight pixels per step
// with SSE2, each field through the same integer steps as the scalar rules.
#include "softraster/blit_plain_internal.h"
#include "softraster/simd_pixels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Korvo {

#if defined(__SSE2__)

namespace {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// The three fields of eight pixels, each in its own 16-bit lanes.
struct Fields565 {
    __m128i blue, green, red;
};

inline Fields565 SplitFields565(__m128i p)
{
    return {_mm_and_si128(p, _mm_set1_epi16(0x1F)), _mm_and_si128(_mm_srli_epi16(p, 5), _mm_set1_epi16(0x3F)),
            _mm_srli_epi16(p, 11)};
}

inline __m128i JoinFields565(__m128i blue, __m128i green, __m128i red)
{
    return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(red, 11), _mm_slli_epi16(green, 5)), blue);
}

// floor(f * i / 255) for f * i <= 65025: (f * i + 1) * 257 >> 16 is exact there (the scale table's entry).
inline __m128i ScaleLanes(__m128i f, __m128i i)
{
    return _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(f, i), _mm_set1_epi16(1)), _mm_set1_epi16(257));
}

// floor((s * b + d * (63 - b)) / 63) for s, d <= 63: n * 8323 >> 19 is floor(n / 63) for n <= 3969.
inline __m128i Lerp6Lanes(__m128i s, __m128i d, __m128i b, __m128i rest)
{
    const __m128i n = _mm_add_epi16(_mm_mullo_epi16(s, b), _mm_mullo_epi16(d, rest));
    return _mm_srli_epi16(_mm_mulhi_epu16(n, _mm_set1_epi16(8323)), 3);
}

// PackedAdd16 on eight pixels. The carry out of red (bit 16 of the scalar
// word) is taken from the operands, since the lanes hold only 16 bits.
inline __m128i PackedAddLanes16(__m128i s, __m128i d)
{
    const __m128i keep = _mm_set1_epi16(static_cast<short>(0xF7DF));
    const __m128i a = _mm_and_si128(s, keep), b = _mm_and_si128(d, keep);
    const __m128i k = _mm_add_epi16(a, b);
    const __m128i carryOut = _mm_srai_epi16(_mm_or_si128(_mm_and_si128(a, b), _mm_andnot_si128(k, _mm_or_si128(a, b))), 15);
    const __m128i q = _mm_and_si128(k, _mm_set1_epi16(0x0820));
    const __m128i saturated = _mm_or_si128(_mm_sub_epi16(q, _mm_srli_epi16(q, 5)),
                                           _mm_and_si128(carryOut, _mm_set1_epi16(static_cast<short>(0xF800))));
    const __m128i low = _mm_and_si128(_mm_or_si128(s, d), _mm_set1_epi16(0x0820));
    return _mm_or_si128(_mm_or_si128(k, saturated), low);
}

// Walk the rows eight pixels at a time; keyed pixels keep the destination; the
// last pixels of a row take the scalar rule.
template <bool Keyed, class Vector, class Scalar>
void VectorRows16(const BlitRows &g, uint32_t key, Vector vector, Scalar scalar)
{
    const __m128i keys = _mm_set1_epi16(static_cast<short>(key));
    const int width = g.width;
    for (int y = 0; y < g.height; ++y) {
        const uint8_t *src = g.source + y * g.sourcePitch;
        uint8_t *dst = g.destination + y * g.destinationPitch;
        int x = 0;
        for (; x + 8 <= width; x += 8, src += 16, dst += 16) {
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
            if (Keyed) {
                const __m128i hit = _mm_cmpeq_epi16(s, keys);
                const int hits = _mm_movemask_epi8(hit);
                if (hits == 0xFFFF)
                    continue;
                const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst));
                const __m128i r = vector(s, d);
                _mm_storeu_si128(reinterpret_cast<__m128i *>(dst),
                                 hits == 0 ? r : _mm_or_si128(_mm_and_si128(hit, d), _mm_andnot_si128(hit, r)));
            } else {
                const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), vector(s, d));
            }
        }
        for (; x < width; ++x, src += 2, dst += 2) {
            const uint32_t s = LoadU16(src);
            if (Keyed && s == key)
                continue;
            StoreU16(dst, static_cast<uint16_t>(scalar(s, static_cast<uint32_t>(LoadU16(dst)))));
        }
    }
}

template <bool Keyed>
bool RunFastPath16(const BlitVariant &v, const BlitRows &g, const BlitRuleContext &c, uint32_t key)
{
    const uint32_t brightWord = MemImgState.brightColor;
    const __m128i brightBlue = _mm_set1_epi16(static_cast<short>(brightWord & 0xFF));
    const __m128i brightGreen = _mm_set1_epi16(static_cast<short>((brightWord >> 8) & 0xFF));
    const __m128i brightRed = _mm_set1_epi16(static_cast<short>((brightWord >> 16) & 0xFF));
    const __m128i param = _mm_set1_epi16(static_cast<short>(c.p));
    // Source fields, through the bright rows when the variant has them.
    auto sourceFields = [&](__m128i s, bool bright) {
        Fields565 f = SplitFields565(s);
        if (bright)
            f = {ScaleLanes(f.blue, brightBlue), ScaleLanes(f.green, brightGreen), ScaleLanes(f.red, brightRed)};
        return f;
    };
    switch (v.op) {
    case BLIT_OP_COPY:
        if (!v.bright) {
            VectorRows16<Keyed>(
                g, key, [](__m128i s, __m128i) { return s; }, [](uint32_t s, uint32_t) { return s; });
        } else {
            VectorRows16<Keyed>(
                g, key,
                [&](__m128i s, __m128i) {
                    const Fields565 f = sourceFields(s, true);
                    return JoinFields565(f.blue, f.green, f.red);
                },
                [&](uint32_t s, uint32_t d) { return Rule16<BLIT_OP_COPY, false, false, true, MODE1_SIGNED_LERP>(s, d, 0, 0, c); });
        }
        return true;
    case BLIT_OP_HALVE:
        VectorRows16<Keyed>(
            g, key,
            [](__m128i s, __m128i d) {
                const __m128i m = _mm_set1_epi16(0x7BEF);
                return _mm_add_epi16(_mm_and_si128(_mm_srli_epi16(s, 1), m), _mm_and_si128(_mm_srli_epi16(d, 1), m));
            },
            [&](uint32_t s, uint32_t d) { return Rule16<BLIT_OP_HALVE, false, false, false, MODE1_SIGNED_LERP>(s, d, 0, 0, c); });
        return true;
    case BLIT_OP_ALPHA: {
        if (v.form != MODE1_LERP6) {
            // d + (x - d) * p / 255 truncated toward zero per field (the signed table), x bright-scaled.
            const bool bright = v.bright;
            VectorRows16<Keyed>(
                g, key,
                [&](__m128i s, __m128i d) {
                    const Fields565 x = sourceFields(s, bright), fd = SplitFields565(d);
                    return JoinFields565(FlatAlphaField16(fd.blue, _mm_mullo_epi16(x.blue, param), param),
                                         FlatAlphaField16(fd.green, _mm_mullo_epi16(x.green, param), param),
                                         FlatAlphaField16(fd.red, _mm_mullo_epi16(x.red, param), param));
                },
                [&](uint32_t s, uint32_t d) {
                    return bright ? Rule16<BLIT_OP_ALPHA, false, false, true, MODE1_SIGNED_LERP>(s, d, 0, 0, c)
                                  : Rule16<BLIT_OP_ALPHA, false, false, false, MODE1_SIGNED_LERP>(s, d, 0, 0, c);
                });
            return true;
        }
        const __m128i block = _mm_set1_epi16(static_cast<short>(c.p / 4));
        const __m128i rest = _mm_set1_epi16(static_cast<short>(63 - c.p / 4));
        VectorRows16<Keyed>(
            g, key,
            [&](__m128i s, __m128i d) {
                const Fields565 fs = SplitFields565(s), fd = SplitFields565(d);
                return JoinFields565(Lerp6Lanes(fs.blue, fd.blue, block, rest), Lerp6Lanes(fs.green, fd.green, block, rest),
                                     Lerp6Lanes(fs.red, fd.red, block, rest));
            },
            [&](uint32_t s, uint32_t d) { return Rule16<BLIT_OP_ALPHA, false, false, false, MODE1_LERP6>(s, d, 0, 0, c); });
        return true;
    }
    case BLIT_OP_ADD: {
        const bool bright = v.bright;
        auto scalar = [&](uint32_t s, uint32_t d) {
            return bright ? Rule16<BLIT_OP_ADD, false, false, true, MODE1_SIGNED_LERP>(s, d, 0, 0, c)
                          : Rule16<BLIT_OP_ADD, false, false, false, MODE1_SIGNED_LERP>(s, d, 0, 0, c);
        };
        VectorRows16<Keyed>(
            g, key,
            [&](__m128i s, __m128i d) {
                const Fields565 f = sourceFields(s, bright);
                const __m128i terms = JoinFields565(ScaleLanes(f.blue, param), ScaleLanes(f.green, param),
                                                    ScaleLanes(f.red, param));
                return PackedAddLanes16(terms, d);
            },
            scalar);
        return true;
    }
    default:
        return false;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Vector forms of the common R5G6B5 loops (direct-colour source without alpha
// or blend image); false when the variant has none.
bool RunPlainFastPath16(const BlitVariant &v, const BlitRows &g, const BlitRuleContext &c)
{
    if (v.blend)
        return false;
    if (v.policy == BLIT_DRAW_ALL)
        return RunFastPath16<false>(v, g, c, 0);
    if (v.policy == BLIT_KEY_LOW)
        return RunFastPath16<true>(v, g, c, c.key & 0xFFFF);
    if (v.policy == BLIT_KEY_FULL) {
        // A key with bits above the pixel's 16 matches no pixel.
        if (c.key > 0xFFFF)
            return RunFastPath16<false>(v, g, c, 0);
        return RunFastPath16<true>(v, g, c, c.key);
    }
    return false;
}

#else

bool RunPlainFastPath16(const BlitVariant &, const BlitRows &, const BlitRuleContext &)
{
    return false;
}

#endif

}  // namespace Korvo

// SSE2 forms of the 32-bit pixel rules, four pixels at a time.
//
// Each helper gives the same bytes as its one-pixel form (LerpPixel32, the
// packed add and subtract, the channel products and the scale table): the
// same integer steps, only widened to 16-bit lanes. Every intermediate stays
// below 65536, so unsigned 16-bit lanes hold them exactly.
#pragma once

#if defined(__SSE2__)
#define KORVO_SHAPES_SSE2 1
#include <emmintrin.h>
#else
#define KORVO_SHAPES_SSE2 0
#endif

#include <cstdint>

#include "softraster/flat_color_ops.h"

#if KORVO_SHAPES_SSE2

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// A flat colour widened for the four-pixel loops.
struct FlatColor4 {
    __m128i color;            // the prepared colour word, four times
    __m128i colorWords;       // its three channels as 16-bit lanes (fourth lane 0), two pixels
    __m128i targetTimesParam; // lerp target channels times the parameter (alpha: colour, invert: ~colour)
    __m128i param;            // the parameter in every lane
    __m128i inverseParam;     // 256 - parameter in every lane
    __m128i keepInverse;      // 256 - parameter in the colour lanes, 256 in the fourth (keeps it)
    __m128i addend;           // packed add/subtract addend, four times
    __m128i addendMasked;     // the addend AND 0x00FEFEFF (packed add)
    __m128i addendColor;      // the addend AND 0x00FFFFFF (packed add)
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Colour bytes of the four pixels (0x00FFFFFF each).
inline __m128i ColorByteMask4() { return _mm_set1_epi32(0x00FFFFFF); }

// The colour bytes of result with the fourth bytes of d.
inline __m128i KeepFourthByte4(__m128i d, __m128i result)
{
    const __m128i colorBytes = ColorByteMask4();
    return _mm_or_si128(_mm_and_si128(result, colorBytes), _mm_andnot_si128(colorBytes, d));
}

// Exact n / 255 rounded down per 16-bit lane, for n up to 255 * 255.
inline __m128i DivideWordsBy255(__m128i n)
{
    const __m128i n1 = _mm_add_epi16(n, _mm_set1_epi16(1));
    return _mm_srli_epi16(_mm_add_epi16(n1, _mm_srli_epi16(n1, 8)), 8);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Four pixels moved toward s by p / 256, as LerpPixel32 (fourth bytes of d kept).
inline __m128i LerpPixels32x4(__m128i d, __m128i s, __m128i param, __m128i inverseParam)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), inverseParam),
                                     _mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), param));
    const __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), inverseParam),
                                     _mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), param));
    return KeepFourthByte4(d, _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)));
}

// Four pixels moved toward a fixed target whose channels times p are given;
// the fourth lanes of keepInverse (256) and targetTimesParam (0) keep d's fourth byte.
inline __m128i LerpPixelsToFixed32x4(__m128i d, __m128i targetTimesParam, __m128i keepInverse)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), keepInverse), targetTimesParam);
    const __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), keepInverse), targetTimesParam);
    return _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
}

// PackedAddPixel32 on four pixels, with the addend's two masked forms given:
// sMasked = s AND 0x00FEFEFF, sColor = s AND 0x00FFFFFF. Each colour byte is the
// byte-saturating sum of d's byte (low bit of green and red cleared) and s's
// byte: the even sum of the upper bits saturates exactly as the packed add
// does, and s's low bit only sets bit 0 of a sum that is even. The carries into
// bits 8, 16 and 24 (the packed sum's) and d's low bits of green and red are
// ORed in, as the packed add does.
inline __m128i PackedAddMaskedPixels32x4(__m128i d, __m128i sMasked, __m128i sColor)
{
    const __m128i dMasked = _mm_and_si128(d, _mm_set1_epi32(0x00FEFEFF));
    const __m128i carries = _mm_and_si128(_mm_add_epi32(dMasked, sMasked), _mm_set1_epi32(0x01010100));
    const __m128i low = _mm_and_si128(d, _mm_set1_epi32(0x00010100));
    return _mm_or_si128(_mm_or_si128(_mm_adds_epu8(dMasked, sColor), carries), low);
}

// PackedAddPixel32 on four pixels.
inline __m128i PackedAddPixels32x4(__m128i d, __m128i s)
{
    return PackedAddMaskedPixels32x4(d, _mm_and_si128(s, _mm_set1_epi32(0x00FEFEFF)),
                                     _mm_and_si128(s, _mm_set1_epi32(0x00FFFFFF)));
}

// PackedSubtractPixel32 on four pixels.
inline __m128i PackedSubtractPixels32x4(__m128i d, __m128i s)
{
    const __m128i guard = _mm_set1_epi32(0x01010100);
    const __m128i t = _mm_sub_epi32(_mm_or_si128(d, guard), _mm_and_si128(s, _mm_set1_epi32(static_cast<int>(0xFEFEFEFFu))));
    const __m128i k = _mm_and_si128(t, guard);
    return _mm_and_si128(t, _mm_sub_epi32(k, _mm_srli_epi32(k, 8)));
}

// Each colour byte of four pixels times the matching colorWords lane, shifted
// right by 8 (the multiply rule); the fourth bytes of d are kept.
inline __m128i MultiplyPixels32x4(__m128i d, __m128i colorWords)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), colorWords), 8);
    const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), colorWords), 8);
    return KeepFourthByte4(d, _mm_packus_epi16(lo, hi));
}

// The scale-table row of p applied to the three colour bytes of four words
// (fourth bytes 0): paramWords holds p in the colour lanes and 0 in the fourth.
inline __m128i ScalePixels32x4(__m128i s, __m128i paramWords)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = DivideWordsBy255(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), paramWords));
    const __m128i hi = DivideWordsBy255(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), paramWords));
    return _mm_packus_epi16(lo, hi);
}

// Widen a prepared 32-bit flat colour for the four-pixel loops.
inline FlatColor4 WidenFlatColor32(const FlatColorOp &op, int operation)
{
    FlatColor4 w;
    const int p = op.param;
    w.color = _mm_set1_epi32(static_cast<int>(op.color));
    w.colorWords = _mm_setr_epi16(static_cast<short>(op.channel[0]), static_cast<short>(op.channel[1]),
                                  static_cast<short>(op.channel[2]), 0, static_cast<short>(op.channel[0]),
                                  static_cast<short>(op.channel[1]), static_cast<short>(op.channel[2]), 0);
    const uint32_t target = operation == FLAT_OP_INVERT ? ~op.color : op.color;
    const short b = static_cast<short>((target & 0xFF) * p);
    const short g = static_cast<short>(((target >> 8) & 0xFF) * p);
    const short r = static_cast<short>(((target >> 16) & 0xFF) * p);
    w.targetTimesParam = _mm_setr_epi16(b, g, r, 0, b, g, r, 0);
    w.param = _mm_set1_epi16(static_cast<short>(p));
    w.inverseParam = _mm_set1_epi16(static_cast<short>(256 - p));
    const short q = static_cast<short>(256 - p);
    w.keepInverse = _mm_setr_epi16(q, q, q, 256, q, q, q, 256);
    w.addend = _mm_set1_epi32(static_cast<int>(op.addend));
    w.addendMasked = _mm_set1_epi32(static_cast<int>(op.addend & 0x00FEFEFFu));
    w.addendColor = _mm_set1_epi32(static_cast<int>(op.addend & 0x00FFFFFFu));
    return w;
}

// ApplyFlatColor<1, Op> on four pixels.
template <int Op>
inline __m128i ApplyFlatColor32x4(const FlatColor4 &w, __m128i d)
{
    if constexpr (Op == FLAT_OP_COPY)
        return w.color;
    else if constexpr (Op == FLAT_OP_ADD)
        return PackedAddMaskedPixels32x4(d, w.addendMasked, w.addendColor);
    else if constexpr (Op == FLAT_OP_SUBTRACT)
        return PackedSubtractPixels32x4(d, w.addend);
    else if constexpr (Op == FLAT_OP_ALPHA || Op == FLAT_OP_INVERT)
        return LerpPixelsToFixed32x4(d, w.targetTimesParam, w.keepInverse);
    else if constexpr (Op == FLAT_OP_MULTIPLY)
        return MultiplyPixels32x4(d, w.colorWords);
    else
        // (d * 256 + (t - d) * p) >> 8 with t = d * c >> 8 is (d * (256 - p) + t * p) >> 8.
        return LerpPixels32x4(d, MultiplyPixels32x4(d, w.colorWords), w.param, w.inverseParam);
}

// Apply a flat operation to count 32-bit pixels of one row: four at a time,
// then the rest one by one.
template <int Op>
inline void ApplyFlatColorRow32(const FlatColorOp &op, const FlatColor4 &w, uint8_t *pixel, int count)
{
    for (; count >= 4; count -= 4, pixel += 16) {
        __m128i *at = reinterpret_cast<__m128i *>(pixel);
        if constexpr (Op == FLAT_OP_COPY)
            _mm_storeu_si128(at, w.color);
        else
            _mm_storeu_si128(at, ApplyFlatColor32x4<Op>(w, _mm_loadu_si128(at)));
    }
    for (; count > 0; --count, pixel += 4)
        ApplyFlatColor<1, Op>(op, pixel);
}

// One R5G6B5 field of eight pixels moved toward a colour's field c, given as
// c * p: d plus (c - d) * p / 255 truncated toward zero (the signed table's
// entry), taken as the floor of the magnitude with the sign put back.
inline __m128i FlatAlphaField16(__m128i d, __m128i colorTimesParam, __m128i param)
{
    const __m128i v = _mm_sub_epi16(colorTimesParam, _mm_mullo_epi16(d, param));
    const __m128i magnitude = _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
    const __m128i quotient = _mm_mulhi_epu16(_mm_add_epi16(magnitude, _mm_set1_epi16(1)), _mm_set1_epi16(257));
    const __m128i sign = _mm_srai_epi16(v, 15);
    return _mm_add_epi16(d, _mm_sub_epi16(_mm_xor_si128(quotient, sign), sign));
}

// ApplyFlatColor<0, FLAT_OP_ALPHA> on count R5G6B5 pixels of one row: eight at
// a time, then the rest one by one.
inline void FlatAlphaRow16(const FlatColorOp &op, uint8_t *pixel, int count)
{
    const __m128i param = _mm_set1_epi16(static_cast<short>(op.param));
    const __m128i blue = _mm_set1_epi16(static_cast<short>(op.channel[0] * op.param));
    const __m128i green = _mm_set1_epi16(static_cast<short>(op.channel[1] * op.param));
    const __m128i red = _mm_set1_epi16(static_cast<short>(op.channel[2] * op.param));
    for (; count >= 8; count -= 8, pixel += 16) {
        __m128i *at = reinterpret_cast<__m128i *>(pixel);
        const __m128i d = _mm_loadu_si128(at);
        const __m128i b = FlatAlphaField16(_mm_and_si128(d, _mm_set1_epi16(0x1F)), blue, param);
        const __m128i g = FlatAlphaField16(_mm_and_si128(_mm_srli_epi16(d, 5), _mm_set1_epi16(0x3F)), green, param);
        const __m128i r = FlatAlphaField16(_mm_srli_epi16(d, 11), red, param);
        _mm_storeu_si128(at, _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, 11), _mm_slli_epi16(g, 5)), b));
    }
    for (; count > 0; --count, pixel += 2)
        ApplyFlatColor<0, FLAT_OP_ALPHA>(op, pixel);
}

}  // namespace Korvo

#endif  // KORVO_SHAPES_SSE2

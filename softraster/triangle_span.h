// Span loops of the triangle routine: the per-triangle context, the texel
// fetch and the choice of one loop per variant.
//
// Every combination of destination kind, paletted source, blend image, bright
// colour, source alpha and colour key is its own instantiation of TexturedSpan,
// so the pixel loop tests only the texel range and what its variant needs. A
// blend mode supplies a struct with
//   static constexpr bool kSkipAlphaZero;   // alpha 0 under the colour key is skipped
//   template <int Kind, bool Blend, bool Bright, bool UseAlpha>
//   static void Apply(const TriangleContext &, uint8_t *pixel, const TriangleTexel &, int gate);
#pragma once

#include <cstddef>
#include <cstdint>

#include "softraster/draw_state.h"
#include "softraster/flat_color_ops.h"
#include "softraster/pixel_channels.h"
#include "softraster/simd_pixels.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// What one triangle's span loops read; fixed before the first span.
struct TriangleContext {
    const uint8_t *source;            // the source view's first texel
    ptrdiff_t sourcePitch;
    const uint8_t *palette;           // the source body's converted palette
    uint32_t transparentColor;
    uint32_t sourceWidthFixed;        // width and height in 14.18, compared unsigned
    uint32_t sourceHeightFixed;
    const uint8_t *blend;             // blend image's first byte, or null
    ptrdiff_t blendPitch;
    uint32_t uStepColumn;             // 14.18 texels per column, stepped with wrap-around
    uint32_t vStepColumn;
    int param;                        // blend parameter 0..255
    const int *paramScale;            // scale-table row of the parameter
    const int *paramSigned;           // signed lerp row of the parameter, from its d = 0 entry
    const int *brightRow[3];          // scale-table rows of the bright blue, green, red
    FlatColorOp flat;                 // flat triangle: the converted colour
};

// One fetched texel: its whole colour word, its channels and its alpha.
struct TriangleTexel {
    uint32_t word;                    // 32-bit texel or palette entry; R5G6B5 in the low 16 bits
    int channel[3];                   // blue, green, red in the destination's widths
    int alpha;                        // 0..255 for an alpha source
};

// The per-triangle choices that select a span loop.
struct TriangleVariant {
    int kind;                         // destination (and source) kind, 0 or 1
    bool paletted;
    bool blend;
    bool bright;
    bool alpha;                       // direct-colour source with the alpha flag
    bool key;                         // transparent flag
};

// Draw count pixels of one row from pixel, with texel coordinates u, v at the first.
using TriangleSpanFn = void (*)(const TriangleContext &ctx, uint8_t *pixel, int count, uint32_t u, uint32_t v);

#if KORVO_SHAPES_SSE2
// The blend parameter widened for the four-pixel forms.
struct TriangleParam4 {
    __m128i param;                    // p in every 16-bit lane
    __m128i inverseParam;             // 256 - p in every lane
    __m128i scaleParam;               // p in the colour lanes, 0 in the fourth (scale-table row)
};

// A mode with a four-pixel form for the 32-bit variants without palette, blend
// image or source alpha (the bright colour modulates the texels first, the key
// keeps the destination where the texel is the key):
//   static __m128i Apply4(const TriangleParam4 &, __m128i destination, __m128i texels);
template <class Mode>
concept HasFourPixelForm = requires(const TriangleParam4 &w, __m128i x) {
    Mode::Apply4(w, x, x);
};

// A mode whose four-pixel form serves only its variants with key or bright
// colour (the plain copy is faster one word at a time on short spans).
template <class Mode>
concept PlainFormStaysScalar = Mode::kPlainFormStaysScalar;
#endif

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

#if KORVO_SHAPES_SSE2
// Widen the blend parameter for the four-pixel forms.
inline TriangleParam4 WidenTriangleParam(int param)
{
    const short p = static_cast<short>(param);
    return TriangleParam4{_mm_set1_epi16(p), _mm_set1_epi16(static_cast<short>(256 - param)),
                          _mm_setr_epi16(p, p, p, 0, p, p, p, 0)};
}
#endif

// Channel i of a texel after bright modulation when the variant has it.
template <bool Bright>
inline int ModulatedChannel(const TriangleContext &ctx, const TriangleTexel &t, int i)
{
    if constexpr (Bright)
        return ctx.brightRow[i][t.channel[i]];
    else
        return t.channel[i];
}

// The weight of an interpolating mode: P, times the blend image's gate and the
// texel's alpha where the variant has them, with the right shift that undoes the
// factors (kept in 64 bits: g * a * p times a negative difference leaves int32).
template <bool Blend, bool UseAlpha>
inline int64_t InterpolationWeight(const TriangleContext &ctx, const TriangleTexel &t, int gate, int *shift)
{
    int64_t weight = ctx.param;
    *shift = 8;
    if constexpr (Blend) {
        weight *= gate;
        *shift += 8;
    }
    if constexpr (UseAlpha) {
        weight *= t.alpha;
        *shift += 8;
    }
    return weight;
}

// One textured span of a blend mode's variant.
template <class Mode, int Kind, bool Paletted, bool Blend, bool Bright, bool Alpha, bool Key>
void TexturedSpan(const TriangleContext &shared, uint8_t *pixel, int count, uint32_t u, uint32_t v)
{
    // A local copy: pixel stores (byte-typed) could alias the caller's context,
    // which would make the compiler reload every field at every pixel.
    const TriangleContext ctx = shared;
    constexpr int texelSize = Paletted ? 1 : (Kind == 1 || Alpha) ? 4 : 2;
    constexpr int pixelSize = Kind == 1 ? 4 : 2;
    // The per-pixel work on a texel inside the source.
    auto drawTexel = [&ctx](uint8_t *target, const uint8_t *texel, const uint8_t *blendByte) __attribute__((always_inline)) {
        TriangleTexel t;
        if constexpr (Paletted) {
            const uint32_t index = *texel;
            if (Key && index == ctx.transparentColor)
                return;
            t.word = Kind == 1 ? LoadPixel32(ctx.palette + index * 4) : LoadPixel16(ctx.palette + index * 2);
            t.alpha = 255;
        } else {
            const uint32_t raw = (Kind == 1 || Alpha) ? LoadPixel32(texel) : LoadPixel16(texel);
            if (Key && !Alpha && raw == ctx.transparentColor)
                return;
            t.word = Kind == 1 ? raw : (raw & 0xFFFF);
            t.alpha = Alpha ? static_cast<int>(Kind == 1 ? raw >> 24 : (raw >> 16) & 0xFF) : 255;
        }
        SplitChannels<Kind>(t.word, t.channel);
        int gate = 255;
        if constexpr (Blend)
            gate = MemImgBlendThresholdTable[*blendByte];
        if constexpr (Alpha && Key) {
            // Under the colour key an alpha source is screened by its alpha instead.
            if (Mode::kSkipAlphaZero && t.alpha == 0)
                return;
            if (t.alpha == 255) {
                Mode::template Apply<Kind, Blend, Bright, false>(ctx, target, t, gate);
                return;
            }
        }
        Mode::template Apply<Kind, Blend, Bright, Alpha>(ctx, target, t, gate);
    };

#if KORVO_SHAPES_SSE2
    if constexpr (Kind == 1 && !Paletted && !Blend && !Alpha && HasFourPixelForm<Mode> &&
                  (Key || Bright || !PlainFormStaysScalar<Mode>)) {
        // Four pixels at a time while all four texels lie inside the source;
        // a group reaching outside, and the last pixels, go one by one below.
        const TriangleParam4 wide = WidenTriangleParam(ctx.param);
        // Bright modulation is the scale-table row of each bright channel (entry 255 is the channel itself).
        const __m128i brightWords =
            _mm_setr_epi16(static_cast<short>(ctx.brightRow[0][255]), static_cast<short>(ctx.brightRow[1][255]),
                           static_cast<short>(ctx.brightRow[2][255]), 0, static_cast<short>(ctx.brightRow[0][255]),
                           static_cast<short>(ctx.brightRow[1][255]), static_cast<short>(ctx.brightRow[2][255]), 0);
        const __m128i key = _mm_set1_epi32(static_cast<int>(ctx.transparentColor));
        auto apply4 = [&](__m128i d, __m128i texels) __attribute__((always_inline)) {
            __m128i r;
            if constexpr (Bright) {
                r = Mode::Apply4(wide, d, ScalePixels32x4(texels, brightWords));
                if constexpr (PlainFormStaysScalar<Mode>)
                    r = KeepFourthByte4(d, r);   // a modulated copy keeps the destination's fourth byte
            } else {
                r = Mode::Apply4(wide, d, texels);
            }
            if constexpr (Key) {
                const __m128i hit = _mm_cmpeq_epi32(texels, key);
                r = _mm_or_si128(_mm_and_si128(hit, d), _mm_andnot_si128(hit, r));
            }
            return r;
        };
        const uint32_t width = ctx.sourceWidthFixed;
        const uint32_t height = ctx.sourceHeightFixed;
        const uint32_t du = ctx.uStepColumn;
        const uint32_t dv = ctx.vStepColumn;
        auto drawOne = [&](uint8_t *target, uint32_t uu, uint32_t vv) __attribute__((always_inline)) {
            if (uu < width && vv < height)
                drawTexel(target, ctx.source + static_cast<ptrdiff_t>(vv >> 18) * ctx.sourcePitch +
                                      static_cast<ptrdiff_t>(uu >> 18) * 4, nullptr);
        };
        // SameRow: v does not step, so its row and range are fixed for the span.
        auto groupsOfFour = [&]<bool SameRow>() __attribute__((always_inline)) {
            const uint8_t *sameRow = SameRow ? ctx.source + static_cast<ptrdiff_t>(v >> 18) * ctx.sourcePitch : nullptr;
            auto texelAt = [&](uint32_t uu, uint32_t vv) __attribute__((always_inline)) {
                const uint8_t *row = SameRow ? sameRow : ctx.source + static_cast<ptrdiff_t>(vv >> 18) * ctx.sourcePitch;
                return static_cast<int>(LoadPixel32(row + static_cast<ptrdiff_t>(uu >> 18) * 4));
            };
            for (; count >= 4; count -= 4, pixel += 16, u += 4 * du, v += 4 * dv) {
                const uint32_t u1 = u + du, u2 = u1 + du, u3 = u2 + du;
                const uint32_t v1 = v + dv, v2 = v1 + dv, v3 = v2 + dv;
                const bool inside = u < width && u1 < width && u2 < width && u3 < width &&
                                    (SameRow || (v < height && v1 < height && v2 < height && v3 < height));
                if (inside) {
                    const __m128i texels = _mm_setr_epi32(texelAt(u, v), texelAt(u1, v1), texelAt(u2, v2), texelAt(u3, v3));
                    __m128i *at = reinterpret_cast<__m128i *>(pixel);
                    _mm_storeu_si128(at, apply4(_mm_loadu_si128(at), texels));
                } else {
                    drawOne(pixel, u, v);
                    drawOne(pixel + 4, u1, v1);
                    drawOne(pixel + 8, u2, v2);
                    drawOne(pixel + 12, u3, v3);
                }
            }
        };
        if (dv != 0)
            groupsOfFour.template operator()<false>();
        else if (v < height)
            groupsOfFour.template operator()<true>();
        else
            return;
    }
#endif
    if (ctx.vStepColumn == 0) {
        // The texel row is the same along the whole span (an upright quad).
        if (v >= ctx.sourceHeightFixed)
            return;
        const uint32_t row = v >> 18;
        const uint8_t *sourceRow = ctx.source + static_cast<ptrdiff_t>(row) * ctx.sourcePitch;
        const uint8_t *blendRow = Blend ? ctx.blend + static_cast<ptrdiff_t>(row) * ctx.blendPitch : nullptr;
        for (; count > 0; --count, pixel += pixelSize, u += ctx.uStepColumn) {
            if (u >= ctx.sourceWidthFixed)
                continue;
            const uint32_t column = u >> 18;
            drawTexel(pixel, sourceRow + static_cast<ptrdiff_t>(column) * texelSize, Blend ? blendRow + column : nullptr);
        }
        return;
    }
    for (; count > 0; --count, pixel += pixelSize, u += ctx.uStepColumn, v += ctx.vStepColumn) {
        if (u >= ctx.sourceWidthFixed || v >= ctx.sourceHeightFixed)
            continue;
        const uint32_t column = u >> 18;
        const uint32_t row = v >> 18;
        drawTexel(pixel,
                  ctx.source + static_cast<ptrdiff_t>(row) * ctx.sourcePitch + static_cast<ptrdiff_t>(column) * texelSize,
                  Blend ? ctx.blend + static_cast<ptrdiff_t>(row) * ctx.blendPitch + column : nullptr);
    }
}

// Resolve the runtime flags (paletted, blend, bright, alpha, key) into a loop.
template <class Mode, int Kind, bool... Chosen>
TriangleSpanFn ChooseTexturedSpan(const bool (&flags)[5])
{
    if constexpr (sizeof...(Chosen) == 5) {
        return &TexturedSpan<Mode, Kind, Chosen...>;
    } else {
        return flags[sizeof...(Chosen)] ? ChooseTexturedSpan<Mode, Kind, Chosen..., true>(flags)
                                        : ChooseTexturedSpan<Mode, Kind, Chosen..., false>(flags);
    }
}

// The span loop of a blend mode for a textured variant.
template <class Mode>
TriangleSpanFn SelectTexturedSpan(const TriangleVariant &v)
{
    // A paletted source has no alpha variants.
    const bool flags[5] = {v.paletted, v.blend, v.bright, v.alpha && !v.paletted, v.key};
    return v.kind == 1 ? ChooseTexturedSpan<Mode, 1>(flags) : ChooseTexturedSpan<Mode, 0>(flags);
}

// ---------------------------------------------------------------------------
// Public functions (one per blend mode; each in its own file)
// ---------------------------------------------------------------------------

// Textured span loops of the copy (also alpha blend at parameter 255).
TriangleSpanFn SelectCopyTriangleSpan(const TriangleVariant &v);
// Textured span loops of the alpha blend (parameter 1..254).
TriangleSpanFn SelectAlphaTriangleSpan(const TriangleVariant &v);
// Textured span loops of the additive blend.
TriangleSpanFn SelectAddTriangleSpan(const TriangleVariant &v);
// Textured span loops of the subtractive blend.
TriangleSpanFn SelectSubtractTriangleSpan(const TriangleVariant &v);
// Textured span loops of the multiplicative blend.
TriangleSpanFn SelectMultiplyTriangleSpan(const TriangleVariant &v);
// Textured span loops of the blend toward the inverted source.
TriangleSpanFn SelectInvertTriangleSpan(const TriangleVariant &v);
// Textured span loops of the weighted multiply.
TriangleSpanFn SelectWeightedMultiplyTriangleSpan(const TriangleVariant &v);

}  // namespace Korvo

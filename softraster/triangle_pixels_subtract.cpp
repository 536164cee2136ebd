// Triangle pixels, subtractive blend: the scaled source is subtracted with the
// packed saturating subtract, and the whole pixel word is stored (so even a
// zero source rewrites low bits and a 32-bit pixel's fourth byte).
#include "softraster/packed_add_sub.h"
#include "softraster/triangle_scaled_source.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

namespace {

struct SubtractPixels {
    static constexpr bool kSkipAlphaZero = true;

#if KORVO_SHAPES_SSE2
    // Four plain 32-bit pixels: texels through the parameter's scale row, packed subtract.
    static __m128i Apply4(const TriangleParam4 &w, __m128i d, __m128i texels)
    {
        return PackedSubtractPixels32x4(d, ScalePixels32x4(texels, w.scaleParam));
    }
#endif

    template <int Kind, bool Blend, bool Bright, bool UseAlpha>
    static void Apply(const TriangleContext &ctx, uint8_t *pixel, const TriangleTexel &t, int gate)
    {
        const uint32_t s = ScaledTriangleSource<Kind, Blend, Bright, UseAlpha>(ctx, t, gate);
        if constexpr (Kind == 1)
            StorePixel32(pixel, PackedSubtractPixel32(LoadPixel32(pixel), s));
        else
            StorePixel16(pixel, PackedSubtractPixel16(LoadPixel16(pixel), s));
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Textured span loops of the subtractive blend.
TriangleSpanFn SelectSubtractTriangleSpan(const TriangleVariant &v)
{
    return SelectTexturedSpan<SubtractPixels>(v);
}

}  // namespace Korvo

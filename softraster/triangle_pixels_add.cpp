// Triangle pixels, additive blend: the scaled source is added with the packed
// saturating add, and the whole pixel word is stored.
#include "softraster/packed_add_sub.h"
#include "softraster/triangle_scaled_source.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

namespace {

struct AddPixels {
    static constexpr bool kSkipAlphaZero = true;

#if KORVO_SHAPES_SSE2
    // Four plain 32-bit pixels: texels through the parameter's scale row, packed add.
    static __m128i Apply4(const TriangleParam4 &w, __m128i d, __m128i texels)
    {
        return PackedAddPixels32x4(d, ScalePixels32x4(texels, w.scaleParam));
    }
#endif

    template <int Kind, bool Blend, bool Bright, bool UseAlpha>
    static void Apply(const TriangleContext &ctx, uint8_t *pixel, const TriangleTexel &t, int gate)
    {
        const uint32_t s = ScaledTriangleSource<Kind, Blend, Bright, UseAlpha>(ctx, t, gate);
        if constexpr (Kind == 1)
            StorePixel32(pixel, PackedAddPixel32(LoadPixel32(pixel), s));
        else
            StorePixel16(pixel, PackedAddPixel16(LoadPixel16(pixel), s));
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Textured span loops of the additive blend.
TriangleSpanFn SelectAddTriangleSpan(const TriangleVariant &v)
{
    return SelectTexturedSpan<AddPixels>(v);
}

}  // namespace Korvo

// Triangle pixels, copy: the source replaces the destination, or the
// destination moves toward it by the gate weight and the source alpha.
#include "softraster/triangle_span.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

namespace {

struct CopyPixels {
    static constexpr bool kSkipAlphaZero = true;
    // The four-pixel form serves the keyed and bright variants only: a plain copy
    // only moves words, and the group set-up costs more than it saves on the
    // short spans of small triangles.
    static constexpr bool kPlainFormStaysScalar = true;

#if KORVO_SHAPES_SSE2
    // Four whole texels (the bright variant keeps the fourth bytes itself).
    static __m128i Apply4(const TriangleParam4 &, __m128i, __m128i texels) { return texels; }
#endif

    template <int Kind, bool Blend, bool Bright, bool UseAlpha>
    static void Apply(const TriangleContext &ctx, uint8_t *pixel, const TriangleTexel &t, int gate)
    {
        if constexpr (!Blend && !UseAlpha && !Bright) {
            // The whole texel, fourth byte included.
            if constexpr (Kind == 1)
                StorePixel32(pixel, t.word);
            else
                StorePixel16(pixel, t.word);
        } else if constexpr (!Blend && !UseAlpha) {
            RewriteChannels<Kind>(pixel, [&](int, int i) { return ModulatedChannel<Bright>(ctx, t, i); });
        } else if constexpr (Blend && UseAlpha) {
            const int weight = gate * t.alpha;
            RewriteChannels<Kind>(pixel, [&](int d, int i) {
                return ((ModulatedChannel<Bright>(ctx, t, i) - d) * weight + d * 65536) >> 16;
            });
        } else {
            const int weight = Blend ? gate : t.alpha;
            RewriteChannels<Kind>(pixel, [&](int d, int i) {
                return ((ModulatedChannel<Bright>(ctx, t, i) - d) * weight + d * 256) >> 8;
            });
        }
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Textured span loops of the copy.
TriangleSpanFn SelectCopyTriangleSpan(const TriangleVariant &v)
{
    return SelectTexturedSpan<CopyPixels>(v);
}

}  // namespace Korvo

// Triangle pixels, alpha blend (parameter 1..254): each channel moves toward
// the source by the parameter, times the gate weight and source alpha where
// present, divided by a power of two and rounded down; an R5G6B5 destination
// without gate or alpha takes the truncated step of the signed lerp table.
#include "softraster/triangle_span.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

namespace {

struct AlphaPixels {
    static constexpr bool kSkipAlphaZero = true;

#if KORVO_SHAPES_SSE2
    // Four plain 32-bit pixels, as LerpPixel32.
    static __m128i Apply4(const TriangleParam4 &w, __m128i d, __m128i texels)
    {
        return LerpPixels32x4(d, texels, w.param, w.inverseParam);
    }
#endif

    template <int Kind, bool Blend, bool Bright, bool UseAlpha>
    static void Apply(const TriangleContext &ctx, uint8_t *pixel, const TriangleTexel &t, int gate)
    {
        if constexpr (Kind == 1 && !Blend && !UseAlpha) {
            // d + floor((s - d) * P / 256) = (d * (256 - P) + s * P) / 256, red and
            // blue side by side in one word (each lane stays below 65536).
            const uint32_t s = Bright ? JoinChannels<1>(ModulatedChannel<Bright>(ctx, t, 0),
                                                        ModulatedChannel<Bright>(ctx, t, 1),
                                                        ModulatedChannel<Bright>(ctx, t, 2))
                                      : t.word;
            StorePixel32(pixel, LerpPixel32(LoadPixel32(pixel), s, static_cast<uint32_t>(ctx.param)));
        } else if constexpr (Kind == 0 && !Blend && !UseAlpha) {
            RewriteChannels<Kind>(pixel, [&](int d, int i) {
                return d + ctx.paramSigned[ModulatedChannel<Bright>(ctx, t, i) - d];
            });
        } else {
            int shift = 0;
            const int64_t weight = InterpolationWeight<Blend, UseAlpha>(ctx, t, gate, &shift);
            RewriteChannels<Kind>(pixel, [&](int d, int i) {
                const int64_t sum = (static_cast<int64_t>(d) << shift) +
                                    (ModulatedChannel<Bright>(ctx, t, i) - d) * weight;
                return static_cast<int>(sum >> shift);
            });
        }
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Textured span loops of the alpha blend.
TriangleSpanFn SelectAlphaTriangleSpan(const TriangleVariant &v)
{
    return SelectTexturedSpan<AlphaPixels>(v);
}

}  // namespace Korvo

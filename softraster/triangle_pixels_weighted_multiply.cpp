// Triangle pixels, weighted multiply: each channel moves from its value toward
// its product with the source by a weight. Form A rounds the reduction up
// (power-of-two weights); form B (R5G6B5 without gate or alpha) rounds it down
// through the signed lerp table. R5G6B5 green weighted by alpha without bright
// modulation keeps five more fractional bits of its product.
#include "softraster/triangle_span.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

namespace {

struct WeightedMultiplyPixels {
    // Alpha 0 weighs 0 and leaves the pixel as it was.
    static constexpr bool kSkipAlphaZero = true;

    template <int Kind, bool Blend, bool Bright, bool UseAlpha>
    static void Apply(const TriangleContext &ctx, uint8_t *pixel, const TriangleTexel &t, int gate)
    {
        if constexpr (Kind == 0 && !Blend && !UseAlpha) {
            RewriteChannels<Kind>(pixel, [&](int d, int i) {
                const int product = (d * ModulatedChannel<Bright>(ctx, t, i)) >> kRgb565Width[i];
                return d + ctx.paramSigned[product - d];
            });
        } else {
            int shift = 0;
            const int64_t weight = InterpolationWeight<Blend, UseAlpha>(ctx, t, gate, &shift);
            RewriteChannels<Kind>(pixel, [&](int d, int i) {
                const int s = ModulatedChannel<Bright>(ctx, t, i);
                if constexpr (Kind == 0 && !Blend && UseAlpha && !Bright) {
                    if (i == 1) {
                        const int64_t fine = (s * d) >> 1;          // 32 times the product
                        const int64_t sum = (static_cast<int64_t>(d) << 21) - (32 * d - fine) * weight;
                        return static_cast<int>(sum >> 21);
                    }
                }
                const int product = (d * s) >> ChannelWidth(Kind, i);
                const int64_t sum = (static_cast<int64_t>(d) << shift) - (d - product) * weight;
                return static_cast<int>(sum >> shift);
            });
        }
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Textured span loops of the weighted multiply.
TriangleSpanFn SelectWeightedMultiplyTriangleSpan(const TriangleVariant &v)
{
    return SelectTexturedSpan<WeightedMultiplyPixels>(v);
}

}  // namespace Korvo

// Triangle pixels, blend toward the inverted source: each channel moves toward
// the complement of the texel channel (bright-scaled after the inversion) by
// the parameter, times gate weight and alpha where present, rounded down; an
// R5G6B5 destination without gate or alpha takes the signed lerp table step.
#include "softraster/triangle_span.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

namespace {

struct InvertPixels {
    static constexpr bool kSkipAlphaZero = true;

    template <int Kind, bool Blend, bool Bright, bool UseAlpha>
    static void Apply(const TriangleContext &ctx, uint8_t *pixel, const TriangleTexel &t, int gate)
    {
        auto target = [&](int i) {
            const int inverted = ChannelMax(Kind, i) - t.channel[i];
            if constexpr (Bright)
                return ctx.brightRow[i][inverted];
            else
                return inverted;
        };
        if constexpr (Kind == 1 && !Blend && !UseAlpha && !Bright) {
            StorePixel32(pixel, LerpPixel32(LoadPixel32(pixel), ~t.word, static_cast<uint32_t>(ctx.param)));
        } else if constexpr (Kind == 0 && !Blend && !UseAlpha) {
            RewriteChannels<Kind>(pixel, [&](int d, int i) { return d + ctx.paramSigned[target(i) - d]; });
        } else {
            int shift = 0;
            const int64_t weight = InterpolationWeight<Blend, UseAlpha>(ctx, t, gate, &shift);
            RewriteChannels<Kind>(pixel, [&](int d, int i) {
                const int64_t sum = (static_cast<int64_t>(d) << shift) + (target(i) - d) * weight;
                return static_cast<int>(sum >> shift);
            });
        }
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Textured span loops of the blend toward the inverted source.
TriangleSpanFn SelectInvertTriangleSpan(const TriangleVariant &v)
{
    return SelectTexturedSpan<InvertPixels>(v);
}

}  // namespace Korvo

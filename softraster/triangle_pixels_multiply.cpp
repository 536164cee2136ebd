// Triangle pixels, multiplicative blend: each channel becomes the product of
// destination, source and the gate weight and alpha that take part, shifted
// back by one power of two (never 255), so a drawn channel never rises.
#include "softraster/triangle_span.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

namespace {

struct MultiplyPixels {
    // Alpha 0 is multiplied like any other alpha: it makes the channels black.
    static constexpr bool kSkipAlphaZero = false;

    template <int Kind, bool Blend, bool Bright, bool UseAlpha>
    static void Apply(const TriangleContext &ctx, uint8_t *pixel, const TriangleTexel &t, int gate)
    {
        uint32_t factor = 1;
        int extraShift = 0;
        if constexpr (Blend) {
            factor *= static_cast<uint32_t>(gate);
            extraShift += 8;
        }
        if constexpr (UseAlpha) {
            factor *= static_cast<uint32_t>(t.alpha);
            extraShift += 8;
        }
        RewriteChannels<Kind>(pixel, [&](int d, int i) {
            const uint32_t product = static_cast<uint32_t>(d) *
                                     static_cast<uint32_t>(ModulatedChannel<Bright>(ctx, t, i)) * factor;
            return static_cast<int>(product >> (ChannelWidth(Kind, i) + extraShift));
        });
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Textured span loops of the multiplicative blend.
TriangleSpanFn SelectMultiplyTriangleSpan(const TriangleVariant &v)
{
    return SelectTexturedSpan<MultiplyPixels>(v);
}

}  // namespace Korvo

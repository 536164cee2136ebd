// The weighted source colour that the additive and subtractive triangle modes
// add to or subtract from a pixel with the packed operations.
//
// The order of the truncating steps is part of the result: the bright row
// comes first, except for an R5G6B5 destination without gate and with alpha,
// where the alpha scales first and the bright row follows.
#pragma once

#include "softraster/triangle_span.h"

namespace Korvo {

// Scaled source word of a texel for the packed add and subtract.
template <int Kind, bool Blend, bool Bright, bool UseAlpha>
inline uint32_t ScaledTriangleSource(const TriangleContext &ctx, const TriangleTexel &t, int gate)
{
    const uint32_t p = static_cast<uint32_t>(ctx.param);
    const uint32_t g = static_cast<uint32_t>(gate);
    const uint32_t a = static_cast<uint32_t>(t.alpha);
    int s[3];
    for (int i = 0; i < 3; ++i) {
        const uint32_t m = static_cast<uint32_t>(ModulatedChannel<Bright>(ctx, t, i));
        if constexpr (Kind == 1) {
            if constexpr (Blend && UseAlpha)
                s[i] = static_cast<int>((m * g * a * p) >> 24);
            else if constexpr (Blend)
                s[i] = static_cast<int>((m * g * p) >> 16);
            else if constexpr (UseAlpha)
                s[i] = static_cast<int>((m * a * p) >> 16);
            else
                s[i] = ctx.paramScale[m];
        } else {
            uint32_t index = m;
            if constexpr (Blend && UseAlpha) {
                index = (m * g * a) >> 16;
            } else if constexpr (Blend) {
                index = (m * g) >> 8;
            } else if constexpr (UseAlpha) {
                index = (static_cast<uint32_t>(t.channel[i]) * a) >> 8;
                if constexpr (Bright)
                    index = static_cast<uint32_t>(ctx.brightRow[i][index]);
            }
            s[i] = ctx.paramScale[index];
        }
    }
    return JoinChannels<Kind>(s[0], s[1], s[2]);
}

}  // namespace Korvo

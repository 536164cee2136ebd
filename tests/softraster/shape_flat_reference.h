// Scalar reference of the flat-colour pixel operations, written channel by
// channel from the rules, for comparison with the shape routines.
#pragma once

#include <cmath>
#include <cstdint>

#include "softraster/draw_state.h"

namespace shape_test {

struct Channels {
    int b, g, r;
};

inline Channels SplitPixel(int kind, uint32_t v)
{
    if (kind == 1)
        return {static_cast<int>(v & 255), static_cast<int>((v >> 8) & 255), static_cast<int>((v >> 16) & 255)};
    return {static_cast<int>(v & 31), static_cast<int>((v >> 5) & 63), static_cast<int>((v >> 11) & 31)};
}

// Colour bits of a pixel from channels; a 32-bit pixel keeps the fourth byte of keep.
inline uint32_t JoinPixel(int kind, Channels c, uint32_t keep)
{
    if (kind == 1)
        return (keep & 0xFF000000u) | static_cast<uint32_t>(c.b) | (static_cast<uint32_t>(c.g) << 8) |
               (static_cast<uint32_t>(c.r) << 16);
    return static_cast<uint32_t>(c.b) | (static_cast<uint32_t>(c.g) << 5) | (static_cast<uint32_t>(c.r) << 11);
}

// Saturating packed add, per channel as the rule table gives it (not as the word trick does).
inline uint32_t ReferencePackedAdd(int kind, uint32_t d, uint32_t s)
{
    Channels x = SplitPixel(kind, d), y = SplitPixel(kind, s);
    if (kind == 1) {
        const int blueSum = x.b + y.b;
        const int greenHalf = (x.g >> 1) + (y.g >> 1);
        const int redHalf = (x.r >> 1) + (y.r >> 1);
        const int blue = blueSum > 255 ? 255 : blueSum;
        const int green = greenHalf > 127 ? 255 : greenHalf * 2 + (((x.g | y.g) & 1) || blueSum > 255 ? 1 : 0);
        const int red = redHalf > 127 ? 255 : redHalf * 2 + (((x.r | y.r) & 1) || greenHalf > 127 ? 1 : 0);
        return static_cast<uint32_t>(blue) | (green << 8) | (red << 16) | (redHalf > 127 ? 0x01000000u : 0u);
    }
    const int blueSum = x.b + y.b;
    const int greenHalf = (x.g >> 1) + (y.g >> 1);
    const int redHalf = (x.r >> 1) + (y.r >> 1);
    const int blue = blueSum > 31 ? 31 : blueSum;
    const int green = (greenHalf > 31 ? 31 : greenHalf) * 2 + (((x.g | y.g) & 1) || blueSum > 31 ? 1 : 0);
    const int red = redHalf > 15 ? 31 : redHalf * 2 + (((x.r | y.r) & 1) || greenHalf > 31 ? 1 : 0);
    return JoinPixel(0, {blue, green, red}, 0);
}

// Saturating packed subtract, per channel as the rule table gives it.
inline uint32_t ReferencePackedSubtract(int kind, uint32_t d, uint32_t s)
{
    Channels x = SplitPixel(kind, d), y = SplitPixel(kind, s);
    const int blue = x.b < y.b ? 0 : x.b - y.b;
    const bool greenNoBorrow = (x.g >> 1) >= (y.g >> 1);
    int green = greenNoBorrow ? ((x.g >> 1) - (y.g >> 1)) * 2 : 0;
    if (kind == 1 && greenNoBorrow && x.b >= y.b)
        green += 1;
    const int red = (x.r >> 1) < (y.r >> 1) ? 0 : ((x.r >> 1) - (y.r >> 1)) * 2 + (greenNoBorrow ? 1 : 0);
    return JoinPixel(kind, {blue, green, red}, 0);
}

// The flat-colour operation of a mode on one pixel; c is the prepared colour.
// Returns d itself for the modes and parameters that draw nothing.
inline uint32_t ReferenceFlatPixel(int kind, int mode, int p, uint32_t c, uint32_t d)
{
    const int maxOf[3] = {kind == 1 ? 255 : 31, kind == 1 ? 255 : 63, kind == 1 ? 255 : 31};
    const int widthOf[3] = {kind == 1 ? 8 : 5, kind == 1 ? 8 : 6, kind == 1 ? 8 : 5};
    auto lerp = [&](int dv, int target) {
        if (kind == 1)
            return dv + static_cast<int>(std::floor((target - dv) * p / 256.0));
        const int step = (target - dv) * p / 255;   // truncates toward zero
        return dv + step;
    };
    Channels cc = SplitPixel(kind, c), dd = SplitPixel(kind, d);
    int cv[3] = {cc.b, cc.g, cc.r}, dv[3] = {dd.b, dd.g, dd.r}, out[3];
    switch (mode) {
    case 0: return kind == 1 ? c : (c & 0xFFFF);
    case 1:
        if (p == 0)
            return d;
        if (p == 255)
            return kind == 1 ? c : (c & 0xFFFF);
        for (int i = 0; i < 3; ++i)
            out[i] = lerp(dv[i], cv[i]);
        break;
    case 2:
    case 3: {
        if (p == 0)
            return d;
        int s[3];
        for (int i = 0; i < 3; ++i)
            s[i] = cv[i] * p / 255;
        const uint32_t sw = JoinPixel(kind, {s[0], s[1], s[2]}, 0);
        return mode == 2 ? ReferencePackedAdd(kind, d, sw) : ReferencePackedSubtract(kind, d, sw);
    }
    case 4:
        for (int i = 0; i < 3; ++i)
            out[i] = (dv[i] * cv[i]) >> widthOf[i];
        break;
    case 10:
        for (int i = 0; i < 3; ++i)
            out[i] = lerp(dv[i], maxOf[i] - cv[i]);
        break;
    case 11:
        for (int i = 0; i < 3; ++i)
            out[i] = lerp(dv[i], (dv[i] * cv[i]) >> widthOf[i]);
        break;
    default: return d;
    }
    return JoinPixel(kind, {out[0], out[1], out[2]}, d);
}

// The colour as rectangles, lines and circles prepare it with a bright colour.
inline uint32_t ReferenceShiftedColor(int kind, uint32_t color, uint32_t bright)
{
    if ((bright & 0xFFFFFF) == 0xFFFFFF)
        return kind == 1 ? color : (color & 0xFFFF);
    Channels c = SplitPixel(kind, color);
    c.b = (c.b * static_cast<int>(bright & 255)) >> 8;
    c.g = (c.g * static_cast<int>((bright >> 8) & 255)) >> 8;
    c.r = (c.r * static_cast<int>((bright >> 16) & 255)) >> 8;
    return JoinPixel(kind, c, color);
}

}  // namespace shape_test

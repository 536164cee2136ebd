// Pixel access and per-channel rewriting shared by the shape routines.
//
// Channels are numbered 0 blue, 1 green, 2 red in both destination kinds; an
// R5G6B5 pixel's channels are its 5-, 6- and 5-bit fields, never widened.
#pragma once

#include <cstdint>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kRgb565Width[3] = {5, 6, 5};     // blue, green, red
constexpr int kRgb565Max[3] = {31, 63, 31};

// Width in bits of channel i of a pixel kind.
constexpr int ChannelWidth(int kind, int i) { return kind == 1 ? 8 : kRgb565Width[i]; }
// Largest value of channel i of a pixel kind.
constexpr int ChannelMax(int kind, int i) { return kind == 1 ? 255 : kRgb565Max[i]; }

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Unaligned-safe 16- and 32-bit loads and stores.
inline uint32_t LoadPixel16(const uint8_t *p) { uint16_t v; std::memcpy(&v, p, 2); return v; }
inline uint32_t LoadPixel32(const uint8_t *p) { uint32_t v; std::memcpy(&v, p, 4); return v; }
inline void StorePixel16(uint8_t *p, uint32_t v) { const uint16_t w = static_cast<uint16_t>(v); std::memcpy(p, &w, 2); }
inline void StorePixel32(uint8_t *p, uint32_t v) { std::memcpy(p, &v, 4); }

// Each colour byte of a 32-bit pixel d moved toward s by p / 256, rounded down;
// d's fourth byte is kept. Red and blue share one multiply (lanes stay below 65536).
inline uint32_t LerpPixel32(uint32_t d, uint32_t s, uint32_t p)
{
    const uint32_t q = 256 - p;
    const uint32_t redBlue = (((d & 0x00FF00FFu) * q + (s & 0x00FF00FFu) * p) >> 8) & 0x00FF00FFu;
    const uint32_t green = (((d & 0x0000FF00u) * q + (s & 0x0000FF00u) * p) >> 8) & 0x0000FF00u;
    return (d & 0xFF000000u) | redBlue | green;
}

// Channels of a pixel word of a kind: out[0] blue, out[1] green, out[2] red.
template <int Kind>
inline void SplitChannels(uint32_t word, int *out)
{
    if constexpr (Kind == 1) {
        out[0] = static_cast<int>(word & 0xFF);
        out[1] = static_cast<int>((word >> 8) & 0xFF);
        out[2] = static_cast<int>((word >> 16) & 0xFF);
    } else {
        out[0] = static_cast<int>(word & 0x1F);
        out[1] = static_cast<int>((word >> 5) & 0x3F);
        out[2] = static_cast<int>((word >> 11) & 0x1F);
    }
}

// Colour part of a pixel word from three channels (a 32-bit word gets a zero top byte).
template <int Kind>
inline uint32_t JoinChannels(int blue, int green, int red)
{
    if constexpr (Kind == 1)
        return static_cast<uint32_t>(blue) | (static_cast<uint32_t>(green) << 8) |
               (static_cast<uint32_t>(red) << 16);
    else
        return static_cast<uint32_t>(blue) | (static_cast<uint32_t>(green) << 5) |
               (static_cast<uint32_t>(red) << 11);
}

// Replace each colour channel d of the pixel by f(d, channel); a 32-bit pixel's
// fourth byte is not touched, an R5G6B5 pixel is written as one word.
template <int Kind, class F>
inline void RewriteChannels(uint8_t *pixel, F &&f)
{
    if constexpr (Kind == 1) {
        pixel[0] = static_cast<uint8_t>(f(static_cast<int>(pixel[0]), 0));
        pixel[1] = static_cast<uint8_t>(f(static_cast<int>(pixel[1]), 1));
        pixel[2] = static_cast<uint8_t>(f(static_cast<int>(pixel[2]), 2));
    } else {
        int c[3];
        SplitChannels<0>(LoadPixel16(pixel), c);
        const int blue = f(c[0], 0);
        const int green = f(c[1], 1);
        const int red = f(c[2], 2);
        StorePixel16(pixel, JoinChannels<0>(blue, green, red));
    }
}

}  // namespace Korvo

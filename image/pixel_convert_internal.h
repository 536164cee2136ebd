// Shared pieces of the pixel-format converter's paths (not part of the public interface).
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/color_format.h"

namespace Korvo {

// Everything one conversion needs after the preparation steps.
struct PixelConvertJob {
    uint8_t *dst;
    int dstPitch;
    ColorFormatDesc dstFormat;
    const uint8_t *src;  // first pixel of the source rectangle
    int srcPitch;
    ColorFormatDesc srcFormat;
    const uint8_t *alpha;  // first pixel of the rectangle in the alpha image, or null
    int alphaPitch;
    ColorFormatDesc alphaFormat;  // all zero without an alpha image
    int width;
    int height;
    int mirror;
    int keyToAlpha;
    uint32_t keyColor;
    int ditherMode;
    int alphaOnly;
    int redAsAlpha;
    int skipKey;
    int alphaProduced;   // destination alpha comes from the source or the alpha image
    int alphaFromImage;  // destination alpha comes from the alpha image
};

inline uint32_t LoadPackedPixel(const uint8_t *p, int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 8:
        return p[0];
    case 16:
        return (uint32_t)(p[0] | (p[1] << 8));
    case 24:
        return (uint32_t)(p[0] | (p[1] << 8) | (p[2] << 16));
    case 32:
        return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
    default:
        return 0;
    }
}

inline void StorePackedPixel(uint8_t *p, int bitsPerPixel, uint32_t v)
{
    p[0] = (uint8_t)v;
    if (bitsPerPixel >= 16)
        p[1] = (uint8_t)(v >> 8);
    if (bitsPerPixel >= 24)
        p[2] = (uint8_t)(v >> 16);
    if (bitsPerPixel >= 32)
        p[3] = (uint8_t)(v >> 24);
}

inline uint32_t PaletteEntryValue(const ColorFormatDesc &f, int index)
{
    const PaletteEntry &e = f.palette[index & 0xff];
    return (uint32_t)e.blue | ((uint32_t)e.green << 8) | ((uint32_t)e.red << 16) | ((uint32_t)e.alpha << 24);
}

// A source pixel as a value: palette formats give their palette entry.
inline uint32_t LoadSourceValue(const ColorFormatDesc &f, const uint8_t *p)
{
    if (f.bitsPerPixel == 8)
        return PaletteEntryValue(f, p[0]);
    return LoadPackedPixel(p, f.bitsPerPixel);
}

inline uint32_t ChannelOf(uint32_t value, uint32_t mask, int shift)
{
    return shift >= 32 ? 0 : (value & mask) >> shift;
}

inline bool IsDepthSupported(int bitsPerPixel)
{
    return bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32;
}

// Path 7: the fixed conversions between common formats; false when none applies.
bool RunFixedPixelConversion(const PixelConvertJob &job);
// Path 8: the per-channel rule for every other case.
int RunGeneralPixelConversion(const PixelConvertJob &job);
// Whether the 5-6-5 / 5-5-5 conversions use their MMX form.
bool PixelConvertUsesMmx();

} // namespace Korvo

// Colour-format descriptors: standard formats, construction from masks, packing
// and splitting of colours.
#include "image/color_format.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void SetRgb888Channels(ColorFormatDesc *desc)
{
    desc->blockFormat = 0;
    desc->channelCount = 0;
    desc->bitsPerChannel = 0;
    desc->floatFlag = 0;
    desc->maskR = 0xff0000;
    desc->shiftR = 16;
    desc->widthR = 8;
    desc->maskG = 0xff00;
    desc->shiftG = 8;
    desc->widthG = 8;
    desc->maskB = 0xff;
    desc->shiftB = 0;
    desc->widthB = 8;
    desc->maskA = 0;
    desc->shiftA = 0;
    desc->widthA = 0;
}

// One 8-bit component placed in a channel of the given width and shift.
// Channels wider than 8 bits get the component scaled up, not a negative shift.
static uint32_t PlaceComponent(int component, int width, int shift)
{
    uint32_t c = (uint32_t)component & 0xff;
    uint32_t value;
    if (width <= 8) {
        value = c >> (8 - width);
    } else {
        uint64_t maxValue = (width >= 32) ? 0xffffffffull : ((1ull << width) - 1);
        value = (uint32_t)(c * maxValue / 255);
    }
    return shift >= 32 ? 0 : value << shift;
}

static uint32_t ChannelValue(uint32_t pixel, uint32_t mask, int shift)
{
    return shift >= 32 ? 0 : (pixel & mask) >> shift;
}

// ---------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------

void FindMaskRun(uint32_t mask, uint8_t *shift, uint8_t *width)
{
    if (mask == 0) {
        *shift = 0;
        *width = 0;
        return;
    }
    int s = 0;
    while (!(mask & (1u << s)))
        s++;
    int w = 0;
    while (s + w < 32 && (mask & (1u << (s + w))))
        w++;
    *shift = (uint8_t)s;
    *width = (uint8_t)w;
}

uint32_t FullPixelMask(int bitsPerPixel)
{
    if (bitsPerPixel >= 32)
        return 0xffffffffu;
    if (bitsPerPixel <= 0)
        return 0;
    return (1u << bitsPerPixel) - 1;
}

uint32_t ScaleChannelTo8Bits(uint32_t value, int width)
{
    if (width <= 0)
        return 0;
    if (width == 8)
        return value;
    uint64_t maxValue = (width >= 32) ? 0xffffffffull : ((1ull << width) - 1);
    return (uint32_t)((uint64_t)value * 255 / maxValue);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// X8R8G8B8: unused top byte
int InitXrgb32Format(ColorFormatDesc *desc)
{
    SetRgb888Channels(desc);
    desc->bytesPerPixel = 4;
    desc->bitsPerPixel = 32;
    desc->unusedMask = 0xff000000u;
    desc->unusedShift = 24;
    desc->unusedWidth = 8;
    return 0;
}

// A8R8G8B8
int InitArgb32Format(ColorFormatDesc *desc)
{
    SetRgb888Channels(desc);
    desc->bytesPerPixel = 4;
    desc->bitsPerPixel = 32;
    desc->maskA = 0xff000000u;
    desc->shiftA = 24;
    desc->widthA = 8;
    desc->unusedMask = 0;
    return 0;
}

// R8G8B8 in three bytes
int InitRgb24Format(ColorFormatDesc *desc)
{
    SetRgb888Channels(desc);
    desc->bytesPerPixel = 3;
    desc->bitsPerPixel = 24;
    desc->unusedMask = 0;
    return 0;
}

// 8-bit palette indices
int InitPaletteFormat(ColorFormatDesc *desc)
{
    SetRgb888Channels(desc);
    desc->bytesPerPixel = 1;
    desc->bitsPerPixel = 8;
    desc->unusedMask = 0xff000000u;
    return 0;
}

// 8-bit palette indices over a grey ramp
int InitGray8Format(ColorFormatDesc *desc)
{
    InitPaletteFormat(desc);
    for (int i = 0; i < 256; i++) {
        desc->palette[i].blue = (uint8_t)i;
        desc->palette[i].green = (uint8_t)i;
        desc->palette[i].red = (uint8_t)i;
        desc->palette[i].alpha = 0;
    }
    return 0;
}

// General constructor from bit count and masks
int InitColorFormatFromMasks(ColorFormatDesc *desc, int bitsPerPixel, uint32_t maskR, uint32_t maskG,
                             uint32_t maskB, uint32_t maskA, int channelCount, int bitsPerChannel,
                             int floatFlag)
{
    std::memset(desc, 0, sizeof(*desc));
    if (channelCount != 0 && bitsPerChannel != 0) {
        desc->channelCount = (uint8_t)channelCount;
        desc->bitsPerChannel = (uint8_t)bitsPerChannel;
        desc->floatFlag = (uint8_t)floatFlag;
        desc->bytesPerPixel = (uint8_t)(channelCount * bitsPerChannel / 8);
        return 0;
    }
    desc->bytesPerPixel = (uint8_t)(bitsPerPixel / 8);
    desc->bitsPerPixel = (uint8_t)bitsPerPixel;
    desc->maskR = maskR;
    desc->maskG = maskG;
    desc->maskB = maskB;
    desc->maskA = maskA;
    desc->unusedMask = FullPixelMask(bitsPerPixel) & ~(maskR | maskG | maskB | maskA);
    FindMaskRun(maskR, &desc->shiftR, &desc->widthR);
    FindMaskRun(maskG, &desc->shiftG, &desc->widthG);
    FindMaskRun(maskB, &desc->shiftB, &desc->widthB);
    FindMaskRun(maskA, &desc->shiftA, &desc->widthA);
    FindMaskRun(desc->unusedMask, &desc->unusedShift, &desc->unusedWidth);
    return 0;
}

// Recompute the unused-bits mask
ColorFormatDesc *UpdateFormatUnusedBits(ColorFormatDesc *desc)
{
    int used = desc->widthR + desc->widthG + desc->widthB + desc->widthA;
    if (used == desc->bitsPerPixel)
        desc->unusedMask = 0;
    else
        desc->unusedMask =
            FullPixelMask(desc->bitsPerPixel) & ~(desc->maskR | desc->maskG | desc->maskB | desc->maskA);
    return desc;
}

// Pixel value of 8-bit components
uint32_t PackColorInFormat(const ColorFormatDesc *desc, int r, int g, int b, int a)
{
    if (desc->bytesPerPixel == 1) {
        int rr = r & 0xff, gg = g & 0xff, bb = b & 0xff;
        int best = 0;
        int bestDistance = 0x7fffffff;
        for (int i = 0; i < 256; i++) {
            const PaletteEntry &e = desc->palette[i];
            int dr = rr - e.red, dg = gg - e.green, db = bb - e.blue;
            int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        return (uint32_t)best;
    }
    uint32_t value = PlaceComponent(r, desc->widthR, desc->shiftR) + PlaceComponent(g, desc->widthG, desc->shiftG) +
                     PlaceComponent(b, desc->widthB, desc->shiftB);
    value += desc->unusedMask;
    if (desc->widthA != 0)
        value += PlaceComponent(a, desc->widthA, desc->shiftA);
    return value;
}

// Split a pixel value into 0..255 components
int SplitColorInFormat(const ColorFormatDesc *desc, uint32_t pixel, int *r, int *g, int *b, int *a)
{
    uint32_t rv = ChannelValue(pixel, desc->maskR, desc->shiftR);
    uint32_t gv = ChannelValue(pixel, desc->maskG, desc->shiftG);
    uint32_t bv = ChannelValue(pixel, desc->maskB, desc->shiftB);
    uint32_t av = ChannelValue(pixel, desc->maskA, desc->shiftA);
    if (desc->widthR == 8 && desc->widthG == 8 && desc->widthB == 8) {
        if (desc->widthA != 8)
            av = ScaleChannelTo8Bits(av, desc->widthA);
    } else {
        rv = ScaleChannelTo8Bits(rv, desc->widthR);
        gv = ScaleChannelTo8Bits(gv, desc->widthG);
        bv = ScaleChannelTo8Bits(bv, desc->widthB);
        av = ScaleChannelTo8Bits(av, desc->widthA);
    }
    if (r)
        *r = (int)rv;
    if (g)
        *g = (int)gv;
    if (b)
        *b = (int)bv;
    if (a)
        *a = (int)av;
    return 0;
}

} // namespace Korvo

// Colour-format descriptors: how a pixel value is built from its channels.
//
// A ColorFormatDesc heads every RasterImage. Mask formats place red, green,
// blue and alpha under bit masks; a format of one byte per pixel holds palette
// indices and its channel fields describe the palette entries.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Korvo {

// ImageBlockFormat values held in ColorFormatDesc::blockFormat.
enum ImageBlockFormat : uint8_t {
    kBlockPlain = 0,
    kBlockDxt1 = 1,
    kBlockDxt2 = 2,
    kBlockDxt3 = 3,
    kBlockDxt4 = 4,
    kBlockDxt5 = 5,
};

// One palette entry as stored: blue, green, red, alpha.
struct PaletteEntry {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t alpha;
};

struct ColorFormatDesc {
    uint8_t blockFormat;     // ImageBlockFormat
    uint8_t channelCount;    // multi-channel formats only
    uint8_t bitsPerChannel;  // multi-channel formats only
    uint8_t floatFlag;       // multi-channel formats only
    uint8_t bytesPerPixel;
    uint8_t bitsPerPixel;    // 0 for multi-channel formats
    uint8_t unusedShift;
    uint8_t unusedWidth;
    uint8_t widthR, widthG, widthB, widthA;
    uint8_t shiftR, shiftG, shiftB, shiftA;
    uint32_t maskR, maskG, maskB, maskA;
    uint32_t unusedMask;
    PaletteEntry palette[256];
};

// X8R8G8B8: unused top byte
int InitXrgb32Format(ColorFormatDesc *desc);
// A8R8G8B8
int InitArgb32Format(ColorFormatDesc *desc);
// R8G8B8 in three bytes (blue first in memory)
int InitRgb24Format(ColorFormatDesc *desc);
// 8-bit palette indices (the palette itself is left as it is)
int InitPaletteFormat(ColorFormatDesc *desc);
// 8-bit palette indices over a grey ramp
int InitGray8Format(ColorFormatDesc *desc);
// General constructor from bit count and channel masks (or channel count and bits per channel)
int InitColorFormatFromMasks(ColorFormatDesc *desc, int bitsPerPixel, uint32_t maskR, uint32_t maskG,
                             uint32_t maskB, uint32_t maskA, int channelCount, int bitsPerChannel,
                             int floatFlag);
// Recompute the unused-bits mask after the caller changed channels
ColorFormatDesc *UpdateFormatUnusedBits(ColorFormatDesc *desc);
// Pixel value of 8-bit components (nearest palette index for palette formats)
uint32_t PackColorInFormat(const ColorFormatDesc *desc, int r, int g, int b, int a);
// Split a pixel value into 0..255 components; any pointer may be null
int SplitColorInFormat(const ColorFormatDesc *desc, uint32_t pixel, int *r, int *g, int *b, int *a);

// Lowest set bit of mask and the length of the run of set bits from there (both 0 for 0).
void FindMaskRun(uint32_t mask, uint8_t *shift, uint8_t *width);
// All bits of a pixel of bitsPerPixel bits (every bit for 32 and more).
uint32_t FullPixelMask(int bitsPerPixel);
// A channel value of the given bit width brought to 0..255 by scaling.
uint32_t ScaleChannelTo8Bits(uint32_t value, int width);

} // namespace Korvo

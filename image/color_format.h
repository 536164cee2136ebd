// Colour-format descriptors: how a pixel value is built from its channels.
//
// A ColorFormatDesc heads every RasterImage. Mask formats place red, green,
// blue and alpha under bit masks; a format of one byte per pixel holds palette
// indices and its channel fields describe the palette entries.
#pragma once

#include "image/public_api.h"

#include <cstddef>
#include <cstdint>

namespace Korvo {

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

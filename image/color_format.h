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

// Recompute the unused-bits mask after the caller changed channels
ColorFormatDesc *UpdateFormatUnusedBits(ColorFormatDesc *desc);

// Lowest set bit of mask and the length of the run of set bits from there (both 0 for 0).
void FindMaskRun(uint32_t mask, uint8_t *shift, uint8_t *width);
// All bits of a pixel of bitsPerPixel bits (every bit for 32 and more).
uint32_t FullPixelMask(int bitsPerPixel);
// A channel value of the given bit width brought to 0..255 by scaling.
uint32_t ScaleChannelTo8Bits(uint32_t value, int width);

} // namespace Korvo

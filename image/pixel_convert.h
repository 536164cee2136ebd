// Pixel-format conversion: copy a rectangle between any two ColorFormatDesc layouts.
#pragma once

#include <cstdint>

#include "core/korvo_types.h"
#include "image/color_format.h"

namespace Korvo {

// Copy and convert the source rectangle to (dstX, dstY) of the destination; -1 for an empty rectangle
int ConvertPixelBlock(void *dstPixels, int dstPitch, const ColorFormatDesc *dstFormat, const void *srcPixels,
                      int srcPitch, const ColorFormatDesc *srcFormat, const void *alphaPixels, int alphaPitch,
                      const ColorFormatDesc *alphaFormat, int dstX, int dstY, const RECT *srcRect, int mirror,
                      int keyToAlpha, uint32_t keyColor, int ditherMode, int alphaOnly, int redAsAlpha, int skipKey,
                      int paletteRemap);

// Choose the four-pixel MMX form of the 5-6-5 / 5-5-5 conversions: -1 follows the
// processor, 0 forces the plain form, 1 the MMX form (plain where there is no MMX).
int SetPixelConvertMmxMode(int mode);

} // namespace Korvo

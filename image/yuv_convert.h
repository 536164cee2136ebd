// YUV frame converters: one video frame in a YUV layout into the 32-bit
// pixels (blue, green, red, 255) of an XRGB32 image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/raster_image.h"

namespace Korvo {

// Planar 4:2:0: Y plane, then V plane, then U plane
int DecodeYV12FrameToImage(const uint8_t *frame, int width, int height, RasterImage *dst);
// Semi-planar 4:2:0: Y plane, then interleaved U, V pairs
int DecodeNV12FrameToImage(const uint8_t *frame, int width, int height, RasterImage *dst);
// Semi-planar 4:1:1: Y plane, then interleaved U, V pairs, one per 4 pixels of a row
int DecodeNV11FrameToImage(const uint8_t *frame, int width, int height, RasterImage *dst);
// Packed 4:2:2: Y0 U Y1 V
int DecodeYUY2FrameToImage(const uint8_t *frame, int width, int height, RasterImage *dst);
// Packed 4:2:2: U Y0 V Y1
int DecodeUYVYFrameToImage(const uint8_t *frame, int width, int height, RasterImage *dst);
// Packed 4:2:2: Y0 V Y1 U
int DecodeYVYUFrameToImage(const uint8_t *frame, int width, int height, RasterImage *dst);

} // namespace Korvo

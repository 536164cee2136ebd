// In-memory images: the library's CPU-side image record and its basic operations.
//
// Every decoder produces a RasterImage; its pixel block is a tracked allocation
// that the record owns. Block-compressed (DXT) images keep their 4x4 blocks,
// mip levels following each other.
#pragma once

#include "image/public_api.h"

#include <cstddef>
#include <cstdint>

#include "image/color_format.h"

namespace Korvo {

// Set the module's started flag; -1 when already started
int InitImageDataModule();
// Clear the module's started flag; -1 when not started
int TermImageDataModule();
// Zero a rectangle of pixels (no clipping)
int ZeroImageRect(RasterImage *image, int x, int y, int width, int height);
// Write the half-size (2x2 box filtered) image of a source rectangle
int HalveImageByBoxFilter(const ColorFormatDesc *format, void *dst, int dstPitch, const void *src, int srcPitch,
                          int dstX, int dstY, int srcX, int srcY, int srcWidth, int srcHeight);

// One pixel (inside the image) of the first level of a DXT1-DXT5 image as 0xAARRGGBB, decoded
// from its block alone; 0 for other images
uint32_t ReadDxtPixelAsArgb(const RasterImage *image, int x, int y);

// Bytes of one block-compressed level of width x height pixels (whole 4x4 blocks); 0 for plain formats.
int64_t CalcBlockLevelBytes(int blockFormat, int width, int height);
// Bytes of a mip chain: the first level, then each level a quarter of the one
// before but never below smallest (levels below 2 mean the first level alone).
int64_t SumMipLevelBytes(int64_t firstLevel, int levels, int64_t smallest);

// Largest pixel block an image may have. A few bytes of header can claim any
// size; a 32-bit process has 2 GB of address space, so larger images are
// refused before anything is allocated.
constexpr int64_t kMaxImagePixelBytes = 256 * 1024 * 1024;

// Bytes of a pixel block of height rows of pitch bytes, or -1 when it passes kMaxImagePixelBytes.
int64_t CheckedImageBytes(int64_t pitch, int64_t height);

} // namespace Korvo

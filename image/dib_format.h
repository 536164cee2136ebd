// Device-independent bitmaps: the library's own copy of the header layout,
// so portable code can read and write DIBs without the platform headers, and
// the DIB import and export operations.
#pragma once

#include <cstdint>

#include "image/raster_image.h"

namespace Korvo {

// Same layout as the platform's 40-byte BITMAPINFOHEADER.
struct K_BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(K_BITMAPINFOHEADER) == 40, "DIB header layout");

// Header followed by room for a 256-entry colour table (or three masks).
struct K_BITMAPINFO {
    K_BITMAPINFOHEADER bmiHeader;
    PaletteEntry bmiColors[256];
};

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

// Bytes of the DIB block that ConvertImageToDib fills (header and a 256-entry table, rounded as the platform does).
constexpr int kDibInfoBlockBytes = 1068;

// Import a DIB held in memory; 1 new pixels, the copy flag's value when the caller's bits are used, -1 failed
int ImportDibToImage(const K_BITMAPINFO *info, const void *bits, RasterImage *out, int copyFlag);
// Describe an image as an 8- or 24-bit top-down DIB; 1 new bits, 0 the image's own pixels, -1 failed
int ConvertImageToDib(const RasterImage *image, K_BITMAPINFO *info, void **bitsOut, int forceCopy, int force24Bit);
// Let GDI draw any DIB into a 24-bit top-down image (Windows only; the host build has no GDI and refuses)
int DrawDibThroughGdi(const K_BITMAPINFO *info, const void *bits, RasterImage *out);

} // namespace Korvo

// Korvo's public operations of image data: image files decoded into in-memory
// images, and the colour formats they are stored in. Programs include korvo.h,
// which includes this.
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

struct RasterImage {
    ColorFormatDesc format;
    int32_t width;
    int32_t height;
    int32_t pitch;          // bytes from one row to the next (plain images)
    void *pixels;           // tracked allocation owned by the record
    int32_t mipLevelCount;  // 0 or 1 for a single level
};

// Image files (BMP, JPEG, PNG, TGA, DDS, raw BGRA) from files, archives or memory
// Load an image into a RasterImage with the current defaults; 0 or -1
int LoadImageRecord(const char *fileName, const void *memImage, int memSize, int fromMemory, RasterImage *out,
                    int mirrorFlag);
// Load an image and its alpha image (the "_a" file beside it, or alphaMemImage) with the
// current defaults; -1 when the colour image failed, 1 without an alpha image, 0 with both
int LoadImageAndAlpha(const char *fileName, const void *memImage, int memSize, int fromMemory,
                      const void *alphaMemImage, int alphaMemSize, int alphaMode, RasterImage *colorOut,
                      RasterImage *alphaOut, int mirrorFlag);

// In-memory images
// Allocate an image of the given size in a format (pitch rounded up to 4 bytes)
int AllocImageInFormat(int width, int height, const ColorFormatDesc *format, RasterImage *out);
// Free the pixel memory and zero-fill the record
int FreeImageRecord(RasterImage *image);
// One pixel as 0xAARRGGBB
uint32_t ReadImagePixelAsArgb(const RasterImage *image, int x, int y);

// Colour formats
// X8R8G8B8: unused top byte
int InitXrgb32Format(ColorFormatDesc *desc);
// A8R8G8B8
int InitArgb32Format(ColorFormatDesc *desc);

} // namespace Korvo

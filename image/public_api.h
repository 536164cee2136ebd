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
// One pixel as 0xAARRGGBB (a palette or grey image through its palette), 0 outside the image
// (a block-compressed one is read from its block).
// Alpha is 0 in every format without an alpha channel (JPEGs, 24-bit BMPs, PNGs without alpha
// or tRNS), not 255: there 0 means "no alpha", not "transparent".
uint32_t ReadImagePixelAsArgb(const RasterImage *image, int x, int y);

// Pixels and blits (block-compressed images are expanded to ARGB 32-bit first)
// Allocate an ARGB 32-bit image
int AllocArgb32Image(int width, int height, RasterImage *out);
// Allocate an XRGB 32-bit image
int AllocXrgb32Image(int width, int height, RasterImage *out);
// Write one pixel from 0..255 components
int WriteImagePixelRgba(RasterImage *image, int x, int y, int r, int g, int b, int a);
// Read one pixel as 0..255 components; any pointer may be null. Alpha reads 0 in every format
// without an alpha channel (JPEGs, 24-bit BMPs, PNGs without alpha or tRNS), as in
// ReadImagePixelAsArgb.
int ReadImagePixelRgba(RasterImage *image, int x, int y, int *r, int *g, int *b, int *a);
// Copy a rectangle to (tx, ty) of another image, clipped to both images
int BlitImageRectClipped(int sx, int sy, int w, int h, int tx, int ty, RasterImage *source, RasterImage *destination);
// Copy a whole image to (tx, ty) of another image, clipped
int BlitWholeImageAt(int tx, int ty, RasterImage *source, RasterImage *destination);
// Scale a source rectangle into a destination rectangle, nearest or bilinear
int ScaleBlitImageRect(int sx1, int sy1, int sx2, int sy2, RasterImage *source, int tx1, int ty1, int tx2, int ty2,
                       RasterImage *destination, int bilinear);
// Byte size of the pixel data, mip levels included; -1 for an unknown block format
int CalcImagePixelDataBytes(const RasterImage *image);
// Reverse the pixels of every row (a block-compressed image is expanded to ARGB 32-bit first)
int MirrorImageLeftRight(RasterImage *image);
// Turn a plain image by 180 degrees in place
int RotateImageHalfTurn(RasterImage *image);
// Turn a block-compressed image into plain ARGB 32-bit pixels (plain images are left as they are)
int ExpandDxtImageToArgb32(RasterImage *image);

// Colour formats
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
// Pixel value of 8-bit components (nearest palette index for palette formats)
uint32_t PackColorInFormat(const ColorFormatDesc *desc, int r, int g, int b, int a);
// Split a pixel value into 0..255 components; any pointer may be null
int SplitColorInFormat(const ColorFormatDesc *desc, uint32_t pixel, int *r, int *g, int *b, int *a);

} // namespace Korvo

// In-memory images: allocation, size of the pixel data, release, clearing,
// reversals, box-filter halving and single-pixel reads.
#include "image/raster_image.h"

#include <climits>
#include <cstring>

#include "core/memory/tracked_alloc.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

static int g_imageModuleStarted = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void SwapPixelBytes(uint8_t *a, uint8_t *b, int bytes)
{
    for (int i = 0; i < bytes; i++) {
        uint8_t t = a[i];
        a[i] = b[i];
        b[i] = t;
    }
}

static void ReverseRow(uint8_t *row, int width, int bytes)
{
    for (int i = 0, j = width - 1; i < j; i++, j--)
        SwapPixelBytes(row + i * bytes, row + j * bytes, bytes);
}

static uint32_t LoadPixelValue(const uint8_t *p, int bytesPerPixel)
{
    switch (bytesPerPixel) {
    case 2:
        return (uint32_t)(p[0] | (p[1] << 8));
    case 3:
        return (uint32_t)(p[0] | (p[1] << 8) | (p[2] << 16));
    case 4:
        return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
    default:
        return 0;
    }
}

static void StorePixelValue(uint8_t *p, int bytesPerPixel, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    if (bytesPerPixel == 4) {
        p[2] = (uint8_t)(v >> 16);
        p[3] = (uint8_t)(v >> 24);
    }
}

// A channel value of any width placed in the byte that ends at bit topBit.
static uint32_t ChannelToArgbByte(uint32_t pixel, uint32_t mask, int shift, int width, int byteShift)
{
    if (width == 0)
        return 0;
    uint32_t v = (pixel & mask) >> shift;
    // Wider channels keep their top 8 bits instead of shifting by a negative amount.
    uint32_t v8 = width <= 8 ? (v << (8 - width)) : (v >> (width - 8));
    return (v8 & 0xff) << byteShift;
}

static uint32_t BoxAverageChannels(const ColorFormatDesc *f, const uint32_t *values, int count)
{
    const uint32_t masks[4] = {f->maskR, f->maskG, f->maskB, f->maskA};
    const int shifts[4] = {f->shiftR, f->shiftG, f->shiftB, f->shiftA};
    uint32_t result = 0;
    for (int c = 0; c < 4; c++) {
        if (masks[c] == 0)
            continue;
        uint64_t sum = 0;
        for (int i = 0; i < count; i++)
            sum += (values[i] & masks[c]) >> shifts[c];
        result |= (uint32_t)((sum / (uint64_t)count) << shifts[c]) & masks[c];
    }
    return result;
}

// ---------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------

int64_t CalcBlockLevelBytes(int blockFormat, int width, int height)
{
    if (blockFormat < kBlockDxt1 || blockFormat > kBlockDxt5 || width <= 0 || height <= 0)
        return 0;
    int64_t blockBytes = blockFormat == kBlockDxt1 ? 8 : 16;
    return ((int64_t)(width + 3) / 4) * ((int64_t)(height + 3) / 4) * blockBytes;
}

int64_t SumMipLevelBytes(int64_t firstLevel, int levels, int64_t smallest)
{
    int64_t total = firstLevel, level = firstLevel;
    for (int i = 1; i < levels; i++) {
        level /= 4;
        if (level < smallest)
            level = smallest;
        total += level;
    }
    return total;
}

int64_t CheckedImageBytes(int64_t pitch, int64_t height)
{
    if (pitch < 0 || height < 0)
        return -1;
    if (height != 0 && pitch > kMaxImagePixelBytes / height)
        return -1;
    return pitch * height;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Set the module's started flag
int InitImageDataModule()
{
    if (g_imageModuleStarted)
        return -1;
    g_imageModuleStarted = 1;
    return 0;
}

// Clear the module's started flag
int TermImageDataModule()
{
    if (!g_imageModuleStarted)
        return -1;
    g_imageModuleStarted = 0;
    return 0;
}

// Allocate an image in a format
int AllocImageInFormat(int width, int height, const ColorFormatDesc *format, RasterImage *out)
{
    out->format = *format;
    out->width = width;
    out->height = height;
    out->mipLevelCount = 0;
    out->pixels = nullptr;
    int64_t pitch = ((int64_t)width * format->bytesPerPixel + 3) / 4 * 4;
    int64_t bytes = (width < 0 || height < 0 || pitch > INT_MAX) ? -1 : CheckedImageBytes(pitch, height);
    out->pitch = bytes < 0 ? 0 : (int32_t)pitch;
    if (bytes < 0)
        return -1;
    out->pixels = KORVO_TRACKED_ALLOC((size_t)(bytes ? bytes : 1));
    return out->pixels ? 0 : -1;
}

// Byte size of the pixel data
int CalcImagePixelDataBytes(const RasterImage *image)
{
    int block = image->format.blockFormat;
    if (block > kBlockDxt5)
        return -1;
    int64_t first;
    int64_t smallest = 8;
    if (block == kBlockPlain) {
        first = (int64_t)image->pitch * image->height;
    } else {
        // The first level keeps its partial edge blocks; no level is smaller than one block.
        first = CalcBlockLevelBytes(block, image->width, image->height);
        smallest = block == kBlockDxt1 ? 8 : 16;
    }
    int64_t total = SumMipLevelBytes(first, image->mipLevelCount, smallest);
    return total > INT_MAX ? -1 : (int)total;
}

// Free the pixel memory and zero-fill the record
int FreeImageRecord(RasterImage *image)
{
    if (image->pixels)
        TrackedFree(image->pixels);
    std::memset(image, 0, sizeof(*image));
    return 0;
}

// Zero a rectangle of pixels
int ZeroImageRect(RasterImage *image, int x, int y, int width, int height)
{
    int bpp = image->format.bytesPerPixel;
    uint8_t *base = (uint8_t *)image->pixels;
    for (int row = 0; row < height; row++)
        std::memset(base + (size_t)(y + row) * image->pitch + (size_t)x * bpp, 0, (size_t)width * bpp);
    return 0;
}

// Reverse the pixels of every row
int MirrorImageLeftRight(RasterImage *image)
{
    if (image->width == 0 || image->height == 0)
        return -1;
    if (!image->pixels)
        return 0;
    // Blocks have no pixel rows to reverse: the pixels come out of them first.
    if (ExpandDxtImageToArgb32(image) != 0 || image->format.blockFormat != kBlockPlain)
        return -1;
    int bpp = image->format.bytesPerPixel;
    if (bpp < 1 || bpp > 4)
        return 0;
    uint8_t *base = (uint8_t *)image->pixels;
    for (int y = 0; y < image->height; y++)
        ReverseRow(base + (size_t)y * image->pitch, image->width, bpp);
    return 0;
}

// Turn a plain image by 180 degrees in place
int RotateImageHalfTurn(RasterImage *image)
{
    if (image->format.blockFormat != kBlockPlain)
        return -1;
    int bpp = image->format.bytesPerPixel;
    if (bpp < 1 || bpp > 4 || !image->pixels)
        return 0;
    uint8_t *base = (uint8_t *)image->pixels;
    int w = image->width, h = image->height;
    for (int i = 0; i < h / 2; i++) {
        uint8_t *top = base + (size_t)i * image->pitch;
        uint8_t *bottom = base + (size_t)(h - 1 - i) * image->pitch;
        for (int j = 0; j < w; j++)
            SwapPixelBytes(top + j * bpp, bottom + (w - 1 - j) * bpp, bpp);
    }
    if (h % 2)
        ReverseRow(base + (size_t)(h / 2) * image->pitch, w, bpp);
    return 0;
}

// Half-size image of a source rectangle
int HalveImageByBoxFilter(const ColorFormatDesc *format, void *dst, int dstPitch, const void *src, int srcPitch,
                          int dstX, int dstY, int srcX, int srcY, int srcWidth, int srcHeight)
{
    if ((srcWidth != 1 && srcWidth % 2) || (srcHeight != 1 && srcHeight % 2))
        return -1;
    int bits = format->bitsPerPixel;
    if (srcWidth == 1 && srcHeight == 1 && bits != 16 && bits != 32)
        return 0;
    if (bits != 16 && bits != 32)
        return -1;
    int bpp = bits / 8;
    const uint8_t *s = (const uint8_t *)src;
    uint8_t *d = (uint8_t *)dst;
    auto srcAt = [&](int x, int y) { return LoadPixelValue(s + (size_t)(srcY + y) * srcPitch + (size_t)(srcX + x) * bpp, bpp); };
    auto dstAt = [&](int x, int y) { return d + (size_t)(dstY + y) * dstPitch + (size_t)(dstX + x) * bpp; };
    if (srcWidth == 1 && srcHeight == 1) {
        StorePixelValue(dstAt(0, 0), bpp, srcAt(0, 0));
        return 0;
    }
    int stepX = srcWidth == 1 ? 1 : 2;
    int stepY = srcHeight == 1 ? 1 : 2;
    for (int y = 0; y * stepY < srcHeight; y++) {
        for (int x = 0; x * stepX < srcWidth; x++) {
            uint32_t v[4];
            int n = 0;
            for (int yy = 0; yy < stepY; yy++)
                for (int xx = 0; xx < stepX; xx++)
                    v[n++] = srcAt(x * stepX + xx, y * stepY + yy);
            StorePixelValue(dstAt(x, y), bpp, BoxAverageChannels(format, v, n));
        }
    }
    return 0;
}

// One pixel as 0xAARRGGBB
uint32_t ReadImagePixelAsArgb(const RasterImage *image, int x, int y)
{
    if (!image->pixels || x < 0 || y < 0 || x >= image->width || y >= image->height)
        return 0;
    if (image->format.blockFormat != kBlockPlain)
        return ReadDxtPixelAsArgb(image, x, y);
    const ColorFormatDesc &f = image->format;
    const uint8_t *p = (const uint8_t *)image->pixels + (size_t)y * image->pitch + (size_t)x * f.bytesPerPixel;
    if (f.bytesPerPixel == 1) {
        // Palette and grey images: the byte indexes the palette, which has no masks.
        const PaletteEntry &e = f.palette[p[0]];
        return (uint32_t)e.alpha << 24 | (uint32_t)e.red << 16 | (uint32_t)e.green << 8 | e.blue;
    }
    uint32_t value = LoadPixelValue(p, f.bytesPerPixel);
    uint32_t argb = ChannelToArgbByte(value, f.maskB, f.shiftB, f.widthB, 0) |
                    ChannelToArgbByte(value, f.maskG, f.shiftG, f.widthG, 8) |
                    ChannelToArgbByte(value, f.maskR, f.shiftR, f.widthR, 16);
    if (f.widthA != 0)
        argb |= ChannelToArgbByte(value, f.maskA, f.shiftA, f.widthA, 24);
    return argb;
}

} // namespace Korvo

// DIB import and export: a DIB held in memory becomes a RasterImage, and a
// RasterImage is described as an 8- or 24-bit top-down DIB.
#include <cstring>

#include "core/memory/tracked_alloc.h"
#include "image/dib_format.h"
#include "image/pixel_convert.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void SetDibHeader(K_BITMAPINFO *info, const RasterImage *image, int bitCount)
{
    std::memset(info, 0, 44);
    info->bmiHeader.biSize = 40;
    info->bmiHeader.biWidth = image->width;
    info->bmiHeader.biHeight = -image->height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = (uint16_t)bitCount;
    info->bmiHeader.biCompression = kBiRgb;
}

// Copies rowBytes of each image row into rows of dibRow bytes; null on allocation failure.
static void *CopyRowsToDib(const RasterImage *image, int rowBytes, int dibRow)
{
    uint8_t *bits = (uint8_t *)KORVO_TRACKED_ALLOC((size_t)dibRow * image->height + 1);
    if (!bits)
        return nullptr;
    for (int y = 0; y < image->height; y++) {
        uint8_t *d = bits + (size_t)y * dibRow;
        std::memcpy(d, (const uint8_t *)image->pixels + (size_t)y * image->pitch, (size_t)rowBytes);
        std::memset(d + rowBytes, 0, (size_t)(dibRow - rowBytes));
    }
    return bits;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Import a DIB held in memory
int ImportDibToImage(const K_BITMAPINFO *info, const void *bits, RasterImage *out, int copyFlag)
{
    std::memset(out, 0, sizeof(*out));
    const K_BITMAPINFOHEADER &h = info->bmiHeader;
    out->width = h.biWidth;
    out->height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    int bitCount = h.biBitCount;
    bool topDown = h.biHeight < 0;
    if (!topDown || (bitCount != 16 && bitCount != 24 && bitCount != 32) ||
        (h.biCompression != kBiRgb && h.biCompression != kBiBitfields)) {
        int result = DrawDibThroughGdi(info, bits, out);
        return result < 0 ? -1 : 1;
    }
    ColorFormatDesc &f = out->format;
    if (h.biCompression == kBiBitfields) {
        uint32_t masks[3];
        std::memcpy(masks, info->bmiColors, sizeof(masks));
        f.bitsPerPixel = (uint8_t)bitCount;
        f.bytesPerPixel = (uint8_t)(bitCount / 8);
        f.maskR = masks[0];
        f.maskG = masks[1];
        f.maskB = masks[2];
        FindMaskRun(f.maskR, &f.shiftR, &f.widthR);
        FindMaskRun(f.maskG, &f.shiftG, &f.widthG);
        FindMaskRun(f.maskB, &f.shiftB, &f.widthB);
    } else if (bitCount == 16) {
        f.bitsPerPixel = 16;
        f.bytesPerPixel = 2;
        f.maskR = 0x7c00;
        f.maskG = 0x3e0;
        f.maskB = 0x1f;
        f.shiftR = 10;
        f.shiftG = 5;
        f.widthR = f.widthG = f.widthB = 5;
    } else if (bitCount == 24) {
        f.bitsPerPixel = 24;
        f.bytesPerPixel = 3;
        f.maskR = 0xff0000;
        f.maskG = 0xff00;
        f.maskB = 0xff;
        f.shiftR = 16;
        f.shiftG = 8;
        f.widthR = f.widthG = f.widthB = 8;
    } else {
        std::memset(out, 0, sizeof(*out));
        return -1;
    }
    UpdateFormatUnusedBits(&f);
    out->pitch = (out->width * f.bytesPerPixel + 3) / 4 * 4;
    if (copyFlag == 1) {
        int64_t bytes = CheckedImageBytes(out->pitch, out->height);
        void *copy = bytes < 0 ? nullptr : KORVO_TRACKED_ALLOC((size_t)bytes + 1);
        if (!copy) {
            std::memset(out, 0, sizeof(*out));
            return -1;
        }
        std::memcpy(copy, bits, (size_t)bytes);
        out->pixels = copy;
        return 1;
    }
    out->pixels = const_cast<void *>(bits);
    return copyFlag;
}

// Describe an image as an 8- or 24-bit top-down DIB
int ConvertImageToDib(const RasterImage *image, K_BITMAPINFO *info, void **bitsOut, int forceCopy, int force24Bit)
{
    const ColorFormatDesc &f = image->format;
    if (f.bitsPerPixel == 8 && force24Bit == 0) {
        SetDibHeader(info, image, 8);
        std::memcpy(info->bmiColors, f.palette, sizeof(f.palette));
        int row = (image->width + 3) / 4 * 4;
        if (forceCopy == 1 || row != image->pitch) {
            void *bits = CopyRowsToDib(image, image->width, row);
            if (!bits)
                return -1;
            *bitsOut = bits;
            return 1;
        }
        *bitsOut = image->pixels;
        return forceCopy;
    }
    SetDibHeader(info, image, 24);
    int row = (image->width * 3 + 3) / 4 * 4;
    bool plain24 = f.bitsPerPixel == 24 && f.maskR == 0xff0000 && f.maskG == 0xff00 && f.maskB == 0xff;
    if (!plain24 || forceCopy == 1) {
        int64_t bytes = CheckedImageBytes(row, image->height);
        uint8_t *bits = bytes < 0 ? nullptr : (uint8_t *)KORVO_TRACKED_ALLOC_ZEROED((size_t)bytes + 1);
        if (!bits)
            return -1;
        ColorFormatDesc rgb24;
        std::memset(&rgb24, 0, sizeof(rgb24));
        InitRgb24Format(&rgb24);
        RECT rect = {0, 0, image->width, image->height};
        ConvertPixelBlock(bits, row, &rgb24, image->pixels, image->pitch, &f, nullptr, 0, nullptr, 0, 0, &rect, 0, 0, 0,
                          0, 0, 0, 0, 0);
        *bitsOut = bits;
        return 1;
    }
    if (row != image->pitch) {
        void *bits = CopyRowsToDib(image, image->width * 3, row);
        if (!bits)
            return -1;
        *bitsOut = bits;
        return 1;
    }
    *bitsOut = image->pixels;
    return forceCopy;
}

} // namespace Korvo

// Raw "BGRA" decoder: a 16-byte header and uncompressed pixels of 8 or 16 bits
// per channel, stored blue, green, red, alpha.
#include <climits>
#include <cstring>

#include "core/memory/tracked_alloc.h"
#include "image/image_loaders.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static uint32_t LoadLe32(const uint8_t *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

// Pixels of the 16-bit form: each channel keeps the high byte of its word.
static bool ReadWideBgraRows(const ImageStreamSource *source, uint8_t *pixels, int width, int height)
{
    uint8_t *row = (uint8_t *)KORVO_TRACKED_ALLOC((size_t)width * 8);
    if (!row)
        return false;
    bool ok = true;
    for (int y = 0; y < height && ok; y++) {
        ok = ReadSourceBytes(source, row, (size_t)width * 8);
        uint8_t *d = pixels + (size_t)y * width * 4;
        for (int x = 0; ok && x < width; x++) {
            const uint8_t *s = row + (size_t)x * 8;
            d[x * 4 + 0] = s[1];
            d[x * 4 + 1] = s[3];
            d[x * 4 + 2] = s[5];
            d[x * 4 + 3] = s[7];
        }
    }
    TrackedFree(row);
    return ok;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Decode a raw "BGRA" file
int DecodeRawBgraStream(const ImageStreamSource *source, RasterImage *out)
{
    int start = 0, length = 0;
    if (!MeasureSourceLength(source, &start, &length))
        return -1;
    uint8_t header[16];
    if (!ReadSourceBytes(source, header, sizeof(header)) || std::memcmp(header, "BGRA", 4) != 0)
        return -1;
    uint32_t depth = LoadLe32(header + 4);
    if (depth != 0x08080808u && depth != 0x10101010u)
        return -1;
    int64_t width = (int32_t)LoadLe32(header + 8);
    int64_t height = (int32_t)LoadLe32(header + 12);
    int64_t bytesPerPixel = depth == 0x10101010u ? 8 : 4;
    // The file must hold every pixel it announces.
    if (width <= 0 || height <= 0 || width * 8 > INT_MAX || CheckedImageBytes(width * 4, height) < 0 ||
        width * height * bytesPerPixel > (int64_t)length - 16)
        return -1;
    int w = (int)width, h = (int)height;
    uint8_t *pixels = (uint8_t *)KORVO_TRACKED_ALLOC((size_t)w * h * 4);
    if (!pixels)
        return -1;
    bool ok = bytesPerPixel == 4 ? ReadSourceBytes(source, pixels, (size_t)w * h * 4)
                                 : ReadWideBgraRows(source, pixels, w, h);
    if (!ok) {
        TrackedFree(pixels);
        return -1;
    }
    std::memset(&out->format, 0, sizeof(out->format));
    InitRgb24Format(&out->format);
    out->format.bitsPerPixel = 32;
    out->format.bytesPerPixel = 4;
    out->format.widthA = 8;
    out->format.shiftA = 24;
    out->format.maskA = 0xff000000u;
    out->width = w;
    out->height = h;
    out->pitch = w * 4;
    out->pixels = pixels;
    out->mipLevelCount = 0;
    return 0;
}

} // namespace Korvo

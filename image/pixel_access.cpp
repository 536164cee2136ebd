// Pixel access and image blits: work images, single pixels, clipped copies
// through the pixel converter and nearest or bilinear scaling.
#include "image/pixel_access.h"

#include <cstring>

#include "core/korvo_types.h"
#include "core/memory/tracked_alloc.h"
#include "image/image_loaders.h"
#include "image/pixel_convert.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct Rgba {
    int c[4];
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int AllocWorkImage(int width, int height, RasterImage *out, bool withAlpha)
{
    if (withAlpha)
        InitArgb32Format(&out->format);
    else
        InitXrgb32Format(&out->format);
    int64_t pitch = ((int64_t)width * 4 + 3) / 4 * 4;
    int64_t bytes = (width < 0 || height < 0) ? -1 : CheckedImageBytes(pitch, height);
    out->width = width;
    out->height = height;
    out->pitch = bytes < 0 ? 0 : (int)pitch;
    out->mipLevelCount = 0;
    out->pixels = bytes < 0 ? nullptr : KORVO_TRACKED_ALLOC((size_t)bytes + 1);
    return out->pixels ? 0 : -1;
}

static bool InsideImage(const RasterImage *image, int x, int y)
{
    return (unsigned)x < (unsigned)image->width && (unsigned)y < (unsigned)image->height;
}

static bool RectInside(int x1, int y1, int x2, int y2, const RasterImage *image)
{
    return x1 >= 0 && x1 < x2 && x2 <= image->width && y1 >= 0 && y1 < y2 && y2 <= image->height;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Allocate an ARGB 32-bit image
int AllocArgb32Image(int width, int height, RasterImage *out)
{
    return AllocWorkImage(width, height, out, true);
}

// Allocate an XRGB 32-bit image
int AllocXrgb32Image(int width, int height, RasterImage *out)
{
    return AllocWorkImage(width, height, out, false);
}

// Write one pixel
int WriteImagePixelRgba(RasterImage *image, int x, int y, int r, int g, int b, int a)
{
    if (ExpandDxtImageToArgb32(image) != 0)
        return -1;
    if (!InsideImage(image, x, y))
        return -1;
    const ColorFormatDesc &f = image->format;
    uint32_t value = PackColorInFormat(&f, r, g, b, a);
    uint8_t *p = (uint8_t *)image->pixels + (size_t)y * image->pitch + (size_t)x * f.bytesPerPixel;
    switch (f.bytesPerPixel) {
    case 1:
        p[0] = (uint8_t)value;
        break;
    case 2:
        p[0] = (uint8_t)value;
        p[1] = (uint8_t)(value >> 8);
        break;
    case 3:
        p[0] = (uint8_t)value;
        p[1] = (uint8_t)(value >> 8);
        p[2] = (uint8_t)(value >> 16);
        break;
    case 4:
        std::memcpy(p, &value, 4);
        break;
    default:
        break;
    }
    return 0;
}

// Read one pixel
int ReadImagePixelRgba(RasterImage *image, int x, int y, int *r, int *g, int *b, int *a)
{
    if (ExpandDxtImageToArgb32(image) != 0)
        return -1;
    if (!InsideImage(image, x, y))
        return -1;
    const ColorFormatDesc &f = image->format;
    const uint8_t *p = (const uint8_t *)image->pixels + (size_t)y * image->pitch + (size_t)x * f.bytesPerPixel;
    int rr, gg, bb, aa;
    if (f.bytesPerPixel == 1) {
        const PaletteEntry &e = f.palette[p[0]];
        rr = e.red;
        gg = e.green;
        bb = e.blue;
        aa = e.alpha;
    } else if (f.bytesPerPixel >= 2 && f.bytesPerPixel <= 4) {
        uint32_t value = p[0] | ((uint32_t)p[1] << 8);
        if (f.bytesPerPixel >= 3)
            value |= (uint32_t)p[2] << 16;
        if (f.bytesPerPixel == 4)
            value |= (uint32_t)p[3] << 24;
        SplitColorInFormat(&f, value, &rr, &gg, &bb, &aa);
    } else {
        return -1;
    }
    if (r)
        *r = rr;
    if (g)
        *g = gg;
    if (b)
        *b = bb;
    if (a)
        *a = aa;
    return 0;
}

// Copy a rectangle, clipped to both images
int BlitImageRectClipped(int sx, int sy, int w, int h, int tx, int ty, RasterImage *source, RasterImage *destination)
{
    if (ExpandDxtImageToArgb32(source) != 0 || ExpandDxtImageToArgb32(destination) != 0)
        return -1;
    if (sx < 0) {
        w += sx;
        tx -= sx;
        sx = 0;
    }
    if (sy < 0) {
        h += sy;
        ty -= sy;
        sy = 0;
    }
    if (tx < 0) {
        sx -= tx;
        w += tx;
        tx = 0;
    }
    if (ty < 0) {
        sy -= ty;
        h += ty;
        ty = 0;
    }
    if (w > destination->width - tx)
        w = destination->width - tx;
    if (h > destination->height - ty)
        h = destination->height - ty;
    if (w > source->width - sx)
        w = source->width - sx;
    if (h > source->height - sy)
        h = source->height - sy;
    if (w <= 0 || h <= 0)
        return 0;
    RECT rect = {sx, sy, sx + w, sy + h};
    ConvertPixelBlock(destination->pixels, destination->pitch, &destination->format, source->pixels, source->pitch,
                      &source->format, nullptr, 0, nullptr, tx, ty, &rect, 0, 0, 0, 0, 0, 0, 0, 1);
    return 0;
}

// Copy a whole image, clipped
int BlitWholeImageAt(int tx, int ty, RasterImage *source, RasterImage *destination)
{
    return BlitImageRectClipped(0, 0, source->width, source->height, tx, ty, source, destination);
}

// Scale a rectangle, nearest or bilinear
int ScaleBlitImageRect(int sx1, int sy1, int sx2, int sy2, RasterImage *source, int tx1, int ty1, int tx2, int ty2,
                       RasterImage *destination, int bilinear)
{
    if (!RectInside(sx1, sy1, sx2, sy2, source) || !RectInside(tx1, ty1, tx2, ty2, destination))
        return -1;
    int tw = tx2 - tx1, th = ty2 - ty1;
    if (tw == sx2 - sx1 && th == sy2 - sy1)
        return BlitImageRectClipped(sx1, sy1, tw, th, tx1, ty1, source, destination);
    uint32_t stepX = (uint32_t)(sx2 - sx1) * 65536u / (uint32_t)tw;
    uint32_t stepY = (uint32_t)(sy2 - sy1) * 65536u / (uint32_t)th;
    uint32_t y = (uint32_t)sy1 * 65536u;
    Rgba neighbours[4];
    std::memset(neighbours, 0, sizeof(neighbours));
    for (int row = 0; row < th; row++, y += stepY) {
        uint32_t x = (uint32_t)sx1 * 65536u;
        for (int col = 0; col < tw; col++, x += stepX) {
            int x0 = (int)(x >> 16), y0 = (int)(y >> 16);
            if (bilinear != 1) {
                int c[4] = {0, 0, 0, 0};
                ReadImagePixelRgba(source, x0, y0, &c[0], &c[1], &c[2], &c[3]);
                WriteImagePixelRgba(destination, tx1 + col, ty1 + row, c[0], c[1], c[2], c[3]);
                continue;
            }
            uint32_t fx = x & 0xffff, fy = y & 0xffff;
            const int nx[4] = {x0, x0 + 1, x0, x0 + 1};
            const int ny[4] = {y0, y0, y0 + 1, y0 + 1};
            // A neighbour outside the source keeps what it held at the previous pixel.
            for (int i = 0; i < 4; i++)
                if (InsideImage(source, nx[i], ny[i]))
                    ReadImagePixelRgba(source, nx[i], ny[i], &neighbours[i].c[0], &neighbours[i].c[1],
                                       &neighbours[i].c[2], &neighbours[i].c[3]);
            uint32_t weights[4] = {
                ((0xffff - fx) * (0xffff - fy)) >> 16,
                (fx * (0xffff - fy)) >> 16,
                ((0xffff - fx) * fy) >> 16,
                (fx * fy) >> 16,
            };
            int out[4];
            for (int ch = 0; ch < 4; ch++) {
                uint32_t sum = 0;
                for (int i = 0; i < 4; i++)
                    sum += weights[i] * (uint32_t)neighbours[i].c[ch];
                out[ch] = (int)(sum >> 16);
            }
            WriteImagePixelRgba(destination, tx1 + col, ty1 + row, out[0], out[1], out[2], out[3]);
        }
    }
    return 0;
}

} // namespace Korvo

// YUV frame converters: six layouts, one 15-bit fixed-point formula.
#include "image/yuv_convert.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// Chroma terms of one U, V pair, added to each luma value it covers.
struct ChromaTerms {
    int blue;
    int green;
    int red;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static ChromaTerms MakeChromaTerms(int u, int v)
{
    ChromaTerms t;
    t.blue = (u - 128) * 58064;
    t.green = -(u - 128) * 11272 - (v - 128) * 23396;
    t.red = (v - 128) * 45940;
    return t;
}

static inline uint8_t ClampFixed(int sum)
{
    if (sum < 0)
        return 0;
    if (sum > 255 * 32768)
        return 255;
    return (uint8_t)(sum >> 15);
}

static inline void PutPixel(uint8_t *d, int y, const ChromaTerms &t)
{
    int luma = y * 32768;
    d[0] = ClampFixed(luma + t.blue);
    d[1] = ClampFixed(luma + t.green);
    d[2] = ClampFixed(luma + t.red);
    d[3] = 255;
}

static uint8_t *PixelAt(RasterImage *dst, int x, int y)
{
    return (uint8_t *)dst->pixels + (size_t)y * dst->pitch + (size_t)x * 4;
}

// 4:2:0 frames: chroma(column pair, row pair, &u, &v) fetches the pair covering a 2x2 block.
template <typename ChromaAt>
static void Convert420(const uint8_t *frame, int width, int height, RasterImage *dst, ChromaAt chroma)
{
    for (int row = 0; row / 2 < height / 2; row += 2) {
        for (int col = 0; col / 2 < width / 2; col += 2) {
            int u, v;
            chroma(col / 2, row / 2, &u, &v);
            ChromaTerms t = MakeChromaTerms(u, v);
            for (int dy = 0; dy < 2; dy++)
                for (int dx = 0; dx < 2; dx++)
                    PutPixel(PixelAt(dst, col + dx, row + dy), frame[(size_t)(row + dy) * width + col + dx], t);
        }
    }
}

// Packed 4:2:2 frames; y0, u, y1, v are the byte positions within each 4-byte group.
static void Convert422(const uint8_t *frame, int width, int height, RasterImage *dst, int y0, int u, int y1, int v)
{
    for (int row = 0; row < height; row++) {
        const uint8_t *s = frame + (size_t)row * width * 2;
        for (int pair = 0; pair < width / 2; pair++, s += 4) {
            ChromaTerms t = MakeChromaTerms(s[u], s[v]);
            PutPixel(PixelAt(dst, pair * 2, row), s[y0], t);
            PutPixel(PixelAt(dst, pair * 2 + 1, row), s[y1], t);
        }
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Planar 4:2:0 with the V plane first
int DecodeYV12FrameToImage(const uint8_t *frame, int width, int height, RasterImage *dst)
{
    const uint8_t *vPlane = frame + (size_t)width * height;
    const uint8_t *uPlane = vPlane + (size_t)(width / 2) * (height / 2);
    Convert420(frame, width, height, dst, [&](int cx, int cy, int *u, int *v) {
        size_t at = (size_t)cy * (width / 2) + cx;
        *u = uPlane[at];
        *v = vPlane[at];
    });
    return 0;
}

// Semi-planar 4:2:0
int DecodeNV12FrameToImage(const uint8_t *frame, int width, int height, RasterImage *dst)
{
    const uint8_t *uv = frame + (size_t)width * height;
    Convert420(frame, width, height, dst, [&](int cx, int cy, int *u, int *v) {
        const uint8_t *pair = uv + (size_t)cy * width + (size_t)cx * 2;
        *u = pair[0];
        *v = pair[1];
    });
    return 0;
}

// Semi-planar 4:1:1
int DecodeNV11FrameToImage(const uint8_t *frame, int width, int height, RasterImage *dst)
{
    const uint8_t *uv = frame + (size_t)width * height;
    for (int row = 0; row < height; row++) {
        const uint8_t *luma = frame + (size_t)row * width;
        const uint8_t *pairs = uv + (size_t)row * (width / 2);
        for (int group = 0; group < width / 4; group++) {
            ChromaTerms t = MakeChromaTerms(pairs[group * 2], pairs[group * 2 + 1]);
            for (int i = 0; i < 4; i++)
                PutPixel(PixelAt(dst, group * 4 + i, row), luma[group * 4 + i], t);
        }
    }
    return 0;
}

// Packed Y0 U Y1 V
int DecodeYUY2FrameToImage(const uint8_t *frame, int width, int height, RasterImage *dst)
{
    Convert422(frame, width, height, dst, 0, 1, 2, 3);
    return 0;
}

// Packed U Y0 V Y1
int DecodeUYVYFrameToImage(const uint8_t *frame, int width, int height, RasterImage *dst)
{
    Convert422(frame, width, height, dst, 1, 0, 3, 2);
    return 0;
}

// Packed Y0 V Y1 U
int DecodeYVYUFrameToImage(const uint8_t *frame, int width, int height, RasterImage *dst)
{
    Convert422(frame, width, height, dst, 0, 3, 2, 1);
    return 0;
}

} // namespace Korvo

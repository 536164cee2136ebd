// Colour conversion of decoded Theora frames: BT.601 video-range YUV into
// 32-bit pixels in memory order blue, green, red, 255.
//
// 4:2:0 frames go through fixed-point tables (scaled by 16384) built once at
// start-up; other chroma layouts are converted pixel by pixel in floating point.

#include "movie/startup_entries.h"
#include "movie/theora_player.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static uint8_t ClampTable[1280]; // indices -512..767, centred at 512
static int32_t TableY[256], TableVR[256], TableUG[256], TableVG[256], TableUB[256];

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static inline uint8_t ClampComponent(int32_t scaled)
{
    return ClampTable[512 + scaled / 16384];
}

static inline uint8_t ClampDouble(double value)
{
    int v = static_cast<int>(value);
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

static void ConvertPlanar420(const TheoraFrameStockEntry *e, int originX, int originY, uint8_t *pixels, int pitch,
                             int width, int height)
{
    for (int y = 0; y < height; ++y) {
        int frameY = originY + y;
        const uint8_t *rowY = e->planeY + static_cast<ptrdiff_t>(frameY) * e->yStride + originX;
        const uint8_t *rowU = e->planeU + static_cast<ptrdiff_t>(frameY >> 1) * e->uvStride;
        const uint8_t *rowV = e->planeV + static_cast<ptrdiff_t>(frameY >> 1) * e->uvStride;
        uint32_t *out = reinterpret_cast<uint32_t *>(pixels + static_cast<ptrdiff_t>(y) * pitch);
        for (int x = 0; x < width; ++x) {
            int u = rowU[(originX + x) >> 1];
            int v = rowV[(originX + x) >> 1];
            int32_t luma = TableY[rowY[x]];
            uint32_t r = ClampComponent(luma + TableVR[v]);
            uint32_t g = ClampComponent(luma + TableUG[u] + TableVG[v]);
            uint32_t b = ClampComponent(luma + TableUB[u]);
            out[x] = b | (g << 8) | (r << 16) | 0xff000000u;
        }
    }
}

static void ConvertAnyLayout(const TheoraFrameStockEntry *e, int originX, int originY, uint8_t *pixels, int pitch,
                             int width, int height)
{
    // Each layout's chroma planes cover the frame at their own scale: 4:2:2
    // halves only the width, 4:4:4 neither side.
    for (int y = 0; y < height; ++y) {
        int frameY = originY + y;
        int cy = static_cast<int>(static_cast<int64_t>(frameY) * e->uvHeight / e->yHeight);
        cy = cy < e->uvHeight ? cy : e->uvHeight - 1;
        uint8_t *out = pixels + static_cast<ptrdiff_t>(y) * pitch;
        for (int x = 0; x < width; ++x) {
            int frameX = originX + x;
            int cx = static_cast<int>(static_cast<int64_t>(frameX) * e->uvWidth / e->yWidth);
            cx = cx < e->uvWidth ? cx : e->uvWidth - 1;
            double luma = 1.164 * (e->planeY[static_cast<ptrdiff_t>(frameY) * e->yStride + frameX] - 16);
            double u = e->planeU[static_cast<ptrdiff_t>(cy) * e->uvStride + cx] - 128.0;
            double v = e->planeV[static_cast<ptrdiff_t>(cy) * e->uvStride + cx] - 128.0;
            out[x * 4 + 0] = ClampDouble(luma + 2.018 * u);
            out[x * 4 + 1] = ClampDouble(luma - 0.391 * u - 0.813 * v);
            out[x * 4 + 2] = ClampDouble(luma + 1.596 * v);
            out[x * 4 + 3] = 255;
        }
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

void BuildTheoraYuvTables()
{
    for (int i = 0; i < 1280; ++i) {
        int value = i - 512;
        ClampTable[i] = static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
    }
    for (int i = 0; i < 256; ++i) {
        TableY[i] = 19070 * (i - 16);
        TableVR[i] = 26148 * (i - 128);
        TableUG[i] = -6406 * (i - 128);
        TableVG[i] = -13320 * (i - 128);
        TableUB[i] = 33062 * (i - 128);
    }
}

void ConvertTheoraFrameToXrgb(const TheoraFrameStockEntry *entry, int originX, int originY, uint8_t *pixels,
                              int pitch, int width, int height)
{
    // Never past the decoded frame, whatever the picture claims.
    if (originX < 0 || originY < 0 || originX >= entry->yWidth || originY >= entry->yHeight) {
        return;
    }
    if (width > entry->yWidth - originX) {
        width = entry->yWidth - originX;
    }
    if (height > entry->yHeight - originY) {
        height = entry->yHeight - originY;
    }
    if (entry->uvWidth * 2 == entry->yWidth && entry->uvHeight * 2 == entry->yHeight) {
        ConvertPlanar420(entry, originX, originY, pixels, pitch, width, height);
    } else {
        ConvertAnyLayout(entry, originX, originY, pixels, pitch, width, height);
    }
}

} // namespace Korvo

// Glyph coverage: the reduction of oversampled 1-bit glyphs to grey levels,
// the edge (outline) grown around a glyph, and the memory-cache cell formats.

#include "font/font_record.h"

#include <array>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Edge masks: per row a run of pixels centred on the pixel's column
// ---------------------------------------------------------------------------

using EdgeMaskGrid = std::array<uint8_t, 81>;

static constexpr EdgeMaskGrid MaskFromRuns(const int *runs, int side)
{
    EdgeMaskGrid grid = {};
    for (int row = 0; row < side; ++row) {
        int start = (side - runs[row]) / 2;
        for (int col = start; col < start + runs[row]; ++col) {
            grid[row * 9 + col] = 1;
        }
    }
    return grid;
}

static constexpr int kRuns2[5] = {3, 5, 5, 5, 3};
static constexpr int kRuns3[7] = {1, 5, 5, 7, 5, 5, 1};
static constexpr int kRuns4[9] = {5, 7, 9, 9, 9, 9, 9, 7, 5};
static constexpr EdgeMaskGrid kEdgeMasks[3] = {MaskFromRuns(kRuns2, 5), MaskFromRuns(kRuns3, 7),
                                               MaskFromRuns(kRuns4, 9)};

const uint8_t *GetEdgeMask(int edgeSize)
{
    return edgeSize >= 2 && edgeSize <= 4 ? kEdgeMasks[edgeSize - 2].data() : nullptr;
}

bool EdgeMaskCovers(int edgeSize, int dx, int dy)
{
    const uint8_t *mask = GetEdgeMask(edgeSize);
    if (mask == nullptr) {
        return true; // size 1 and sizes above 4: the full square
    }
    return mask[(dy + edgeSize) * 9 + dx + edgeSize] != 0;
}

int CountSetBits(uint8_t value)
{
    int count = 0;
    for (; value != 0; value &= static_cast<uint8_t>(value - 1)) {
        ++count;
    }
    return count;
}

// ---------------------------------------------------------------------------
// Oversampling
// ---------------------------------------------------------------------------

static int SourceBit(const uint8_t *source, int pitch, int width, int height, int x, int y)
{
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return 0;
    }
    return (source[y * pitch + (x >> 3)] >> (7 - (x & 7))) & 1;
}

void ReduceOversampledBitmap(const uint8_t *source, int sourcePitch, int sourceWidth, int sourceHeight, int factor,
                             int shiftRows, int levels, uint8_t *out, int outPitch, int outWidth, int outHeight)
{
    for (int y = 0; y < outHeight; ++y) {
        for (int x = 0; x < outWidth; ++x) {
            int count = 0;
            for (int sy = 0; sy < factor; ++sy) {
                for (int sx = 0; sx < factor; ++sx) {
                    count += SourceBit(source, sourcePitch, sourceWidth, sourceHeight, x * factor + sx,
                                       y * factor + sy - shiftRows);
                }
            }
            if (factor == 4) {
                count = levels == 64 ? count * 4 : count;
            } else {
                count = levels == 64 ? count : count / 4;
            }
            out[y * outPitch + x] = static_cast<uint8_t>(count);
        }
    }
}

// ---------------------------------------------------------------------------
// Planes
// ---------------------------------------------------------------------------

void BuildGlyphPlanes(const uint8_t *coverage, int pitch, int width, int height, int range, int edgeSize,
                      int keepMaximum, GlyphPlanes *out)
{
    int e = edgeSize;
    out->width = width + 2 * e;
    out->height = height + 2 * e;
    out->pitch = out->width;
    std::memset(out->glyph, 0, static_cast<size_t>(out->pitch) * out->height);
    std::memset(out->edge, 0, static_cast<size_t>(out->pitch) * out->height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int c = coverage[y * pitch + x];
            if (c == 0) {
                continue;
            }
            out->glyph[(y + e) * out->pitch + x + e] = static_cast<uint8_t>(c);
            if (e == 0) {
                continue;
            }
            for (int dy = -e; dy <= e; ++dy) {
                for (int dx = -e; dx <= e; ++dx) {
                    if (!EdgeMaskCovers(e, dx, dy)) {
                        continue;
                    }
                    uint8_t &edge = out->edge[(y + e + dy) * out->pitch + x + e + dx];
                    // Texture edges gather coverage from every neighbour, never passing the range;
                    // memory-cache edges keep the strongest neighbour.
                    if (range == 1) {
                        edge = 1;
                    } else if (keepMaximum != 0) {
                        edge = static_cast<uint8_t>(c > edge ? c : edge);
                    } else {
                        edge = static_cast<uint8_t>(edge + (range - edge) * c / range);
                    }
                }
            }
        }
    }
}

void WriteGlyphPlanesToMemoryCell(const GlyphPlanes *planes, int type, int range, uint8_t *cell, int pitch)
{
    for (int y = 0; y < planes->height; ++y) {
        uint8_t *row = cell + y * pitch;
        for (int x = 0; x < planes->width; ++x) {
            int g = planes->glyph[y * planes->pitch + x];
            int e = planes->edge[y * planes->pitch + x];
            if (type == 0) {
                if (g != 0) {
                    row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
                }
            } else if (type == 1) {
                row[x] = g != 0 ? 1 : (e != 0 ? 2 : 0);
            } else {
                // Grey levels 1..16 store as 0..15 (64-level glyphs are brought to 16 first).
                int glyph = range == 64 ? g / 4 : g;
                int edge = range == 64 ? e / 4 : e;
                int low = glyph > 0 ? (glyph > 16 ? 16 : glyph) - 1 : 0;
                int high = IsOutlinedType(type) && edge > 0 ? (edge > 16 ? 16 : edge) - 1 : 0;
                row[x] = static_cast<uint8_t>(low | (high << 4));
            }
        }
    }
}

} // namespace Korvo

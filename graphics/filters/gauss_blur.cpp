// Gauss blur on the CPU: a separable kernel of 8, 16 or 32 pixels, horizontal
// into an intermediate image, then vertical into the output. Weight j (j >= 1)
// is shared by the pixels at distances 2j-1 and 2j on each side, each taking half.

#include "graphics/filters/filter_pixels.h"

#include "core/memory/tracked_alloc.h"
#include "image/pixel_access.h"

#include <cmath>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

GaussWeightTable GaussWeights = {{}, 0, 0.0f};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// The blur along one row of count bytes; line points at its first byte inside a
// copy padded on both sides with the edge pixel, as far as the kernel reaches.
template <int Taps>
static void BlurPaddedLine(const uint8_t *line, int count, const int32_t *weights, uint8_t *out)
{
    for (int i = 0; i < count; ++i) {
        int32_t side = 0;
        for (int j = 1; j < Taps; ++j) {
            const int inner = (2 * j - 1) * 4;
            const int outer = 2 * j * 4;
            side += weights[j] * (line[i - inner] + line[i - outer] + line[i + inner] + line[i + outer]);
        }
        out[i] = static_cast<uint8_t>((line[i] * weights[0] + (side >> 1)) >> 16);
    }
}

// Vertical pass over one output row: rows[k] are the source rows at the kernel's
// taps (clamped to the image), centre first, then near/far above and below per weight.
template <int Taps>
static void BlurRowFromRows(const uint8_t *const *rows, int count, const int32_t *weights, int32_t *side,
                            uint8_t *out)
{
    std::memset(side, 0, sizeof(int32_t) * count);
    for (int j = 1; j < Taps; ++j) {
        const uint8_t *a = rows[4 * j - 3];
        const uint8_t *b = rows[4 * j - 2];
        const uint8_t *c = rows[4 * j - 1];
        const uint8_t *d = rows[4 * j];
        const int32_t w = weights[j];
        for (int i = 0; i < count; ++i) {
            side[i] += w * (a[i] + b[i] + c[i] + d[i]);
        }
    }
    const uint8_t *centre = rows[0];
    for (int i = 0; i < count; ++i) {
        out[i] = static_cast<uint8_t>((centre[i] * weights[0] + (side[i] >> 1)) >> 16);
    }
}

template <int Taps>
static int BlurBothWays(const RasterImage &src, RasterImage &temp, RasterImage &out, const int32_t *weights)
{
    constexpr int kPad = 2 * (Taps - 1);
    const int width = out.width;
    const int height = out.height;
    const int bytes = width * 4;
    uint8_t *padded = static_cast<uint8_t *>(TrackedAlloc((width + 2 * kPad) * 4, __FILE__, __LINE__));
    int32_t *side = static_cast<int32_t *>(TrackedAlloc(sizeof(int32_t) * bytes, __FILE__, __LINE__));
    const uint8_t **rows = static_cast<const uint8_t **>(
        TrackedAlloc(sizeof(uint8_t *) * (4 * Taps + 1), __FILE__, __LINE__));
    if (padded == nullptr || side == nullptr || rows == nullptr) {
        TrackedFree(padded);
        TrackedFree(side);
        TrackedFree(rows);
        return -1;
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t *line = FilterPixelAt(src, 0, y);
        for (int k = 0; k < kPad; ++k) {
            std::memcpy(padded + k * 4, line, 4);
            std::memcpy(padded + (kPad + width + k) * 4, line + (width - 1) * 4, 4);
        }
        std::memcpy(padded + kPad * 4, line, bytes);
        BlurPaddedLine<Taps>(padded + kPad * 4, bytes, weights, FilterPixelAt(temp, 0, y));
    }
    auto clampedRow = [&](int y) {
        return static_cast<const uint8_t *>(FilterPixelAt(temp, 0, y < 0 ? 0 : (y >= height ? height - 1 : y)));
    };
    for (int y = 0; y < height; ++y) {
        rows[0] = clampedRow(y);
        for (int j = 1; j < Taps; ++j) {
            rows[4 * j - 3] = clampedRow(y - 2 * j + 1);
            rows[4 * j - 2] = clampedRow(y - 2 * j);
            rows[4 * j - 1] = clampedRow(y + 2 * j - 1);
            rows[4 * j] = clampedRow(y + 2 * j);
        }
        BlurRowFromRows<Taps>(rows, bytes, weights, side, FilterPixelAt(out, 0, y));
    }
    TrackedFree(padded);
    TrackedFree(side);
    TrackedFree(rows);
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The width class of a requested pixel width
int GaussWidthClass(int pixelWidth)
{
    return pixelWidth <= 8 ? 8 : (pixelWidth <= 16 ? 16 : 32);
}

// Recompute the weights when the parameter or class moved
void UpdateGaussWeights(int widthClass, float parameter)
{
    GaussWeightTable &table = GaussWeights;
    if (std::fabs(table.parameter - parameter) <= 0.0002f && table.widthClass == widthClass) {
        return;
    }
    const int taps = widthClass / 2;
    float sum = 0.0f;
    for (int j = 0; j < taps; ++j) {
        table.weights[j] = std::exp(-0.5f * static_cast<float>(j * j) / parameter);
        sum += j == 0 ? table.weights[j] : 2.0f * table.weights[j];
    }
    for (int j = 0; j < taps; ++j) {
        table.weights[j] /= sum;
    }
    table.parameter = parameter;
    table.widthClass = widthClass;
}

// Blur src into out
int GaussBlurPixels(const RasterImage &src, RasterImage &out, int pixelWidth, float parameter)
{
    if (parameter < 1e-7f) {
        for (int y = 0; y < out.height; ++y) {
            std::memcpy(FilterPixelAt(out, 0, y), FilterPixelAt(src, 0, y), static_cast<size_t>(out.width) * 4);
        }
        return 0;
    }
    const int widthClass = GaussWidthClass(pixelWidth);
    UpdateGaussWeights(widthClass, parameter);
    int32_t fixed[16] = {};
    for (int j = 0; j < widthClass / 2; ++j) {
        fixed[j] = TruncateToInt(GaussWeights.weights[j] * 65536.0f);
    }
    RasterImage temp = {};
    if (AllocArgb32Image(out.width, out.height, &temp) != 0) {
        return -1;
    }
    int result = -1;
    switch (widthClass) {
    case 8: result = BlurBothWays<4>(src, temp, out, fixed); break;
    case 16: result = BlurBothWays<8>(src, temp, out, fixed); break;
    default: result = BlurBothWays<16>(src, temp, out, fixed); break;
    }
    FreeImageRecord(&temp);
    return result;
}

} // namespace Korvo

// Per-pixel tone filters on the CPU: Mono, BrightClip, Invert, TwoColor,
// PremultipliedAlpha and DownScale.

#include "graphics/filters/filter_pixels.h"

#include <algorithm>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Four 0..1 float channels (red, green, blue, alpha) as a BGRA pixel
static void FloatColourToPixel(const float *colour, uint8_t *bgra)
{
    bgra[0] = static_cast<uint8_t>(TruncateToInt(colour[2] * 255.0f));
    bgra[1] = static_cast<uint8_t>(TruncateToInt(colour[1] * 255.0f));
    bgra[2] = static_cast<uint8_t>(TruncateToInt(colour[0] * 255.0f));
    bgra[3] = static_cast<uint8_t>(TruncateToInt(colour[3] * 255.0f));
}

static uint8_t ClampLumaShifted(int value)
{
    return value < 0 ? 0 : (value >= 1048576 ? 255 : static_cast<uint8_t>(value >> 12));
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Grey from luminance plus a chroma tint
int MonoPixels(const RasterImage &src, RasterImage &out, float cb, float cr)
{
    const float u = std::clamp(cb / 200.0f, -0.5f, 0.5f);
    const float v = std::clamp(cr / 200.0f, -0.5f, 0.5f);
    const int kr = TruncateToInt(1.402f * v * 255.0f * 4096.0f);
    const int kg = TruncateToInt((-0.34414f * u - 0.71414f * v) * 255.0f * 4096.0f);
    const int kb = TruncateToInt(1.772f * u * 255.0f * 4096.0f);
    for (int y = 0; y < out.height; ++y) {
        const uint8_t *s = FilterPixelAt(src, 0, y);
        uint8_t *d = FilterPixelAt(out, 0, y);
        for (int x = 0; x < out.width; ++x, s += 4, d += 4) {
            const int luma = FilterLuma(s);
            d[0] = ClampLumaShifted(luma + kb);
            d[1] = ClampLumaShifted(luma + kg);
            d[2] = ClampLumaShifted(luma + kr);
            d[3] = s[3];
        }
    }
    return 0;
}

// Fill or drop pixels whose luminance is below (2) or above (5) the clip value
int BrightClipPixels(const RasterImage &src, RasterImage &out, int comparison, float clip, int fill,
                     const float *fillColour)
{
    if ((comparison != 2 && comparison != 5) || (fill != 0 && fillColour == nullptr)) {
        return -1;
    }
    const int limit = TruncateToInt(std::clamp(clip / 255.0f, 0.0f, 1.0f) * 255.0f * 4096.0f);
    uint8_t fillPixel[4] = {};
    if (fill != 0) {
        FloatColourToPixel(fillColour, fillPixel);
    }
    const bool less = comparison == 2;
    for (int y = 0; y < out.height; ++y) {
        const uint8_t *s = FilterPixelAt(src, 0, y);
        uint8_t *d = FilterPixelAt(out, 0, y);
        for (int x = 0; x < out.width; ++x, s += 4, d += 4) {
            const int luma = FilterLuma(s);
            const bool clipped = less ? luma < limit : limit < luma;
            if (!clipped) {
                std::memcpy(d, s, 4);
            } else if (fill != 0) {
                std::memcpy(d, fillPixel, 4);
            }
        }
    }
    return 0;
}

// Red, green and blue become 255 - c
int InvertPixels(const RasterImage &src, RasterImage &out)
{
    for (int y = 0; y < out.height; ++y) {
        const uint8_t *s = FilterPixelAt(src, 0, y);
        uint8_t *d = FilterPixelAt(out, 0, y);
        for (int x = 0; x < out.width; ++x, s += 4, d += 4) {
            d[0] = static_cast<uint8_t>(255 - s[0]);
            d[1] = static_cast<uint8_t>(255 - s[1]);
            d[2] = static_cast<uint8_t>(255 - s[2]);
            d[3] = s[3];
        }
    }
    return 0;
}

// Colour 1 below the threshold, colour 2 at or above it
int TwoColorPixels(const RasterImage &src, RasterImage &out, float threshold, const float *colour1,
                   const float *colour2)
{
    const int limit = TruncateToInt(threshold * 4096.0f);
    uint8_t below[4];
    uint8_t above[4];
    FloatColourToPixel(colour1, below);
    FloatColourToPixel(colour2, above);
    for (int y = 0; y < out.height; ++y) {
        const uint8_t *s = FilterPixelAt(src, 0, y);
        uint8_t *d = FilterPixelAt(out, 0, y);
        for (int x = 0; x < out.width; ++x, s += 4, d += 4) {
            std::memcpy(d, FilterLuma(s) < limit ? below : above, 4);
        }
    }
    return 0;
}

// Colour channels times alpha / 256
int PremultiplyAlphaPixels(const RasterImage &src, RasterImage &out)
{
    for (int y = 0; y < out.height; ++y) {
        const uint8_t *s = FilterPixelAt(src, 0, y);
        uint8_t *d = FilterPixelAt(out, 0, y);
        for (int x = 0; x < out.width; ++x, s += 4, d += 4) {
            const int alpha = s[3];
            d[0] = static_cast<uint8_t>(s[0] * alpha >> 8);
            d[1] = static_cast<uint8_t>(s[1] * alpha >> 8);
            d[2] = static_cast<uint8_t>(s[2] * alpha >> 8);
            d[3] = static_cast<uint8_t>(alpha);
        }
    }
    return 0;
}

// The divisor used for a parameter; -1 when the parameter is not positive
int DownScaleDivisor(int parameter)
{
    if (parameter <= 0) {
        return -1;
    }
    return parameter <= 2 ? 2 : (parameter <= 4 ? 4 : 8);
}

// Truncated mean of each divisor x divisor block, alpha included
int DownScalePixels(const RasterImage &src, RasterImage &out, int divisor)
{
    if (divisor != 2 && divisor != 4 && divisor != 8) {
        return -1;
    }
    const int shift = divisor == 2 ? 2 : (divisor == 4 ? 4 : 6);
    for (int y = 0; y < out.height; ++y) {
        uint8_t *d = FilterPixelAt(out, 0, y);
        for (int x = 0; x < out.width; ++x, d += 4) {
            int sums[4] = {};
            for (int by = 0; by < divisor; ++by) {
                const uint8_t *s = FilterPixelAt(src, x * divisor, y * divisor + by);
                for (int bx = 0; bx < divisor; ++bx, s += 4) {
                    sums[0] += s[0];
                    sums[1] += s[1];
                    sums[2] += s[2];
                    sums[3] += s[3];
                }
            }
            for (int c = 0; c < 4; ++c) {
                d[c] = static_cast<uint8_t>(sums[c] >> shift);
            }
        }
    }
    return 0;
}

} // namespace Korvo

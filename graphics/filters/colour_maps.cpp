// Filters that remap colours through a model or a table on the CPU: HSB,
// Level (with its gamma table) and GradientMap.

#include "graphics/filters/filter_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

LevelGammaTable LevelGammaCpu = {{}, -10000000.0f};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Hue 0..1535 (256 per sector) of a colour whose maximum and minimum differ
static int HueOf(int r, int g, int b, int mx, int mn)
{
    const int delta = mx - mn;
    int hue;
    if (r == mx) {
        hue = (mx - b) * 256 / delta - (mx - g) * 256 / delta;
    } else if (g == mx) {
        hue = (mx - r) * 256 / delta - (mx - b) * 256 / delta + 512;
    } else {
        hue = (mx - g) * 256 / delta - (mx - r) * 256 / delta + 1024;
    }
    return hue < 0 ? hue + 1536 : hue;
}

// The fully saturated colour of a hue, as red, green, blue
static void PureColour(int hue, int *rgb)
{
    const int f = hue & 255;
    switch (hue >> 8) {
    case 0: rgb[0] = 255; rgb[1] = f; rgb[2] = 0; break;
    case 1: rgb[0] = 255 - f; rgb[1] = 255; rgb[2] = 0; break;
    case 2: rgb[0] = 0; rgb[1] = 255; rgb[2] = f; break;
    case 3: rgb[0] = 0; rgb[1] = 255 - f; rgb[2] = 255; break;
    case 4: rgb[0] = f; rgb[1] = 0; rgb[2] = 255; break;
    default: rgb[0] = 255; rgb[1] = 0; rgb[2] = 255 - f; break;
    }
}

static int Brighten(int c, int amount)
{
    const int v = amount <= 0 ? c * (amount + 256) >> 8 : c + ((255 - c) * amount >> 8);
    return std::clamp(v, 0, 255);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Hue shift or fixed hue, saturation and brightness
int HsbPixels(const RasterImage &src, RasterImage &out, int mode, float hue, float saturation, float brightness)
{
    const float e = mode == 1 ? std::clamp(hue / 360.0f, 0.0f, 1.0f) : std::clamp(hue / 360.0f, -0.5f, 0.5f);
    const float g = std::clamp(saturation / 100.0f, -1.0f, 1.0f);
    const float k = g > 0.0f ? 5.0f * g : g;
    int hueShift = TruncateToInt(6.0f * e * 256.0f);
    if (mode == 1 && hueShift == 1536) {
        hueShift = 0;
    }
    const int satMul = TruncateToInt(k * 256.0f) + 256;
    const int amount = TruncateToInt(brightness / 100.0f * 256.0f);
    for (int y = 0; y < out.height; ++y) {
        const uint8_t *s = FilterPixelAt(src, 0, y);
        uint8_t *d = FilterPixelAt(out, 0, y);
        for (int x = 0; x < out.width; ++x, s += 4, d += 4) {
            const int r = Brighten(s[2], amount);
            const int gr = Brighten(s[1], amount);
            const int b = Brighten(s[0], amount);
            const int mx = std::max({r, gr, b});
            const int mn = std::min({r, gr, b});
            const int sum = mx + mn;
            const int light = sum >> 1;
            const int sat = mx == mn ? 0 : (mx - mn) * 256 / (sum <= 257 ? sum : 512 - sum);
            int h = hueShift;
            if (mode != 1) {
                h += mx == mn ? 0 : HueOf(r, gr, b, mx, mn);
                h = h >= 1536 ? h - 1536 : (h < 0 ? h + 1536 : h);
            }
            const int scaled = sat * satMul;
            const int sat2 = scaled < 65792 ? scaled >> 8 : 256;
            int rgb[3];
            PureColour(h, rgb);
            for (int c = 0; c < 3; ++c) {
                int v = rgb[c] + ((128 - rgb[c]) * (256 - sat2) >> 8);
                v = light > 128 ? v + (((255 - v) * (light - 128) * 2) >> 8) : v * light >> 7;
                rgb[c] = v;
            }
            d[0] = static_cast<uint8_t>(rgb[2]);
            d[1] = static_cast<uint8_t>(rgb[1]);
            d[2] = static_cast<uint8_t>(rgb[0]);
            d[3] = s[3];
        }
    }
    return 0;
}

// Entry i = pow(i/255, 1/gamma) * 255, at most 255
void BuildLevelGammaEntries(float gamma, int32_t *entries)
{
    for (int i = 0; i < 256; ++i) {
        const float v = std::pow(static_cast<float>(i) / 255.0f, 1.0f / gamma) * 255.0f;
        entries[i] = v > 255.0f ? 255 : TruncateToInt(v);
    }
}

// Input range through the gamma curve into the output range
int LevelPixels(const RasterImage &src, RasterImage &out, float inMin, float inMax, float gamma, float outMin,
                float outMax)
{
    float fmin = std::clamp(inMin / 255.0f, 0.0f, 1.0f);
    const float fmax = std::clamp(inMax / 255.0f, 0.0f, 1.0f);
    gamma = std::max(gamma, 0.001f);
    float omin = std::clamp(outMin / 255.0f, 0.0f, 1.0f);
    const float omax = std::clamp(outMax / 255.0f, 0.0f, 1.0f);
    fmin = std::min(fmin, fmax);
    omin = std::min(omin, omax);
    if (std::fabs(LevelGammaCpu.gamma - gamma) > 0.0001f) {
        BuildLevelGammaEntries(gamma, LevelGammaCpu.entries);
        LevelGammaCpu.gamma = gamma;
    }
    const int32_t *table = LevelGammaCpu.entries;
    const int lo = TruncateToInt(fmin * 255.0f);
    const int range = TruncateToInt(fmax * 255.0f) - lo;
    const int olo = TruncateToInt(omin * 255.0f);
    const int ohi = TruncateToInt(omax * 255.0f);
    uint8_t map[256];
    for (int c = 0; c < 256; ++c) {
        int k;
        if (range <= 0) {
            // An empty input range is a step at its one value.
            k = c > lo ? table[255] : table[0];
        } else {
            const int i = ((c - lo) << 8) / range;
            k = i < 0 ? table[0] : (i > 255 ? table[255] : table[i]);
        }
        map[c] = static_cast<uint8_t>((olo * 256 + (ohi - olo) * k) >> 8);
    }
    for (int y = 0; y < out.height; ++y) {
        const uint8_t *s = FilterPixelAt(src, 0, y);
        uint8_t *d = FilterPixelAt(out, 0, y);
        for (int x = 0; x < out.width; ++x, s += 4, d += 4) {
            d[0] = map[s[0]];
            d[1] = map[s[1]];
            d[2] = map[s[2]];
            d[3] = s[3];
        }
    }
    return 0;
}

// The gradient's first row sampled at 256 evenly spaced places
int BuildGradientTable(const RasterImage &gradient, int reverse, uint32_t *table)
{
    if (gradient.width <= 0 || gradient.height <= 0 || gradient.pixels == nullptr) {
        return -1;
    }
    const int width = gradient.width;
    for (int i = 0; i < 256; ++i) {
        std::memcpy(&table[reverse != 0 ? 255 - i : i], FilterPixelAt(gradient, (i * width) >> 8, 0), 4);
    }
    return 0;
}

// Each pixel becomes the gradient entry of its luminance, alpha included
int GradientMapPixels(const RasterImage &src, RasterImage &out, const uint32_t *table)
{
    for (int y = 0; y < out.height; ++y) {
        const uint8_t *s = FilterPixelAt(src, 0, y);
        uint8_t *d = FilterPixelAt(out, 0, y);
        for (int x = 0; x < out.width; ++x, s += 4, d += 4) {
            std::memcpy(d, &table[FilterLuma(s) >> 12], 4);
        }
    }
    return 0;
}

} // namespace Korvo

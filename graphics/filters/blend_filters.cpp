// Graph-blend filters on the CPU: the source (p) combined with the blend image
// (q) under a ratio, per colour channel or on alpha; and the RGBAMix channel pick.

#include "graphics/filters/filter_pixels.h"

#include <algorithm>
#include <cmath>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static int SoftLightChannel(int p, int q)
{
    const float fq = static_cast<float>(q) / 255.0f;
    const float e = q >= 128 ? 0.5f / fq : (1.0f - fq) * 2.0f;
    const int v = TruncateToInt(std::pow(static_cast<float>(p) / 255.0f, e) * 255.0f);
    return std::clamp(v, 0, 255);
}

static int OverlayTerm(int base, int other)
{
    return std::min(((((256 - base) * other + 256 * base) * 2) >> 8) - 255, 255);
}

// f(p, q) of the per-channel blend types 0 and 2..13
static int BlendChannel(int type, int p, int q)
{
    switch (type) {
    case 0: return q;
    case 2: return q * p >> 8;
    case 3: return std::max(p - q, 0);
    case 4: return std::min(p + q, 255);
    case 5: return 255 - ((255 - q) * (255 - p) >> 8);
    case 6: return p >= 128 ? OverlayTerm(p, q) : q * p / 128;
    case 7: return q == 255 ? 255 : std::min(p * 256 / (255 - q), 255);
    case 8: {
        const int t = ((p - 255) * 256) / (q + 1);
        return t < -255 ? 0 : t + 255;
    }
    case 9: return std::min(p, q);
    case 10: return std::max(p, q);
    case 11: return SoftLightChannel(p, q);
    case 12: return q >= 128 ? OverlayTerm(q, p) : q * p / 128;
    default: return std::min((((128 - p) * q + 128 * p) * 2) >> 8, 255);
    }
}

// One pixel of the alpha-channel types 14..16; s, b: source and blend BGRA
static void BlendAlphaPixel(int type, int ratio, const uint8_t *s, const uint8_t *b, uint8_t *d)
{
    const int pa = s[3];
    const int k = ratio * b[3];
    const int a = k >> 8;
    if (type == 16) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = static_cast<uint8_t>(pa + ((((b[3] * pa) >> 8) - pa) * (ratio * 255) >> 16));
        return;
    }
    const int total = type == 14 ? pa * (256 - a) + a * 256 : ((256 - a) * pa + a * 256) >> 8;
    if (total == 0) {
        // Nothing visible on either side: the result is the transparent source pixel.
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = 0;
        return;
    }
    for (int c = 0; c < 3; ++c) {
        if (type == 14) {
            d[c] = static_cast<uint8_t>((s[c] * pa * (256 - a) + a * b[c] * 256) / total);
        } else {
            d[c] = static_cast<uint8_t>(std::min((s[c] * pa + a * b[c]) / total, 255));
        }
    }
    d[3] = static_cast<uint8_t>(type == 14 ? total >> 8 : total);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Blend types 0 and 2..16
int BasicBlendPixels(const RasterImage &src, const RasterImage &blend, RasterImage &out, int type, float ratio)
{
    if (type < 0 || type == 1 || type > 16) {
        return -1;
    }
    const int fixedRatio = TruncateToInt(std::clamp(ratio, 0.0f, 1.0f) * 256.0f);
    for (int y = 0; y < out.height; ++y) {
        const uint8_t *s = FilterPixelAt(src, 0, y);
        const uint8_t *b = FilterPixelAt(blend, 0, y);
        uint8_t *d = FilterPixelAt(out, 0, y);
        for (int x = 0; x < out.width; ++x, s += 4, b += 4, d += 4) {
            if (type >= 14) {
                BlendAlphaPixel(type, fixedRatio, s, b, d);
                continue;
            }
            const int k = fixedRatio * b[3];
            for (int c = 0; c < 3; ++c) {
                const int p = s[c];
                d[c] = static_cast<uint8_t>(p + ((BlendChannel(type, p, b[c]) - p) * k >> 16));
            }
            d[3] = s[3];
        }
    }
    return 0;
}

// Each output channel picks one byte of the source or the blend image
int RgbaMixPixels(const RasterImage &src, const RasterImage &blend, RasterImage &out, const int *selectors)
{
    // Byte offsets of red, green, blue, alpha in a BGRA pixel.
    static const int kChannelByte[4] = {2, 1, 0, 3};
    int pick[4];
    for (int c = 0; c < 4; ++c) {
        if (selectors[c] < 0 || selectors[c] > 7) {
            return -1;
        }
        pick[c] = selectors[c];
    }
    for (int y = 0; y < out.height; ++y) {
        const uint8_t *s = FilterPixelAt(src, 0, y);
        const uint8_t *b = FilterPixelAt(blend, 0, y);
        uint8_t *d = FilterPixelAt(out, 0, y);
        for (int x = 0; x < out.width; ++x, s += 4, b += 4, d += 4) {
            uint8_t result[4];
            for (int c = 0; c < 4; ++c) {
                const uint8_t *from = pick[c] < 4 ? s : b;
                result[kChannelByte[c]] = from[kChannelByte[pick[c] & 3]];
            }
            d[0] = result[0];
            d[1] = result[1];
            d[2] = result[2];
            d[3] = result[3];
        }
    }
    return 0;
}

} // namespace Korvo

// The pixels a glyph cache turns into: the texels of the cache texture for a
// coverage level, and what a software target receives for a memory-cache value.

#include "font/font_record.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// White, with the alpha of the level in the texture's alpha field
uint32_t CacheTexelOfLevel(const ColorFormatDesc &format, int level, int range)
{
    uint32_t white = format.maskR | format.maskG | format.maskB;
    if (range == 1) {
        return level != 0 ? white | format.maskA : white;
    }
    int bits = format.shiftA + format.widthA;
    if (range == 16) {
        return level == 0 ? white : white | ((static_cast<uint32_t>(level) << (bits - 4)) - 1);
    }
    return level == 0 ? white : white | (static_cast<uint32_t>(level - 1) << (bits - 6));
}

// The glyph colour c, the edge colour k, or their mix at the coverage's alpha
bool TargetPixelOfCacheValue(int type, int bits, int value, uint32_t c, uint32_t k, uint32_t *out)
{
    if (value == 0) {
        return false;
    }
    if (type == 0) {
        *out = c;
        return true;
    }
    if (type == 1) {
        *out = value == 1 ? c : k;
        return true;
    }
    uint32_t alpha;
    uint32_t colour = c;
    if (!IsOutlinedType(type)) {
        alpha = static_cast<uint32_t>(value) * 16;
    } else {
        int g = value & 15;
        int e = value >> 4;
        if (g == 15) {
            alpha = 255;
        } else if (g > 0) {
            int a = (15 - g) * e + 16 * g;
            int s = (g * 4096) / a;
            alpha = static_cast<uint32_t>(a);
            if (bits == 32) {
                colour = 0;
                for (int shift = 0; shift < 24; shift += 8) {
                    int kc = (k >> shift) & 0xFF, cc = (c >> shift) & 0xFF;
                    colour |= static_cast<uint32_t>(kc + (cc - kc) * s / 256) << shift;
                }
            } else {
                const int shifts[3] = {0, 5, 11}, masks[3] = {31, 63, 31};
                colour = 0;
                for (int i = 0; i < 3; ++i) {
                    int kc = (k >> shifts[i]) & masks[i], cc = (c >> shifts[i]) & masks[i];
                    colour |= static_cast<uint32_t>(kc + (cc - kc) * s / 256) << shifts[i];
                }
            }
        } else if (e > 0) {
            alpha = static_cast<uint32_t>(16 * e);
            colour = k;
        } else {
            return false;
        }
    }
    *out = bits == 32 ? (alpha << 24) | colour : (alpha << 16) | colour;
    return true;
}

} // namespace Korvo

// Pixel-format conversion: the fixed conversions between the common formats
// (palette, 24-bit, X8R8G8B8, R5G6B5, X1R5G5B5, with or without a colour key
// turned into alpha). The 5-6-5 / 5-5-5 pair has a four-pixel MMX form and a
// plain form that gives the same bytes.
#include <cstring>

#include "image/pixel_convert_internal.h"

#if defined(__i386__) || defined(__x86_64__)
#include <mmintrin.h>
#define KORVO_HAVE_MMX_INTRINSICS 1
#endif

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

enum FixedLayout {
    kLayoutOther,
    kLayoutPalette,
    kLayoutRgb24,
    kLayoutXrgb32,   // 888 colour masks, no alpha mask
    kLayoutArgb32,   // 888 colour masks, alpha 0xff000000
    kLayoutRgb565,
    kLayoutXrgb1555,
    kLayoutArgb1555,
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static FixedLayout ClassifyLayout(const ColorFormatDesc &f)
{
    bool rgb888 = f.maskR == 0xff0000 && f.maskG == 0xff00 && f.maskB == 0xff;
    bool rgb555 = f.maskR == 0x7c00 && f.maskG == 0x3e0 && f.maskB == 0x1f;
    switch (f.bitsPerPixel) {
    case 8:
        return kLayoutPalette;
    case 16:
        if (f.maskR == 0xf800 && f.maskG == 0x7e0 && f.maskB == 0x1f && f.maskA == 0)
            return kLayoutRgb565;
        if (rgb555 && f.maskA == 0)
            return kLayoutXrgb1555;
        if (rgb555 && f.maskA == 0x8000)
            return kLayoutArgb1555;
        return kLayoutOther;
    case 24:
        return rgb888 ? kLayoutRgb24 : kLayoutOther;
    case 32:
        if (rgb888 && f.maskA == 0)
            return kLayoutXrgb32;
        if (rgb888 && f.maskA == 0xff000000u)
            return kLayoutArgb32;
        return kLayoutOther;
    default:
        return kLayoutOther;
    }
}

static inline uint32_t Rgb888To565(uint32_t v)
{
    return ((v >> 8) & 0xf800) | ((v >> 5) & 0x7e0) | ((v >> 3) & 0x1f);
}

static inline uint32_t Rgb888To555(uint32_t v)
{
    return ((v >> 9) & 0x7c00) | ((v >> 6) & 0x3e0) | ((v >> 3) & 0x1f);
}

static inline uint32_t Rgb565To888(uint32_t v)
{
    return ((v & 0xf800) << 8) | ((v & 0x7e0) << 5) | ((v & 0x1f) << 3);
}

static inline uint16_t Rgb565To555(uint32_t v)
{
    return (uint16_t)(((v & 0xffc0) >> 1) | (v & 0x1f));
}

static inline uint16_t Rgb555To565(uint32_t v)
{
    return (uint16_t)(((v & 0x7fe0) << 1) | (v & 0x3f));
}

// Runs fn(sourcePixel, destinationPixel) over the rectangle.
template <typename PixelFn>
static void ForEachPixel(const PixelConvertJob &job, int srcBytes, int dstBytes, PixelFn fn)
{
    for (int y = 0; y < job.height; y++) {
        const uint8_t *s = job.src + (size_t)y * job.srcPitch;
        uint8_t *d = job.dst + (size_t)y * job.dstPitch;
        for (int x = 0; x < job.width; x++)
            fn(s + (size_t)x * srcBytes, d + (size_t)x * dstBytes);
    }
}

// 5-6-5 <-> 5-5-5 on one row, plain form: two pixels per 32-bit word, then the odd one.
static void Convert16BitRowPlain(const uint8_t *s, uint8_t *d, int width, bool to555)
{
    int x = 0;
    for (; x + 2 <= width; x += 2) {
        uint32_t pair;
        std::memcpy(&pair, s + x * 2, 4);
        uint32_t out = to555 ? (((pair & 0xffc0ffc0u) >> 1) | (pair & 0x001f001fu))
                             : (((pair & 0x7fe07fe0u) << 1) | (pair & 0x003f003fu));
        std::memcpy(d + x * 2, &out, 4);
    }
    if (x < width) {
        uint32_t v = LoadPackedPixel(s + x * 2, 16);
        StorePackedPixel(d + x * 2, 16, to555 ? Rgb565To555(v) : Rgb555To565(v));
    }
}

#if KORVO_HAVE_MMX_INTRINSICS
// 5-6-5 <-> 5-5-5 on one row, MMX form: four pixels at a time, then the rest.
static void Convert16BitRowMmx(const uint8_t *s, uint8_t *d, int width, bool to555)
{
    const __m64 highMask = to555 ? _mm_set1_pi16((short)0xffc0) : _mm_set1_pi16((short)0x7fe0);
    const __m64 lowMask = to555 ? _mm_set1_pi16(0x1f) : _mm_set1_pi16(0x3f);
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        __m64 v;
        std::memcpy(&v, s + x * 2, 8);
        __m64 high = _mm_and_si64(v, highMask);
        high = to555 ? _mm_srli_pi16(high, 1) : _mm_slli_pi16(high, 1);
        __m64 out = _mm_or_si64(high, _mm_and_si64(v, lowMask));
        std::memcpy(d + x * 2, &out, 8);
    }
    _mm_empty();
    if (x < width)
        Convert16BitRowPlain(s + x * 2, d + x * 2, width - x, to555);
}
#endif

static void Convert16BitFormats(const PixelConvertJob &job, bool to555)
{
    bool useMmx = false;
#if KORVO_HAVE_MMX_INTRINSICS
    useMmx = PixelConvertUsesMmx();
#endif
    for (int y = 0; y < job.height; y++) {
        const uint8_t *s = job.src + (size_t)y * job.srcPitch;
        uint8_t *d = job.dst + (size_t)y * job.dstPitch;
#if KORVO_HAVE_MMX_INTRINSICS
        if (useMmx) {
            Convert16BitRowMmx(s, d, job.width, to555);
            continue;
        }
#endif
        (void)useMmx;
        Convert16BitRowPlain(s, d, job.width, to555);
    }
}

// Conversions without a colour key.
static bool RunPlainFixedConversion(const PixelConvertJob &job, FixedLayout src, FixedLayout dst)
{
    const ColorFormatDesc &sf = job.srcFormat;
    if (src == kLayoutPalette) {
        if (dst == kLayoutRgb565)
            ForEachPixel(job, 1, 2, [&](const uint8_t *s, uint8_t *d) {
                StorePackedPixel(d, 16, Rgb888To565(PaletteEntryValue(sf, s[0])));
            });
        else if (dst == kLayoutXrgb1555)
            ForEachPixel(job, 1, 2, [&](const uint8_t *s, uint8_t *d) {
                StorePackedPixel(d, 16, Rgb888To555(PaletteEntryValue(sf, s[0])) | 0x8000);
            });
        else if (dst == kLayoutXrgb32)
            ForEachPixel(job, 1, 4, [&](const uint8_t *s, uint8_t *d) {
                StorePackedPixel(d, 32, PaletteEntryValue(sf, s[0]) | 0xff000000u);
            });
        else
            return false;
        return true;
    }
    if (src == kLayoutRgb24) {
        if (dst == kLayoutRgb565)
            ForEachPixel(job, 3, 2, [](const uint8_t *s, uint8_t *d) {
                StorePackedPixel(d, 16, Rgb888To565(LoadPackedPixel(s, 24)));
            });
        else if (dst == kLayoutXrgb1555)
            ForEachPixel(job, 3, 2, [](const uint8_t *s, uint8_t *d) {
                StorePackedPixel(d, 16, Rgb888To555(LoadPackedPixel(s, 24)) | 0x8000);
            });
        else if (dst == kLayoutXrgb32 || dst == kLayoutArgb32 ||
                 (job.dstFormat.bitsPerPixel == 32 && job.dstFormat.maskR == 0xff0000 &&
                  job.dstFormat.maskG == 0xff00 && job.dstFormat.maskB == 0xff))
            ForEachPixel(job, 3, 4, [](const uint8_t *s, uint8_t *d) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                d[3] = 0xff;
            });
        else
            return false;
        return true;
    }
    if (src == kLayoutXrgb32 && dst == kLayoutRgb565 && !job.alphaProduced) {
        ForEachPixel(job, 4, 2, [](const uint8_t *s, uint8_t *d) {
            StorePackedPixel(d, 16, Rgb888To565(LoadPackedPixel(s, 32)));
        });
        return true;
    }
    if (src == kLayoutRgb565 && !job.alphaProduced) {
        if (dst == kLayoutRgb24)
            ForEachPixel(job, 2, 3, [](const uint8_t *s, uint8_t *d) {
                StorePackedPixel(d, 24, Rgb565To888(LoadPackedPixel(s, 16)));
            });
        else if (dst == kLayoutXrgb32)
            ForEachPixel(job, 2, 4, [](const uint8_t *s, uint8_t *d) {
                StorePackedPixel(d, 32, Rgb565To888(LoadPackedPixel(s, 16)));
            });
        else if (dst == kLayoutXrgb1555)
            Convert16BitFormats(job, true);
        else
            return false;
        return true;
    }
    if (src == kLayoutXrgb1555 && dst == kLayoutRgb565 && !job.alphaProduced) {
        Convert16BitFormats(job, false);
        return true;
    }
    return false;
}

// Conversions that turn a colour key into alpha (A1R5G5B5 or A8R8G8B8 targets).
static bool RunKeyedFixedConversion(const PixelConvertJob &job, FixedLayout src, FixedLayout dst)
{
    if (dst != kLayoutArgb1555 && dst != kLayoutArgb32)
        return false;
    const ColorFormatDesc &sf = job.srcFormat;
    uint32_t key = job.keyColor & 0xffffff;
    bool to16 = dst == kLayoutArgb1555;
    int dstBytes = to16 ? 2 : 4;
    if (src == kLayoutPalette) {
        ForEachPixel(job, 1, dstBytes, [&](const uint8_t *s, uint8_t *d) {
            uint32_t entry = PaletteEntryValue(sf, s[0]);
            bool differs = (entry & 0xffffff) != key;
            if (to16) {
                uint32_t alpha = differs ? 0x8000 : ((entry >> 24) & 1) << 15;
                StorePackedPixel(d, 16, Rgb888To555(entry) | alpha);
            } else {
                StorePackedPixel(d, 32, differs ? (entry | 0xff000000u) : entry);
            }
        });
        return true;
    }
    if (src == kLayoutRgb24) {
        ForEachPixel(job, 3, dstBytes, [&](const uint8_t *s, uint8_t *d) {
            uint32_t v = LoadPackedPixel(s, 24);
            bool differs = v != key;
            if (to16)
                StorePackedPixel(d, 16, Rgb888To555(v) | (differs ? 0x8000 : 0));
            else
                StorePackedPixel(d, 32, v | (differs ? 0xff000000u : 0));
        });
        return true;
    }
    if (src == kLayoutRgb565) {
        uint32_t key555 = Rgb888To555(key);
        ForEachPixel(job, 2, dstBytes, [&](const uint8_t *s, uint8_t *d) {
            uint32_t v = LoadPackedPixel(s, 16);
            uint32_t v555 = Rgb565To555(v);
            bool differs = v555 != key555;
            if (to16)
                StorePackedPixel(d, 16, v555 | (differs ? 0x8000 : 0));
            else
                StorePackedPixel(d, 32, Rgb565To888(v) | (differs ? 0xff000000u : 0));
        });
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Shared functions
// ---------------------------------------------------------------------------

bool RunFixedPixelConversion(const PixelConvertJob &job)
{
    FixedLayout src = ClassifyLayout(job.srcFormat);
    FixedLayout dst = ClassifyLayout(job.dstFormat);
    if (src == kLayoutOther || (dst == kLayoutOther && job.dstFormat.bitsPerPixel != 32))
        return false;
    if (job.keyToAlpha)
        return RunKeyedFixedConversion(job, src, dst);
    return RunPlainFixedConversion(job, src, dst);
}

} // namespace Korvo

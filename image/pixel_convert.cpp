// Pixel-format conversion: preparation and the copy paths that need no
// per-channel arithmetic (palette re-map, 8-bit targets, index copy, same
// layout, key skip, key to alpha). The fixed conversions are in
// pixel_convert_fixed.cpp, the per-channel rule in pixel_convert_general.cpp.
#include "image/pixel_convert.h"

#include <cstring>

#include "image/pixel_convert_internal.h"

#if defined(_WIN32)
#include "core/system/window_state.h"
#endif

namespace Korvo {

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

static int g_mmxMode = -1;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool ProcessorHasMmx()
{
#if defined(_WIN32)
    return GetMmxAvailableFlag() != 0;  // recorded from the processor at start-up
#elif defined(__i386__) || defined(__x86_64__)
    return __builtin_cpu_supports("mmx");
#else
    return false;
#endif
}

static uint8_t *DstRow(const PixelConvertJob &job, int dstX, int dstY, int row)
{
    return job.dst + (size_t)(dstY + row) * job.dstPitch + (size_t)dstX * job.dstFormat.bytesPerPixel;
}

// Path 1: indices re-mapped to the nearest colour of the destination palette.
static void RemapPaletteIndices(const PixelConvertJob &job)
{
    uint8_t map[256];
    for (int i = 0; i < 256; i++) {
        const PaletteEntry &e = job.srcFormat.palette[i];
        map[i] = (uint8_t)PackColorInFormat(&job.dstFormat, e.red, e.green, e.blue, 0);
    }
    for (int y = 0; y < job.height; y++) {
        const uint8_t *s = job.src + (size_t)y * job.srcPitch;
        uint8_t *d = job.dst + (size_t)y * job.dstPitch;
        for (int x = 0; x < job.width; x++)
            d[x] = map[s[x]];
    }
}

// Path 2: direct-colour pixels to the nearest entry of an 8-bit destination.
static void ConvertToEightBit(const PixelConvertJob &job)
{
    const ColorFormatDesc &sf = job.srcFormat;
    int bits = sf.bitsPerPixel;
    if (bits != 16 && bits != 24 && bits != 32)
        return;
    int bpp = bits / 8;
    for (int y = 0; y < job.height; y++) {
        const uint8_t *s = job.src + (size_t)y * job.srcPitch;
        uint8_t *d = job.dst + (size_t)y * job.dstPitch;
        for (int x = 0; x < job.width; x++) {
            uint32_t v = LoadPackedPixel(s + x * bpp, bits);
            // Channels narrower than 8 bits are scaled before the palette search.
            int r = (int)ScaleChannelTo8Bits(ChannelOf(v, sf.maskR, sf.shiftR), sf.widthR);
            int g = (int)ScaleChannelTo8Bits(ChannelOf(v, sf.maskG, sf.shiftG), sf.widthG);
            int b = (int)ScaleChannelTo8Bits(ChannelOf(v, sf.maskB, sf.shiftB), sf.widthB);
            int a = (int)ScaleChannelTo8Bits(ChannelOf(v, sf.maskA, sf.shiftA), sf.widthA);
            d[x] = (uint8_t)PackColorInFormat(&job.dstFormat, r, g, b, a);
        }
    }
}

// Path 3: indices copied unchanged; the result is the largest index.
static int CopyIndices(const PixelConvertJob &job)
{
    int largest = 0;
    for (int y = 0; y < job.height; y++) {
        const uint8_t *s = job.src + (size_t)y * job.srcPitch;
        uint8_t *d = job.dst + (size_t)y * job.dstPitch;
        std::memcpy(d, s, (size_t)job.width);
        for (int x = 0; x < job.width; x++)
            if (s[x] > largest)
                largest = s[x];
    }
    return largest;
}

// Path 4: same layout; plain, mirrored or skipping the key colour.
static void CopySameLayout(const PixelConvertJob &job)
{
    int bpp = job.srcFormat.bytesPerPixel;
    int bits = job.srcFormat.bitsPerPixel;
    if (!job.mirror && !job.skipKey) {
        for (int y = 0; y < job.height; y++)
            std::memcpy(job.dst + (size_t)y * job.dstPitch, job.src + (size_t)y * job.srcPitch,
                        (size_t)job.width * bpp);
        return;
    }
    uint32_t key = job.keyColor;
    if (bits == 8)
        key &= 0xff;
    else if (bits == 16)
        key &= 0xffff;
    else if (bits == 24)
        key &= 0xffffff;
    bool comparable = IsDepthSupported(bits);
    for (int y = 0; y < job.height; y++) {
        const uint8_t *s = job.src + (size_t)y * job.srcPitch;
        uint8_t *d = job.dst + (size_t)y * job.dstPitch;
        for (int x = 0; x < job.width; x++) {
            const uint8_t *sp = s + (size_t)x * bpp;
            if (job.skipKey && comparable && LoadPackedPixel(sp, bits) == key)
                continue;
            int dx = job.mirror ? job.width - 1 - x : x;
            std::memcpy(d + (size_t)dx * bpp, sp, (size_t)bpp);
        }
    }
}

// Path 5: XRGB to ARGB, key-coloured pixels left unwritten.
static void CopyXrgbSkippingKey(const PixelConvertJob &job)
{
    uint32_t key = job.keyColor & 0xffffff;
    for (int y = 0; y < job.height; y++) {
        const uint8_t *s = job.src + (size_t)y * job.srcPitch;
        uint8_t *d = job.dst + (size_t)y * job.dstPitch;
        for (int x = 0; x < job.width; x++) {
            uint32_t v = LoadPackedPixel(s + x * 4, 32) & 0xffffff;
            if (v != key)
                StorePackedPixel(d + x * 4, 32, v | 0xff000000u);
        }
    }
}

// Path 6: same colour layout, alpha cleared on key-coloured pixels and set elsewhere.
static void CopyKeyToAlpha(const PixelConvertJob &job)
{
    const ColorFormatDesc &df = job.dstFormat;
    int bits = df.bitsPerPixel;
    int bpp = df.bytesPerPixel;
    int kr = (int)((job.keyColor >> 16) & 0xff), kg = (int)((job.keyColor >> 8) & 0xff), kb = (int)(job.keyColor & 0xff);
    uint32_t key = PackColorInFormat(&df, kr, kg, kb, 255);
    uint32_t outside = ~(df.maskR | df.maskG | df.maskB);
    for (int y = 0; y < job.height; y++) {
        const uint8_t *s = job.src + (size_t)y * job.srcPitch;
        uint8_t *d = job.dst + (size_t)y * job.dstPitch;
        for (int x = 0; x < job.width; x++) {
            uint32_t v = LoadPackedPixel(s + (size_t)x * bpp, bits);
            if (bits == 32)
                v |= outside;
            v = (v == key) ? (v & ~df.maskA) : (v | df.maskA);
            int dx = job.mirror ? job.width - 1 - x : x;
            StorePackedPixel(d + (size_t)dx * bpp, bits, v);
        }
    }
}

static bool IsXrgb888(const ColorFormatDesc &f)
{
    return f.bitsPerPixel == 32 && f.maskR == 0xff0000 && f.maskG == 0xff00 && f.maskB == 0xff;
}

// ---------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------

bool PixelConvertUsesMmx()
{
    if (g_mmxMode >= 0)
        return g_mmxMode == 1;
    return ProcessorHasMmx();
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Choose the MMX or the plain form of the 5-6-5 / 5-5-5 conversions
int SetPixelConvertMmxMode(int mode)
{
    g_mmxMode = mode < 0 ? -1 : (mode ? 1 : 0);
    return 0;
}

// Copy and convert a rectangle between two formats
int ConvertPixelBlock(void *dstPixels, int dstPitch, const ColorFormatDesc *dstFormat, const void *srcPixels,
                      int srcPitch, const ColorFormatDesc *srcFormat, const void *alphaPixels, int alphaPitch,
                      const ColorFormatDesc *alphaFormat, int dstX, int dstY, const RECT *srcRect, int mirror,
                      int keyToAlpha, uint32_t keyColor, int ditherMode, int alphaOnly, int redAsAlpha, int skipKey,
                      int paletteRemap)
{
    PixelConvertJob job;
    job.dstFormat = *dstFormat;
    job.srcFormat = *srcFormat;
    bool alphaGiven = alphaPixels != nullptr && alphaFormat != nullptr;
    if (alphaGiven)
        job.alphaFormat = *alphaFormat;
    else
        std::memset(&job.alphaFormat, 0, sizeof(job.alphaFormat));

    const ColorFormatDesc &df = job.dstFormat;
    const ColorFormatDesc &sf = job.srcFormat;
    job.alphaProduced = df.widthA != 0 && (alphaGiven || sf.widthA != 0);
    job.alphaFromImage = df.widthA != 0 && alphaGiven && sf.widthA == 0;
    if (job.alphaProduced || df.widthA == 0 || redAsAlpha == 1)
        keyToAlpha = 0;
    if (mirror)
        skipKey = 0;

    int width = srcRect->right - srcRect->left;
    int height = srcRect->bottom - srcRect->top;
    if (width <= 0 || height <= 0)
        return -1;

    job.width = width;
    job.height = height;
    job.mirror = mirror;
    job.keyToAlpha = keyToAlpha;
    job.keyColor = keyColor;
    job.ditherMode = ditherMode;
    job.alphaOnly = alphaOnly;
    job.redAsAlpha = redAsAlpha;
    job.skipKey = skipKey;
    job.srcPitch = srcPitch;
    job.dstPitch = dstPitch;
    job.alphaPitch = alphaPitch;
    job.src = (const uint8_t *)srcPixels + (size_t)srcRect->top * srcPitch + (size_t)srcRect->left * sf.bytesPerPixel;
    job.alpha = alphaGiven ? (const uint8_t *)alphaPixels + (size_t)srcRect->top * alphaPitch +
                                 (size_t)srcRect->left * job.alphaFormat.bytesPerPixel
                           : nullptr;
    job.dst = (uint8_t *)dstPixels;
    job.dst = DstRow(job, dstX, dstY, 0);

    bool bothIndexed = df.bytesPerPixel == 1 && sf.bytesPerPixel == 1;
    if (paletteRemap && bothIndexed && !mirror && std::memcmp(df.palette, sf.palette, sizeof(df.palette)) != 0) {
        RemapPaletteIndices(job);
        return 0;
    }
    if (df.bitsPerPixel == 8 && sf.bitsPerPixel != 8 && !redAsAlpha && !mirror) {
        ConvertToEightBit(job);
        return 0;
    }
    if (df.bitsPerPixel == 8 && sf.bitsPerPixel == 8 && !alphaOnly && !skipKey && !redAsAlpha && !mirror)
        return CopyIndices(job);

    bool sameMasks = df.maskR == sf.maskR && df.maskG == sf.maskG && df.maskB == sf.maskB;
    if (!keyToAlpha && !job.alphaFromImage && !alphaOnly && !redAsAlpha && df.bitsPerPixel == sf.bitsPerPixel &&
        sameMasks && df.maskA == sf.maskA && df.bytesPerPixel == sf.bytesPerPixel) {
        CopySameLayout(job);
        return 0;
    }
    if (skipKey == 1 && !alphaOnly && !redAsAlpha && !keyToAlpha && !job.alphaProduced && !mirror && IsXrgb888(sf) &&
        sf.maskA == 0 && IsXrgb888(df) && df.maskA == 0xff000000u) {
        CopyXrgbSkippingKey(job);
        return 0;
    }
    if (df.widthA != 0 && keyToAlpha == 1 && skipKey != 1 && !alphaOnly && !redAsAlpha &&
        df.bitsPerPixel == sf.bitsPerPixel && sameMasks && IsDepthSupported(df.bitsPerPixel)) {
        CopyKeyToAlpha(job);
        return 0;
    }
    if (!ditherMode && !alphaOnly && !redAsAlpha && !mirror && !alphaGiven && RunFixedPixelConversion(job))
        return 0;
    return RunGeneralPixelConversion(job);
}

} // namespace Korvo

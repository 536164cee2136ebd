// Pixel-format conversion: the per-channel rule that handles every layout pair
// the other paths do not, with channel scaling, ordered or carried dithering,
// colour keys and alpha taken from the source, an alpha image or the red channel.
#include "image/pixel_convert_internal.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

// 4x4 ordered-dither matrix, indexed by (column & 3) + 4 * (row & 3).
static const uint8_t kBayerMatrix[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// How one channel is carried from the source to the destination.
struct ChannelPlan {
    int reduction;       // source width - destination width
    uint32_t sourceMax;  // source mask >> source shift
    uint32_t destMax;    // destination mask >> destination shift
    uint32_t remainder;  // carried remainder of dither mode 2
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static uint32_t MaxOf(uint32_t mask, int shift)
{
    return shift >= 32 ? 0 : mask >> shift;
}

static ChannelPlan MakePlan(int sourceWidth, uint32_t sourceMask, int sourceShift, int destWidth, uint32_t destMask,
                            int destShift)
{
    ChannelPlan plan;
    plan.reduction = sourceWidth - destWidth;
    plan.sourceMax = MaxOf(sourceMask, sourceShift);
    plan.destMax = MaxOf(destMask, destShift);
    plan.remainder = 0;
    return plan;
}

// Scaling of one value by the plan; wider sources drop low bits, narrower ones fill them.
static uint32_t ScaleValue(uint32_t value, const ChannelPlan &plan)
{
    int d = plan.reduction;
    if (d > 0)
        return d >= 32 ? 0 : value >> d;
    if (d < 0) {
        int up = -d;
        if (up >= 32 || plan.sourceMax == 0)
            return 0;
        uint64_t fill = (uint64_t)value * ((1ull << up) - 1) / plan.sourceMax;
        return (uint32_t)(((uint64_t)value << up) + fill);
    }
    return value;
}

// Dithering of a reduced channel: one destination unit added when the dropped bits call for it.
static uint32_t DitherValue(uint32_t scaled, uint32_t sourceValue, ChannelPlan &plan, int mode, int matrixEntry)
{
    int d = plan.reduction;
    if (d <= 0 || d >= 32 || mode == 0)
        return scaled;
    uint32_t droppedMax = (1u << d) - 1;
    uint32_t dropped = sourceValue & droppedMax;
    if (mode == 1) {
        uint32_t threshold = (uint32_t)(((uint64_t)droppedMax + 1) * (uint32_t)matrixEntry >> 4);
        if (threshold < dropped)
            scaled++;
    } else if (mode == 2) {
        plan.remainder += dropped;
        if (plan.remainder > droppedMax) {
            scaled++;
            plan.remainder &= droppedMax;
        }
    }
    // A carried unit never wraps a full channel around to zero.
    return scaled > plan.destMax ? plan.destMax : scaled;
}

static uint32_t PlaceChannel(uint32_t value, uint32_t mask, int shift)
{
    return shift >= 32 ? 0 : (value << shift) & mask;
}

// ---------------------------------------------------------------------------
// Shared functions
// ---------------------------------------------------------------------------

int RunGeneralPixelConversion(const PixelConvertJob &job)
{
    const ColorFormatDesc &sf = job.srcFormat;
    const ColorFormatDesc &df = job.dstFormat;
    const ColorFormatDesc &af = job.alphaFormat;
    if (!IsDepthSupported(sf.bitsPerPixel) || !IsDepthSupported(df.bitsPerPixel))
        return -1;
    if (job.alphaFromImage && !IsDepthSupported(af.bitsPerPixel))
        return -1;

    bool scaling = sf.widthR != df.widthR || sf.widthG != df.widthG || (job.alphaFromImage && af.widthR != df.widthA);
    ChannelPlan red = MakePlan(sf.widthR, sf.maskR, sf.shiftR, df.widthR, df.maskR, df.shiftR);
    ChannelPlan green = MakePlan(sf.widthG, sf.maskG, sf.shiftG, df.widthG, df.maskG, df.shiftG);
    ChannelPlan blue = MakePlan(sf.widthB, sf.maskB, sf.shiftB, df.widthB, df.maskB, df.shiftB);
    ChannelPlan alpha = job.alphaFromImage ? MakePlan(af.widthR, af.maskR, af.shiftR, df.widthA, df.maskA, df.shiftA)
                                           : MakePlan(sf.widthA, sf.maskA, sf.shiftA, df.widthA, df.maskA, df.shiftA);
    uint32_t destAlphaMax = MaxOf(df.maskA, df.shiftA);
    uint32_t sourceMasks = sf.maskR | sf.maskG | sf.maskB | sf.maskA;

    uint32_t key = job.keyColor;
    uint32_t keyR = 0, keyG = 0, keyB = 0;
    if (!job.keyToAlpha) {
        if (sf.bitsPerPixel == 8)
            key &= 0xff;
        else if (sf.bitsPerPixel == 16)
            key &= 0xffff;
        else if (sf.bitsPerPixel == 24)
            key &= 0xffffff;
        if (sf.bitsPerPixel != 8)
            key &= sourceMasks;
    } else {
        uint32_t packed = PackColorInFormat(&sf, (int)((key >> 16) & 0xff), (int)((key >> 8) & 0xff),
                                            (int)(key & 0xff), 255);
        uint32_t keyValue = sf.bitsPerPixel == 8 ? PaletteEntryValue(sf, (int)packed) : packed;
        keyR = ChannelOf(keyValue, sf.maskR, sf.shiftR);
        keyG = ChannelOf(keyValue, sf.maskG, sf.shiftG);
        keyB = ChannelOf(keyValue, sf.maskB, sf.shiftB);
    }

    int srcBytes = sf.bitsPerPixel / 8;
    int dstBytes = df.bitsPerPixel / 8;
    int alphaBytes = job.alphaFromImage ? af.bitsPerPixel / 8 : 0;
    for (int y = 0; y < job.height; y++) {
        const uint8_t *s = job.src + (size_t)y * job.srcPitch;
        const uint8_t *a = job.alphaFromImage ? job.alpha + (size_t)y * job.alphaPitch : nullptr;
        uint8_t *d = job.dst + (size_t)y * job.dstPitch;
        for (int x = 0; x < job.width; x++) {
            uint32_t v = LoadSourceValue(sf, s + (size_t)x * srcBytes);
            if (job.skipKey) {
                uint32_t compared = sf.bitsPerPixel == 8 ? v : (v & sourceMasks);
                if (compared == key)
                    continue;
            }
            uint32_t r = ChannelOf(v, sf.maskR, sf.shiftR);
            uint32_t g = ChannelOf(v, sf.maskG, sf.shiftG);
            uint32_t b = ChannelOf(v, sf.maskB, sf.shiftB);
            uint32_t alphaSource = 0;  // unscaled alpha value, for dithering
            uint32_t al;
            bool scaleAlpha = false;
            if (job.keyToAlpha) {
                al = (r == keyR && g == keyG && b == keyB) ? 0 : destAlphaMax;
            } else if (job.redAsAlpha) {
                al = r;
            } else if (job.alphaFromImage) {
                uint32_t av = LoadSourceValue(af, a + (size_t)x * alphaBytes);
                al = alphaSource = ChannelOf(av, af.maskR, af.shiftR);
                scaleAlpha = true;
            } else if (sf.widthA == 0) {
                al = destAlphaMax;
            } else if (df.maskA == 0) {
                al = 0;
            } else {
                al = alphaSource = ChannelOf(v, sf.maskA, sf.shiftA);
                scaleAlpha = true;
            }

            if (scaling) {
                int entry = kBayerMatrix[(x & 3) + 4 * (y & 3)];
                uint32_t rs = DitherValue(ScaleValue(r, red), r, red, job.ditherMode, entry);
                uint32_t gs = DitherValue(ScaleValue(g, green), g, green, job.ditherMode, entry);
                uint32_t bs = DitherValue(ScaleValue(b, blue), b, blue, job.ditherMode, entry);
                r = rs;
                g = gs;
                b = bs;
                if (scaleAlpha)
                    al = DitherValue(ScaleValue(al, alpha), alphaSource, alpha, job.ditherMode, entry);
            }
            if (job.alphaOnly)
                r = g = b = 0;

            uint32_t out = PlaceChannel(r, df.maskR, df.shiftR) | PlaceChannel(g, df.maskG, df.shiftG) |
                           PlaceChannel(b, df.maskB, df.shiftB) | PlaceChannel(al, df.maskA, df.shiftA);
            if (df.bitsPerPixel == 16 || df.bitsPerPixel == 32)
                out |= df.unusedMask;
            int dx = job.mirror ? job.width - 1 - x : x;
            StorePackedPixel(d + (size_t)dx * dstBytes, df.bitsPerPixel, out);
        }
    }
    return 0;
}

} // namespace Korvo

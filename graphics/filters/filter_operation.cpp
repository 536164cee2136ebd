// Type tables, parameter decoding, clipping and the CPU pass dispatch of the
// graph filters.

#include "graphics/filters/filter_operation.h"

#include "graphics/public_api.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static const int kFilterPassCounts[GRAPH_FILTER_TYPE_COUNT] = {1, 2, 1, 1, 2, 1, 1, 1, 1, 1};
// Gauss and DownScale sample neighbours of the texel they write; a pass of either
// cannot render into the texture it reads.
static const int kFilterSamplesNeighbours[GRAPH_FILTER_TYPE_COUNT] = {0, 1, 1, 0, 0, 0, 0, 0, 0, 0};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// A screen colour and an alpha as four 0..1 floats
static void DecodeScreenColour(int colour, int alpha, float *out)
{
    int r = 0, g = 0, b = 0;
    UnpackScreenColor(colour, &r, &g, &b);
    out[0] = static_cast<float>(r) / 255.0f;
    out[1] = static_cast<float>(g) / 255.0f;
    out[2] = static_cast<float>(b) / 255.0f;
    out[3] = static_cast<float>(alpha) / 255.0f;
}

static float Percent255(int value)
{
    return static_cast<float>(value) * 100.0f / 255.0f;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int IsFilterTypeKnown(int blendFlag, int type)
{
    const int count = blendFlag != 0 ? static_cast<int>(GRAPH_BLEND_TYPE_COUNT) : static_cast<int>(GRAPH_FILTER_TYPE_COUNT);
    return type >= 0 && type < count ? 1 : 0;
}

int FilterPassCount(int blendFlag, int type, const FilterParameters &params)
{
    if (blendFlag != 0 || IsFilterTypeKnown(0, type) == 0) {
        return 1;
    }
    if (type == GRAPH_FILTER_HSB && params.ints[0] == 1) {
        return 1;
    }
    return kFilterPassCounts[type];
}

int FilterNeedsSeparateTarget(int blendFlag, int type, const FilterParameters &params)
{
    if (blendFlag != 0 || IsFilterTypeKnown(0, type) == 0) {
        return 0;
    }
    // A later pass reads what an earlier one wrote: rendering those in place would
    // leave half-converted pixels behind whenever a later pass fails.
    return kFilterSamplesNeighbours[type] != 0 || FilterPassCount(blendFlag, type, params) > 1 ? 1 : 0;
}

int FilterKeepsUnwrittenPixels(int blendFlag, int type)
{
    return blendFlag == 0 && type == GRAPH_FILTER_BRIGHT_CLIP ? 1 : 0;
}

int RgbaMixDrawExchangesGraphs(const int *selectors)
{
    const int *s = selectors;
    if (s[0] < 4 || s[1] < 4 || s[2] < 4) {
        return 0;
    }
    // All four from the blend graph, or its colours with a source alpha where a
    // named shader takes them the other way round.
    const bool sameColour = s[0] == s[1] && s[1] == s[2] && s[0] != 7;
    const bool ownColours = s[0] == 4 && s[1] == 5 && s[2] == 6;
    return s[3] >= 4 || sameColour || ownColours ? 1 : 0;
}

int DecodeFilterParameters(int blendFlag, int type, const int *list, FilterParameters *out)
{
    *out = FilterParameters{};
    if (blendFlag != 0) {
        if (type == GRAPH_BLEND_RGBA_MIX) {
            for (int c = 0; c < 4; ++c) {
                out->ints[c] = list[c];
            }
        }
        return 0;
    }
    switch (type) {
    case GRAPH_FILTER_MONO:
        out->floats[0] = Percent255(list[0]);
        out->floats[1] = Percent255(list[1]);
        break;
    case GRAPH_FILTER_GAUSS:
        out->ints[0] = list[0];
        out->floats[0] = static_cast<float>(list[1]) / 100.0f;
        break;
    case GRAPH_FILTER_DOWN_SCALE:
        out->ints[0] = DownScaleDivisor(list[0]);
        if (out->ints[0] < 0) {
            return -1;
        }
        break;
    case GRAPH_FILTER_BRIGHT_CLIP:
        out->ints[0] = list[0];
        out->floats[0] = static_cast<float>(list[1]);
        out->ints[1] = list[2];
        if (list[2] != 0) {
            DecodeScreenColour(list[3], list[4], &out->floats[1]);
        }
        break;
    case GRAPH_FILTER_HSB:
        out->ints[0] = list[0];
        out->floats[0] = static_cast<float>(list[1]);
        out->floats[1] = Percent255(list[2]);
        out->floats[2] = Percent255(list[3]);
        break;
    case GRAPH_FILTER_LEVEL:
        out->floats[0] = static_cast<float>(list[0]);
        out->floats[1] = static_cast<float>(list[1]);
        out->floats[2] = static_cast<float>(list[2]) / 100.0f;
        out->floats[3] = static_cast<float>(list[3]);
        out->floats[4] = static_cast<float>(list[4]);
        break;
    case GRAPH_FILTER_TWO_COLOR:
        out->floats[0] = static_cast<float>(list[0]);
        DecodeScreenColour(list[1], list[2], &out->floats[1]);
        DecodeScreenColour(list[3], list[4], &out->floats[5]);
        break;
    case GRAPH_FILTER_GRADIENT_MAP:
        out->ints[0] = list[0];
        out->ints[1] = list[1];
        break;
    default:
        break;
    }
    return 0;
}

int FilterOutputDivisor(int blendFlag, int type, const FilterParameters &params)
{
    return blendFlag == 0 && type == GRAPH_FILTER_DOWN_SCALE ? params.ints[0] : 1;
}

int ClipFilterRects(FilterRects *r, int sourceWidth, int sourceHeight, int destWidth, int destHeight, int divisor)
{
    if (r->x1 < 0) {
        r->blendX -= r->x1;
        r->destX -= r->x1;
        r->x1 = 0;
    }
    if (r->y1 < 0) {
        r->blendY -= r->y1;
        r->destY -= r->y1;
        r->y1 = 0;
    }
    if (r->destX < 0) {
        r->blendX -= r->destX;
        r->x1 -= r->destX;
        r->destX = 0;
    }
    if (r->destY < 0) {
        r->blendY -= r->destY;
        r->y1 -= r->destY;
        r->destY = 0;
    }
    if (r->x2 <= r->x1 || r->y2 <= r->y1) {
        return 0;
    }
    r->x2 = r->x2 < sourceWidth ? r->x2 : sourceWidth;
    r->y2 = r->y2 < sourceHeight ? r->y2 : sourceHeight;
    if (r->x1 >= sourceWidth || r->y1 >= sourceHeight || r->x2 <= 0 || r->y2 <= 0 || r->destX >= destWidth ||
        r->destY >= destHeight) {
        return 0;
    }
    int w = r->x2 - r->x1;
    int h = r->y2 - r->y1;
    if (w <= 0 || h <= 0) {
        return 0;
    }
    if (w / divisor + r->destX > destWidth) {
        w = (destWidth - r->destX) * divisor;
    }
    if (h / divisor + r->destY > destHeight) {
        h = (destHeight - r->destY) * divisor;
    }
    if (w <= 0 || h <= 0) {
        return 0;
    }
    // Every later step reads the far corner; keep it in step with the clipped size.
    r->x2 = r->x1 + w;
    r->y2 = r->y1 + h;
    return 1;
}

int RunCpuFilterPass(int blendFlag, int type, const FilterParameters &params, float ratio, const RasterImage &src,
                     const RasterImage *blend, RasterImage &out, const uint32_t *gradient)
{
    const float *f = params.floats;
    if (blendFlag != 0) {
        if (blend == nullptr) {
            return -1;
        }
        return type == GRAPH_BLEND_RGBA_MIX ? RgbaMixPixels(src, *blend, out, params.ints)
                                            : BasicBlendPixels(src, *blend, out, type, ratio);
    }
    switch (type) {
    case GRAPH_FILTER_MONO: return MonoPixels(src, out, f[0], f[1]);
    case GRAPH_FILTER_GAUSS: return GaussBlurPixels(src, out, params.ints[0], f[0]);
    case GRAPH_FILTER_DOWN_SCALE: return DownScalePixels(src, out, params.ints[0]);
    case GRAPH_FILTER_BRIGHT_CLIP:
        return BrightClipPixels(src, out, params.ints[0], f[0], params.ints[1], params.ints[1] != 0 ? &f[1] : nullptr);
    case GRAPH_FILTER_HSB: return HsbPixels(src, out, params.ints[0], f[0], f[1], f[2]);
    case GRAPH_FILTER_INVERT: return InvertPixels(src, out);
    case GRAPH_FILTER_LEVEL: return LevelPixels(src, out, f[0], f[1], f[2], f[3], f[4]);
    case GRAPH_FILTER_TWO_COLOR: return TwoColorPixels(src, out, f[0], &f[1], &f[5]);
    case GRAPH_FILTER_GRADIENT_MAP: return gradient != nullptr ? GradientMapPixels(src, out, gradient) : -1;
    case GRAPH_FILTER_PREMUL_ALPHA: return PremultiplyAlphaPixels(src, out);
    default: return -1;
    }
}

} // namespace Korvo

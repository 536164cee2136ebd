// The device-independent parts of a graph filter operation: the type tables,
// the decoding of the caller's parameter list, the clipping of the rectangles
// and the CPU pass that runs the per-pixel routine of a filter or blend.
#pragma once

#include "graphics/filters/filter_pixels.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

enum GraphFilterType {
    GRAPH_FILTER_MONO = 0,
    GRAPH_FILTER_GAUSS = 1,
    GRAPH_FILTER_DOWN_SCALE = 2,
    GRAPH_FILTER_BRIGHT_CLIP = 3,
    GRAPH_FILTER_HSB = 4,
    GRAPH_FILTER_INVERT = 5,
    GRAPH_FILTER_LEVEL = 6,
    GRAPH_FILTER_TWO_COLOR = 7,
    GRAPH_FILTER_GRADIENT_MAP = 8,
    GRAPH_FILTER_PREMUL_ALPHA = 9,
    GRAPH_FILTER_TYPE_COUNT = 10,
};

enum GraphBlendType {
    GRAPH_BLEND_NORMAL = 0,
    GRAPH_BLEND_RGBA_MIX = 1,
    GRAPH_BLEND_MULTIPLE = 2,
    GRAPH_BLEND_DIFFERENCE = 3,
    GRAPH_BLEND_ADD = 4,
    GRAPH_BLEND_SCREEN = 5,
    GRAPH_BLEND_OVERLAY = 6,
    GRAPH_BLEND_DODGE = 7,
    GRAPH_BLEND_BURN = 8,
    GRAPH_BLEND_DARKEN = 9,
    GRAPH_BLEND_LIGHTEN = 10,
    GRAPH_BLEND_SOFT_LIGHT = 11,
    GRAPH_BLEND_HARD_LIGHT = 12,
    GRAPH_BLEND_EXCLUSION = 13,
    GRAPH_BLEND_NORMAL_ALPHA_CH = 14,
    GRAPH_BLEND_ADD_ALPHA_CH = 15,
    GRAPH_BLEND_MULTIPLE_A_ONLY = 16,
    GRAPH_BLEND_TYPE_COUNT = 17,
};

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// The values a pass routine receives, decoded from the caller's i32 list.
struct FilterParameters {
    int ints[4];      // Gauss width; DownScale divisor; BrightClip comparison, fill flag;
                      // HSB mode; GradientMap graph, reverse flag; RGBAMix selectors
    float floats[9];  // per filter, in the order of its parameter list
};

// The rectangles of one operation (x2, y2 exclusive) and where they land.
struct FilterRects {
    int x1, y1, x2, y2;
    int blendX, blendY;
    int destX, destY;
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Whether a type exists: 0..9 for filters, 0..16 for blends
int IsFilterTypeKnown(int blendFlag, int type);
// Shader passes of a type (HSB: by its mode)
int FilterPassCount(int blendFlag, int type, const FilterParameters &params);
// Whether the type's shader passes need a target apart from their source: all
// but one-pass filters and blends that read nothing but the texel they write
int FilterNeedsSeparateTarget(int blendFlag, int type, const FilterParameters &params);
// Whether the type may leave pixels of its rectangle unwritten (BrightClip), so
// that what it writes into must start as the destination's pixels
int FilterKeepsUnwrittenPixels(int blendFlag, int type);
// Whether RGBAMix picks make its shader draw exchange source and blend graph
// (every colour from the blend graph): the source is then read through the
// blend graph's stage, at the blend position; 1 or 0
int RgbaMixDrawExchangesGraphs(const int *selectors);
// Decode the caller's list; -1 for a value the filter refuses (DownScale divisor <= 0)
int DecodeFilterParameters(int blendFlag, int type, const int *list, FilterParameters *out);
// The divisor the output is shrunk by: DownScale's, else 1
int FilterOutputDivisor(int blendFlag, int type, const FilterParameters &params);
// Clip the rectangles to source and destination sizes; 1 when something is left
// (the far corner then matches the clipped size), 0 when nothing is
int ClipFilterRects(FilterRects *rects, int sourceWidth, int sourceHeight, int destWidth, int destHeight,
                    int divisor);
// Run the CPU routine of a type; gradient (256 entries) for GradientMap, blend image for blends
int RunCpuFilterPass(int blendFlag, int type, const FilterParameters &params, float ratio, const RasterImage &src,
                     const RasterImage *blend, RasterImage &out, const uint32_t *gradient);

} // namespace Korvo

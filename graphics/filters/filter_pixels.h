// The CPU road of the graph filters: per-pixel routines on 32-bit ARGB images
// (bytes blue, green, red, alpha in memory), in fixed-point integer arithmetic.
// Portable: they know nothing of graphs or the device, so they run in the host
// build, under the sanitizers and in the benchmarks.
//
// Every routine reads src (and blend) and writes out; all images are at least
// as large as out unless a routine says otherwise. Results 0, or -1 for a
// parameter the routine refuses or a failed allocation.
#pragma once

#include "image/public_api.h"

#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Luminance weights in units of 1/4096 (0.299, 0.587, 0.114, truncated).
constexpr int kLumaRed = 1224;
constexpr int kLumaGreen = 2404;
constexpr int kLumaBlue = 466;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// Separable Gauss weights, kept while the parameter and width class stay put.
struct GaussWeightTable {
    float weights[16];
    int widthClass;     // 8, 16 or 32; 0 before the first use
    float parameter;
};

// Gamma curve of the Level filter (256 entries) and the gamma it was built for.
struct LevelGammaTable {
    int32_t entries[256];
    float gamma;
};

extern GaussWeightTable GaussWeights;
extern LevelGammaTable LevelGammaCpu;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Pixel (x, y) of an ARGB image
inline uint8_t *FilterPixelAt(const RasterImage &image, int x, int y)
{
    return static_cast<uint8_t *>(image.pixels) + static_cast<intptr_t>(y) * image.pitch + x * 4;
}

// Luminance of a pixel in units of 1/4096
inline int FilterLuma(const uint8_t *bgra)
{
    return kLumaRed * bgra[2] + kLumaGreen * bgra[1] + kLumaBlue * bgra[0];
}

// Truncate toward zero, as every float-to-integer step of the filters does
inline int TruncateToInt(float v)
{
    return static_cast<int>(v);
}

// Gauss: the width class of a requested pixel width (8, 16 or 32)
int GaussWidthClass(int pixelWidth);
// Recompute the weights when the parameter moved by more than 0.0002 or the class changed
void UpdateGaussWeights(int widthClass, float parameter);
// Horizontal then vertical blur of src into out (same size); parameter below 1e-7 copies.
// -1 when the intermediate image cannot be allocated (out untouched)
int GaussBlurPixels(const RasterImage &src, RasterImage &out, int pixelWidth, float parameter);

// Mono from chroma Cb, Cr as decoded (caller's value * 100 / 255)
int MonoPixels(const RasterImage &src, RasterImage &out, float cb, float cr);
// The divisor DownScale uses for a parameter (2, 4 or 8); -1 for a parameter <= 0
int DownScaleDivisor(int parameter);
// Mean of each divisor x divisor block; out is (src width / d) x (src height / d)
int DownScalePixels(const RasterImage &src, RasterImage &out, int divisor);
// BrightClip: comparison 2 (less) or 5 (greater); fill colour (four 0..1 floats) or null.
// out holds the destination's pixels on entry; pixels not clipped and not filled keep them
int BrightClipPixels(const RasterImage &src, RasterImage &out, int comparison, float clip, int fill,
                     const float *fillColour);
// HSB: mode 0 hue shift, 1 fixed hue; hue in degrees; saturation, brightness as decoded
int HsbPixels(const RasterImage &src, RasterImage &out, int mode, float hue, float saturation, float brightness);
// Red, green and blue become 255 - c
int InvertPixels(const RasterImage &src, RasterImage &out);

// Level: input range, gamma (1.0 = straight), output range, all 0..255 but gamma
int LevelPixels(const RasterImage &src, RasterImage &out, float inMin, float inMax, float gamma, float outMin,
                float outMax);
// Fill a gamma table: entry i = pow(i/255, 1/gamma) * 255, at most 255
void BuildLevelGammaEntries(float gamma, int32_t *entries);
// TwoColor: colour 1 below the threshold (0..255), colour 2 at or above; colours as four 0..1 floats
int TwoColorPixels(const RasterImage &src, RasterImage &out, float threshold, const float *colour1,
                   const float *colour2);
// The 256 gradient entries taken from the first row of a gradient image
int BuildGradientTable(const RasterImage &gradient, int reverse, uint32_t *table);
// Every pixel becomes the gradient entry of its luminance
int GradientMapPixels(const RasterImage &src, RasterImage &out, const uint32_t *table);
// Colour channels multiplied by alpha
int PremultiplyAlphaPixels(const RasterImage &src, RasterImage &out);

// Graph-blend types 0 and 2..16 with ratio 0.0..1.0
int BasicBlendPixels(const RasterImage &src, const RasterImage &blend, RasterImage &out, int type, float ratio);
// RGBAMix: each output channel (red, green, blue, alpha) picks a byte: 0..3 source R, G, B, A; 4..7 blend's
int RgbaMixPixels(const RasterImage &src, const RasterImage &blend, RasterImage &out, const int *selectors);

} // namespace Korvo

// Making a model texture's images from its files: decoding, height map to
// normal map, power-of-two sizes, top-to-bottom mirroring and matching sizes.

#include "core/math/float_math.h"
#include "core/math/vector_math.h"
#include "core/memory/tracked_alloc.h"
#include "graphics/device/graphics_state.h"
#include "image/image_loaders.h"
#include "image/pixel_access.h"
#include "model/model_module.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr float kMinBumpScale = 0.000001f;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool IsPowerOfTwo(int value)
{
    return value > 0 && (value & (value - 1)) == 0;
}

// The next power of two, limited to half the device's largest side (when known).
static int TextureSide(int side, int deviceMax)
{
    int target = 1;
    while (target < side && target < 0x40000000) {
        target <<= 1;
    }
    if (deviceMax >= 2) {
        target = std::min(target, deviceMax / 2);
    }
    return target;
}

// Replace an image by a bilinear scaling of it to width x height.
static int ScaleImageTo(RasterImage *image, int width, int height)
{
    RasterImage scaled = {};
    if (AllocArgb32Image(width, height, &scaled) != 0) {
        return -1;
    }
    if (ScaleBlitImageRect(0, 0, image->width, image->height, image, 0, 0, width, height, &scaled, 1) != 0) {
        FreeImageRecord(&scaled);
        return -1;
    }
    FreeImageRecord(image);
    *image = scaled;
    return 0;
}

static void MirrorImageTopToBottom(RasterImage *image)
{
    unsigned char *pixels = static_cast<unsigned char *>(image->pixels);
    for (int top = 0, bottom = image->height - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(pixels + static_cast<ptrdiff_t>(top) * image->pitch,
                         pixels + static_cast<ptrdiff_t>(top + 1) * image->pitch,
                         pixels + static_cast<ptrdiff_t>(bottom) * image->pitch);
    }
}

// A side that is not a power of two is scaled to one; every image is mirrored
// when asked, whether or not it was scaled.
static int FitImageToTexture(RasterImage *image, int mirror)
{
    if (ExpandDxtImageToArgb32(image) != 0) {
        return -1;
    }
    if (!IsPowerOfTwo(image->width) || !IsPowerOfTwo(image->height)) {
        if (ScaleImageTo(image, TextureSide(image->width, DeviceCaps.maxTextureWidth),
                         TextureSide(image->height, DeviceCaps.maxTextureHeight)) != 0) {
            return -1;
        }
    }
    if (mirror != 0) {
        MirrorImageTopToBottom(image);
    }
    return 0;
}

static int MakeWhiteImage(int width, int height, RasterImage *out)
{
    if (AllocXrgb32Image(width, height, out) != 0) {
        return -1;
    }
    std::memset(out->pixels, 255, static_cast<size_t>(out->pitch) * static_cast<size_t>(out->height));
    return 0;
}

static int FailPreparing(RasterImage *color, RasterImage *alpha)
{
    FreeImageRecord(color);
    FreeImageRecord(alpha);
    return -1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Heights are read from the red channel of the whole map before any pixel is
// written, so the wrapped neighbours of the last column and row are heights too.
int ConvertHeightMapToNormalMap(RasterImage *image, float scale)
{
    const int width = image->width;
    const int height = image->height;
    if (width < 1 || height < 1) {
        return -1;
    }
    unsigned char *heights =
        static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(width) * static_cast<size_t>(height)));
    RasterImage normals = {};
    if (heights == nullptr || AllocXrgb32Image(width, height, &normals) != 0) {
        TrackedFree(heights);
        return -1;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int red = 0;
            ReadImagePixelRgba(image, x, y, &red, nullptr, nullptr, nullptr);
            heights[static_cast<size_t>(y) * width + x] = static_cast<unsigned char>(red);
        }
    }
    scale = std::max(scale, kMinBumpScale);
    for (int y = 0; y < height; ++y) {
        const unsigned char *row = heights + static_cast<size_t>(y) * width;
        const unsigned char *below = heights + static_cast<size_t>((y + 1) % height) * width;
        for (int x = 0; x < width; ++x) {
            float sx = static_cast<float>(row[(x + 1) % width] - row[x]) / 255.0f;
            float sy = static_cast<float>(below[x] - row[x]) / 255.0f;
            XyzVector n = NormalizeXyzVectorValue(XyzVector{-scale * sx, -scale * sy, scale * scale});
            WriteImagePixelRgba(&normals, x, y, TruncateFloatToInt((n.x + 1.0f) * 127.5f),
                                TruncateFloatToInt((n.y + 1.0f) * 127.5f), TruncateFloatToInt((n.z + 1.0f) * 127.5f), 0);
        }
    }
    TrackedFree(heights);
    FreeImageRecord(image);
    *image = normals;
    return 0;
}

int PrepareModelTextureImages(RasterImage *colorOut, RasterImage *alphaOut, const void *colorFile, int colorSize,
                              const void *alphaFile, int alphaSize, int bumpMap, float bumpScale, int mirror)
{
    *colorOut = RasterImage{};
    *alphaOut = RasterImage{};
    if (colorFile == nullptr && alphaFile == nullptr) {
        return -1;
    }
    if (colorFile != nullptr && LoadImageRecord(nullptr, colorFile, colorSize, 1, colorOut, 0) != 0) {
        return FailPreparing(colorOut, alphaOut);
    }
    if (alphaFile != nullptr && LoadImageRecord(nullptr, alphaFile, alphaSize, 1, alphaOut, 0) != 0) {
        return FailPreparing(colorOut, alphaOut);
    }
    bool hasAlpha = alphaFile != nullptr;
    if (colorFile == nullptr && MakeWhiteImage(alphaOut->width, alphaOut->height, colorOut) != 0) {
        return FailPreparing(colorOut, alphaOut);
    }
    if (bumpMap != 0 && ConvertHeightMapToNormalMap(colorOut, bumpScale) != 0) {
        return FailPreparing(colorOut, alphaOut);
    }
    if (FitImageToTexture(colorOut, mirror) != 0 || (hasAlpha && FitImageToTexture(alphaOut, mirror) != 0)) {
        return FailPreparing(colorOut, alphaOut);
    }
    if (hasAlpha && (colorOut->width != alphaOut->width || colorOut->height != alphaOut->height)) {
        int64_t colorArea = static_cast<int64_t>(colorOut->width) * colorOut->height;
        int64_t alphaArea = static_cast<int64_t>(alphaOut->width) * alphaOut->height;
        RasterImage *smaller = colorArea < alphaArea ? colorOut : alphaOut;
        const RasterImage *larger = smaller == colorOut ? alphaOut : colorOut;
        if (ScaleImageTo(smaller, larger->width, larger->height) != 0) {
            return FailPreparing(colorOut, alphaOut);
        }
    }
    return 0;
}

} // namespace Korvo

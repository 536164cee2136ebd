// MEMIMG import from RasterImage, shared format descriptors and converting copies.
#include <cstring>

#include "image/color_format.h"
#include "image/pixel_convert.h"
#include "image/raster_image.h"
#include "softraster/memimg.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

namespace {

// Kinds 0 and 1: [kind][alpha][palette]; then kind 2 and kind 3. Built on first use.
ColorFormatDesc MaskFormats[2][2][2];
bool MaskFormatReady[2][2][2];
ColorFormatDesc Gray8Format;
ColorFormatDesc Gray16Format;
bool GrayFormatsReady;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// One-channel format whose four channels all cover the whole pixel.
void InitSingleChannelFormat(ColorFormatDesc *desc, int bits)
{
    std::memset(desc, 0, sizeof(*desc));
    const uint32_t mask = bits == 8 ? 0xFFu : 0xFFFFu;
    desc->bytesPerPixel = static_cast<uint8_t>(bits / 8);
    desc->bitsPerPixel = static_cast<uint8_t>(bits);
    desc->maskR = desc->maskG = desc->maskB = desc->maskA = mask;
    desc->widthR = desc->widthG = desc->widthB = desc->widthA = static_cast<uint8_t>(bits);
}

// Convert the source image's palette into the body's palette block, both halves.
void ImportPalette(MemImgBody *body, const RasterImage *source)
{
    const bool wide = body->pixelKind == MEMIMG_KIND_XRGB32;
    for (int i = 0; i < 256; ++i) {
        const PaletteEntry &e = source->format.palette[i];
        if (wide) {
            const uint32_t v = static_cast<uint32_t>(e.red) << 16 | static_cast<uint32_t>(e.green) << 8 | e.blue;
            std::memcpy(body->paletteBlock + 4 * i, &v, 4);
        } else {
            const uint16_t v = static_cast<uint16_t>((e.red & 0xF8) << 8 | (e.green & 0xFC) << 3 | e.blue >> 3);
            std::memcpy(body->paletteBlock + 2 * i, &v, 2);
        }
    }
    std::memcpy(body->paletteCopy, body->paletteBlock, wide ? 1024 : 512);
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Shared colour-format descriptor of a kind, or null.
const ColorFormatDesc *LookupMemImgFormatDesc(MemImgPixelKind kind, int alphaFlag, int paletteFlag)
{
    if (kind == MEMIMG_KIND_GRAY8 || kind == MEMIMG_KIND_GRAY16) {
        if (!GrayFormatsReady) {
            InitSingleChannelFormat(&Gray8Format, 8);
            InitSingleChannelFormat(&Gray16Format, 16);
            GrayFormatsReady = true;
        }
        return kind == MEMIMG_KIND_GRAY8 ? &Gray8Format : &Gray16Format;
    }
    if (kind != MEMIMG_KIND_RGB565 && kind != MEMIMG_KIND_XRGB32)
        return nullptr;
    const int a = alphaFlag ? 1 : 0, p = paletteFlag ? 1 : 0;
    ColorFormatDesc *desc = &MaskFormats[kind][a][p];
    if (!MaskFormatReady[kind][a][p]) {
        if (kind == MEMIMG_KIND_RGB565)
            InitColorFormatFromMasks(desc, p ? 8 : a ? 32 : 16, 0xF800, 0x07E0, 0x001F, a ? 0x00FF0000 : 0, 0, 0, 0);
        else
            InitColorFormatFromMasks(desc, p ? 8 : 32, 0x00FF0000, 0x0000FF00, 0x000000FF, a ? 0xFF000000 : 0, 0, 0,
                                     0);
        MaskFormatReady[kind][a][p] = true;
    }
    return desc;
}

// Convert a rectangle of a RasterImage into the image; negative on failure.
int ImportImageIntoMemImg(const RasterImage *source, const RasterImage *alphaImage, MEMIMG *destination,
                          int sourceX, int sourceY, int width, int height, int destinationX, int destinationY,
                          int transparentFlag)
{
    MemImgBody *body = destination->body;
    const RECT rect = {sourceX, sourceY, sourceX + width, sourceY + height};
    const bool singleChannel = body->pixelKind == MEMIMG_KIND_GRAY8 || body->pixelKind == MEMIMG_KIND_GRAY16;
    if (singleChannel) {
        ConvertPixelBlock(destination->pixels, body->pitch, body->format, source->pixels, source->pitch,
                          &source->format, nullptr, 0, nullptr, destinationX, destinationY, &rect, 0, 0, 0, 0, 1, 1,
                          0, 0);
    } else {
        const int result = ConvertPixelBlock(
            destination->pixels, body->pitch, body->format, source->pixels, source->pitch, &source->format,
            alphaImage != nullptr ? alphaImage->pixels : nullptr, alphaImage != nullptr ? alphaImage->pitch : 0,
            alphaImage != nullptr ? &alphaImage->format : nullptr, destinationX, destinationY, &rect, 0,
            transparentFlag, body->transparentColor, 0, 0, 0, 0, 0);
        if (result < 0)
            return result;
        if (body->hasPalette && alphaImage == nullptr)
            body->paletteCount = result + 1;
    }
    if (body->hasPalette)
        ImportPalette(body, source);

    body->premultipliedValid = 0;
    body->runTableValid = 0;
    if (width != destination->width || height != destination->height)
        return 0;   // a partial import leaves no run table in force
    if (!singleChannel && body->runTable != nullptr)
        BuildMemImgRunTable(destination);
    return 0;
}

// Copy a rectangle (null = whole source) between images through format conversion.
int CopyMemImgRect(MEMIMG *destination, const MEMIMG *source, const RECT *sourceRect, int destinationX,
                   int destinationY)
{
    const RECT whole = {0, 0, source->width, source->height};
    InvalidateMemImgDerivedData(destination);
    return ConvertPixelBlock(destination->pixels, destination->body->pitch, destination->body->format,
                             source->pixels, source->body->pitch, source->body->format, nullptr, 0, nullptr,
                             destinationX, destinationY, sourceRect != nullptr ? sourceRect : &whole, 0, 0, 0, 0, 0,
                             0, 0, 0);
}

}  // namespace Korvo

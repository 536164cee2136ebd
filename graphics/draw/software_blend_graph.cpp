// Software draws through the blend graph: its alpha as the blit's blend image
// (threshold, masking), or its colours mixed into the drawn graph (cross-fade);
// plain 32-bit draws in one pass.

#include "graphics/draw/software_blend_graph.h"

#include "graphics/device/draw_settings.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/shading/blend_stages.h"
#include "softraster/draw_state.h"
#include "softraster/memimg_blit.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static uint32_t LoadWord(const uint8_t *p, int bytes)
{
    uint32_t value = 0;
    std::memcpy(&value, p, bytes);
    return value;
}

static uint32_t Rgb565ToArgb(uint32_t c, uint32_t alpha)
{
    uint32_t r = ((c >> 11) & 0x1F) * 255 / 31;
    uint32_t g = ((c >> 5) & 0x3F) * 255 / 63;
    uint32_t b = (c & 0x1F) * 255 / 31;
    return (alpha << 24) | (r << 16) | (g << 8) | b;
}

// One pixel of a software image as 0xAARRGGBB: alpha 255 where the image has
// none, 0 for a keyed pixel when keyed is set; a one-channel image gives its
// value as grey and as alpha.
static uint32_t ReadPixelAsArgb(const MEMIMG *image, int x, int y, bool keyed)
{
    const MemImgBody *body = image->body;
    const int bytes = MemImgBytesPerPixel(body);
    const uint8_t *p = image->pixels + static_cast<size_t>(y) * body->pitch + static_cast<size_t>(x) * bytes;
    const uint32_t raw = LoadWord(p, bytes);
    if (body->pixelKind == MEMIMG_KIND_GRAY8) {
        return raw * 0x01010101u;
    }
    const bool wide = body->pixelKind == MEMIMG_KIND_XRGB32;
    uint32_t colour = raw;
    if (body->hasPalette != 0) {
        colour = LoadWord(body->paletteBlock + (wide ? 4 : 2) * raw, wide ? 4 : 2);
    }
    uint32_t alpha = 255;
    if (body->hasAlpha != 0) {
        alpha = wide ? raw >> 24 : (raw >> 16) & 0xFF;
    } else if (keyed && raw == body->transparentColor) {
        alpha = 0;
    }
    if (!wide) {
        return Rgb565ToArgb(colour & 0xFFFF, alpha);
    }
    return (alpha << 24) | (colour & 0xFFFFFF);
}

static void StoreArgbPixel(MEMIMG *image, int x, int y, uint32_t argb)
{
    const MemImgBody *body = image->body;
    uint8_t *row = image->pixels + static_cast<size_t>(y) * body->pitch;
    if (body->pixelKind == MEMIMG_KIND_XRGB32) {
        std::memcpy(row + 4 * x, &argb, 4);
        return;
    }
    // R5G6B5 in bytes 0-1, the alpha in byte 2.
    uint32_t word = ((argb >> 8) & 0xF800) | ((argb >> 5) & 0x07E0) | ((argb >> 3) & 0x001F) | ((argb >> 8) & 0xFF0000);
    std::memcpy(row + 4 * x, &word, 4);
}

// 32-bit pixels without a palette: the common case, read a row at a time.
static bool IsPlainXrgb32(const MEMIMG *image)
{
    return image->body->pixelKind == MEMIMG_KIND_XRGB32 && image->body->hasPalette == 0;
}

// How a plain 32-bit image's pixels read as 0xAARRGGBB, taken out of the body
// once so the row loops keep it in registers.
struct PlainXrgb32Reading {
    bool hasAlpha;
    bool keyed;
    uint32_t key;
};

static PlainXrgb32Reading ReadingOf(const MemImgBody *body, bool keyed)
{
    return {body->hasAlpha != 0, keyed, body->transparentColor};
}

static uint32_t PlainXrgb32AsArgb(uint32_t raw, PlainXrgb32Reading reading)
{
    if (reading.hasAlpha) {
        return raw;
    }
    const uint32_t alpha = reading.keyed && raw == reading.key ? 0 : 0xFF000000u;
    return alpha | (raw & 0xFFFFFF);
}

static const uint32_t *Xrgb32Row(const MEMIMG *image, int y)
{
    return reinterpret_cast<const uint32_t *>(image->pixels + static_cast<size_t>(y) * image->body->pitch);
}

// The drawn graph with the blend graph mixed in at weight/255, alpha included.
static int MakeCrossFade(const MEMIMG *source, const MEMIMG *blendGraph, int weight, int transparent,
                         MEMIMG *out)
{
    if (CreateWorkMemImg(out, source->width, source->height, source->body->pixelKind, 1) != 0) {
        return -1;
    }
    const uint32_t w = static_cast<uint32_t>(weight);
    if (IsPlainXrgb32(source) && IsPlainXrgb32(blendGraph) && IsPlainXrgb32(out)) {
        const PlainXrgb32Reading drawnReading = ReadingOf(source->body, transparent != 0);
        const PlainXrgb32Reading blendReading = ReadingOf(blendGraph->body, false);
        const int width = source->width;
        for (int y = 0; y < source->height; ++y) {
            const uint32_t *drawn = Xrgb32Row(source, y);
            const uint32_t *blend = Xrgb32Row(blendGraph, y);
            uint32_t *mixed = const_cast<uint32_t *>(Xrgb32Row(out, y));
            for (int x = 0; x < width; ++x) {
                mixed[x] = CrossFadeArgbPixels(PlainXrgb32AsArgb(drawn[x], drawnReading),
                                               PlainXrgb32AsArgb(blend[x], blendReading), w);
            }
        }
        return 0;
    }
    for (int y = 0; y < source->height; ++y) {
        for (int x = 0; x < source->width; ++x) {
            StoreArgbPixel(out, x, y, CrossFadeArgbPixels(ReadPixelAsArgb(source, x, y, transparent != 0),
                                                          ReadPixelAsArgb(blendGraph, x, y, false), w));
        }
    }
    return 0;
}

// One byte per pixel of the drawn graph's size: the blend graph's alpha.
static int MakeAlphaWeights(const MEMIMG *source, const MEMIMG *blendGraph, MEMIMG *out)
{
    if (CreateWorkMemImg(out, source->width, source->height, MEMIMG_KIND_GRAY8, 0) != 0) {
        return -1;
    }
    const bool plain = IsPlainXrgb32(blendGraph);
    const bool opaque = plain && blendGraph->body->hasAlpha == 0;
    const int width = source->width;
    for (int y = 0; y < source->height; ++y) {
        uint8_t *row = out->pixels + static_cast<size_t>(y) * out->body->pitch;
        if (opaque) {
            std::memset(row, 0xFF, static_cast<size_t>(width));
        } else if (plain) {
            const uint32_t *blend = Xrgb32Row(blendGraph, y);
            for (int x = 0; x < width; ++x) {
                row[x] = static_cast<uint8_t>(blend[x] >> 24);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                row[x] = static_cast<uint8_t>(ReadPixelAsArgb(blendGraph, x, y, false) >> 24);
            }
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int PrepareSoftwareBlendImages(const MEMIMG *target, const MEMIMG *source, int transparent, bool unscaled,
                               SoftwareBlendImages *images)
{
    std::memset(images, 0, sizeof(*images));
    images->source = source;
    images->transparent = transparent;
    GraphRecord *record = Draw.blendGraph > 0 ? GetGraphRecord(Draw.blendGraph, 0) : nullptr;
    const MEMIMG *blendGraph = record != nullptr ? GetGraphMemImg(record) : nullptr;
    if (blendGraph == nullptr || blendGraph->body == nullptr || blendGraph->width < source->width ||
        blendGraph->height < source->height) {
        return 0;
    }
    if (Draw.blendGraphType == 0) {
        // The faded alpha is blended wherever the Direct3D road blends it: in every
        // mode that uses alpha, not only under the caller's transparent flag.
        images->transparent = transparent != 0 || BlendModeUsesAlpha(Draw.blendMode) != 0 ? 1 : 0;
        images->onePass = MemImgBlendGraphDraw{MEMIMG_BLEND_GRAPH_CROSS_FADE, Draw.blendGraphFade, transparent,
                                               images->transparent};
        if (unscaled && BlendGraphBlitFits(target, source, blendGraph) != 0) {
            images->blendGraph = blendGraph;
            return 0;
        }
        if (MakeCrossFade(source, blendGraph, Draw.blendGraphFade, transparent, &images->mixedSource) != 0) {
            ReleaseSoftwareBlendImages(images);
            return -1;
        }
        images->source = &images->mixedSource;
        return 0;
    }
    // Threshold: the weight ramps up from the border; masking: the weight is the alpha itself.
    if (Draw.blendGraphType == 1) {
        BuildMemImgBlendImageTable(Draw.blendGraphBorder, Draw.blendGraphRamp);
    } else {
        BuildMemImgBlendImageTable(128, 255);
    }
    if (blendGraph->body->pixelKind == MEMIMG_KIND_GRAY8) {
        images->blend = blendGraph;
        return 0;
    }
    images->onePass = MemImgBlendGraphDraw{MEMIMG_BLEND_GRAPH_WEIGHTS, 0, 0, transparent};
    if (unscaled && BlendGraphBlitFits(target, source, blendGraph) != 0) {
        images->blendGraph = blendGraph;
        return 0;
    }
    if (MakeAlphaWeights(source, blendGraph, &images->weights) != 0) {
        ReleaseSoftwareBlendImages(images);
        return -1;
    }
    images->blend = &images->weights;
    return 0;
}

void BlitSoftwareBlendImages(MEMIMG *target, const SoftwareBlendImages &images, int x, int y)
{
    if (images.blendGraph != nullptr) {
        BlitThroughBlendGraphMemImg(target, images.source, x, y, images.blendGraph, images.onePass);
    } else {
        BlendBlitMemImg(target, images.source, x, y, images.transparent, images.blend);
    }
}

void ReleaseSoftwareBlendImages(SoftwareBlendImages *images)
{
    DisposeMemImg(&images->mixedSource);
    DisposeMemImg(&images->weights);
    images->source = nullptr;
    images->blend = nullptr;
    images->blendGraph = nullptr;
}

} // namespace Korvo

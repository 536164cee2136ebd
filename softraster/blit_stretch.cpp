// Stretched blit: nearest-pixel scaling and mirroring of a whole MEMIMG.
#include "softraster/blit_plain_internal.h"
#include "softraster/processor_forms.h"
#include "softraster/row_copy.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Sizes at or beyond this overflow the 16.16 stepping.
constexpr int kStretchSizeLimit = 32768;

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

int StretchColumnOffsets[32768];

// One gathered destination row of the plain 32-bit stretched copy.
static uint32_t StretchRowScratch[kStretchSizeLimit];

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

namespace {

// Plain stretched copy of a 32-bit source. Each source row is gathered once
// through the column offsets; the destination rows that show it again are
// copies of that gathered row while it is still cached. A destination large
// for this processor's caches is written with streaming stores, from a
// gathered row kept in the scratch row (never read back from a streamed row).
void StretchCopyRows32(const StretchRows &g)
{
    FillStretchColumnOffsets(g);
    const int *offsets = StretchColumnOffsets;
    const size_t rowBytes = static_cast<size_t>(g.width) * 4;
    const bool streaming = rowBytes * static_cast<size_t>(g.height) >= MemImgStreamingBytes();
    const RowCopyFunction copyRow = ChooseRowCopy(rowBytes);
    uint8_t *scratch = reinterpret_cast<uint8_t *>(StretchRowScratch);
    const uint8_t *srcRow = g.source;
    uint8_t *dstRow = g.destination;
    int yPhase = g.yPhaseStart;
    for (int y = 0; y < g.height;) {
        uint8_t *gathered = streaming ? scratch : dstRow;
        GatherRow32(gathered, srcRow, offsets, g.width);
        if (streaming)
            StreamRowBytes(dstRow, gathered, rowBytes);
        // The rows below that show the same source row.
        for (;;) {
            if (++y == g.height)
                break;
            dstRow += g.destinationPitch;
            const uint8_t *nextRow = srcRow;
            for (yPhase -= 65536; yPhase <= 0; yPhase += g.yStep)
                nextRow += g.sourceRowStep;
            if (nextRow != srcRow) {
                srcRow = nextRow;
                break;
            }
            streaming ? StreamRowBytes(dstRow, gathered, rowBytes) : copyRow(dstRow, gathered, rowBytes);
        }
    }
    if (streaming)
        FinishStreamingStores();
}

template <class Src>
void RunStretchVariant(const BlitVariant &v, const StretchRows &g, const BlitRuleContext &c)
{
    if constexpr (std::is_same_v<Src, SrcDirect32>) {
        if (v.op == BLIT_OP_COPY && !v.blend && !v.bright && v.policy == BLIT_DRAW_ALL) {
            StretchCopyRows32(g);
            return;
        }
    }
    DispatchVariant<Src>(v, [&](auto src, auto op, auto t, auto bright, auto form, auto policy) {
        StretchBlitLoop<decltype(src), decltype(op)::value, decltype(t)::value, decltype(bright)::value,
                        decltype(form)::value, decltype(policy)::value>(g, c);
    });
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Draw a whole source image scaled into rect; x1 > x2 or y1 > y2 mirror it.
void StretchBlendBlitMemImg(MEMIMG *destination, const MEMIMG *source, const int *rect, int transparentFlag,
                            const MEMIMG *blendImage)
{
    const MemImgBody *sourceBody = source->body;
    const MemImgBody *destinationBody = destination->body;

    int left = rect[0], right = rect[2], xDirection = 1;
    if (rect[0] > rect[2]) {
        left = rect[2];
        right = rect[0];
        xDirection = -1;
    }
    int top = rect[1], bottom = rect[3], yDirection = 1;
    if (rect[1] > rect[3]) {
        top = rect[3];
        bottom = rect[1];
        yDirection = -1;
    }
    // Differences taken wide so that extreme coordinates cannot overflow.
    const int64_t wideWidth = static_cast<int64_t>(right) - left;
    const int64_t wideHeight = static_cast<int64_t>(bottom) - top;
    if (wideWidth == 0 || wideHeight == 0)
        return;
    // The plain blit's checks: a destination of another kind, or one with a
    // palette or alpha, would be written with the wrong pixel size.
    if (destinationBody->pixelKind != sourceBody->pixelKind || destinationBody->hasPalette ||
        destinationBody->hasAlpha)
        return;
    if (sourceBody->pixelKind != MEMIMG_KIND_RGB565 && sourceBody->pixelKind != MEMIMG_KIND_XRGB32)
        return;
    if (source->width <= 0 || source->height <= 0)
        return;
    if (!BlendImageCoversSource(blendImage, source))
        return;
    if (wideWidth >= kStretchSizeLimit || wideHeight >= kStretchSizeLimit)
        return;
    const int width = static_cast<int>(wideWidth);
    const int height = static_cast<int>(wideHeight);

    if (width == source->width && height == source->height && xDirection == 1 && yDirection == 1) {
        BlendBlitMemImg(destination, source, left, top, transparentFlag, blendImage);
        return;
    }

    const int mode = MemImgState.blendMode;
    if (!IsDrawnBlendMode(mode))
        return;

    const uint32_t xStep = static_cast<uint32_t>(width) * 65536u / static_cast<uint32_t>(source->width);
    const uint32_t yStep = static_cast<uint32_t>(height) * 65536u / static_cast<uint32_t>(source->height);
    if (xStep == 0 || yStep == 0)   // a source wider than 65536 per pixel: the phase loop would not end
        return;

    RECT area = {left, top, right, bottom};
    const RECT clip = ClipRectWithinView(destination);
    ClipRectToRect(&area, &clip);
    const int clippedWidth = area.right - area.left;
    const int clippedHeight = area.bottom - area.top;
    if (clippedWidth <= 0 || clippedHeight <= 0)
        return;
    const int ox = area.left - left;
    const int oy = area.top - top;
    const int qx = static_cast<int>(static_cast<uint32_t>(ox) * 65536u / xStep);
    const int rx = static_cast<int>(static_cast<uint32_t>(ox) * 65536u % xStep);
    const int qy = static_cast<int>(static_cast<uint32_t>(oy) * 65536u / yStep);
    const int ry = static_cast<int>(static_cast<uint32_t>(oy) * 65536u % yStep);

    const int column = xDirection == 1 ? qx : source->width - 1 - qx;
    const int row = yDirection == 1 ? qy : source->height - 1 - qy;
    const int sourceBytes = MemImgBytesPerPixel(sourceBody);

    StretchRows g;
    g.source = source->pixels + column * sourceBytes + row * sourceBody->pitch;
    g.sourcePixelStep = xDirection * sourceBytes;
    g.sourceRowStep = yDirection * sourceBody->pitch;
    g.blend = blendImage != nullptr ? blendImage->pixels + column + row * blendImage->body->pitch : nullptr;
    g.blendPixelStep = blendImage != nullptr ? xDirection : 0;
    g.blendRowStep = blendImage != nullptr ? yDirection * blendImage->body->pitch : 0;
    g.destination = destination->pixels + area.top * destinationBody->pitch +
                    area.left * MemImgBytesPerPixel(destinationBody);
    g.destinationPitch = destinationBody->pitch;
    g.width = clippedWidth;
    g.height = clippedHeight;
    g.xPhaseStart = static_cast<int>(xStep) - rx;
    g.yPhaseStart = static_cast<int>(yStep) - ry;
    g.xStep = static_cast<int>(xStep);
    g.yStep = static_cast<int>(yStep);

    const int p = MemImgState.blendParam;
    const bool palette = sourceBody->hasPalette != 0;
    const bool alpha = sourceBody->hasAlpha != 0 && !palette;
    if ((mode == MEMIMG_BLEND_ALPHA || mode == MEMIMG_BLEND_ADD) && p == 0)
        return;
    if (mode == MEMIMG_BLEND_SUBTRACT && p == 0 && !palette)
        return;

    const BlitRuleContext c = MakeBlitRuleContext(sourceBody);
    InvalidateMemImgDerivedData(destination);

    const bool wide = sourceBody->pixelKind == MEMIMG_KIND_XRGB32;
    const bool keyed = transparentFlag != 0;
    BlitVariant v;
    v.blend = blendImage != nullptr;
    v.bright = MemImgBrightOn();
    v.form = MODE1_SIGNED_LERP;
    v.op = mode == MEMIMG_BLEND_ALPHA && p == 255 ? BLIT_OP_COPY : mode;
    if (wide && v.op == BLIT_OP_SUBTRACT && p == 255 && !v.blend && !v.bright && !alpha && MemImgMmxEnabled())
        v.op = BLIT_OP_SUBTRACT_BYTES;
    if (alpha)
        v.policy = keyed ? BLIT_ALPHA_SKIP_ZERO : BLIT_ALPHA_ALWAYS;
    else
        v.policy = keyed ? BLIT_KEY_FULL : BLIT_DRAW_ALL;

    WithSourceReader(wide, palette, alpha, [&]<class Reader>() { RunStretchVariant<Reader>(v, g, c); });
}

}  // namespace Korvo

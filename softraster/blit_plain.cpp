// Plain blit of a whole MEMIMG onto another: frame, clipping and variant choice.
#include <cstring>

#include "softraster/blit_loops.h"
#include "softraster/blit_plain_internal.h"
#include "softraster/processor_forms.h"
#include "softraster/row_copy.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

namespace {

// Saturating add or subtract with p = 255 and no modifiers, two 16-bit pixels
// per word from the first pixel of each row; a lone pixel takes the one-pixel form.
template <class Src, bool Add, bool Keyed>
void PairBlitLoop16(const BlitRows &g, const BlitRuleContext &c)
{
    const uint32_t key = c.key & Src::kLowKeyMask;
    for (int y = 0; y < g.height; ++y) {
        const uint8_t *src = g.source + y * g.sourcePitch;
        uint8_t *dst = g.destination + y * g.destinationPitch;
        int x = 0;
        for (; x + 1 < g.width; x += 2, src += 2 * Src::kBytes, dst += 4) {
            const uint32_t s0 = Src::Color(src, c);
            const uint32_t s1 = Src::Color(src + Src::kBytes, c);
            if (Keyed) {
                const bool skip0 = Src::KeyOf(src) == key;
                const bool skip1 = Src::KeyOf(src + Src::kBytes) == key;
                if (skip0 && skip1)
                    continue;
                if (skip0 || skip1) {
                    uint8_t *one = skip0 ? dst + 2 : dst;
                    const uint32_t s = skip0 ? s1 : s0;
                    StoreU16(one, static_cast<uint16_t>(Add ? PackedAddNoLow16(s, LoadU16(one))
                                                            : PackedSubtract16(s, LoadU16(one))));
                    continue;
                }
            }
            const uint32_t s = s0 | s1 << 16;
            StoreU32(dst, Add ? PackedAddPair16(s, LoadU32(dst)) : PackedSubtractPair16(s, LoadU32(dst)));
        }
        if (x < g.width && !(Keyed && Src::KeyOf(src) == key)) {
            const uint32_t s = Src::Color(src, c);
            StoreU16(dst, static_cast<uint16_t>(Add ? PackedAddNoLow16(s, LoadU16(dst))
                                                    : PackedSubtract16(s, LoadU16(dst))));
        }
    }
}

template <class Src>
void RunPairBlit16(bool add, bool keyed, const BlitRows &g, const BlitRuleContext &c)
{
    if (add)
        keyed ? PairBlitLoop16<Src, true, true>(g, c) : PairBlitLoop16<Src, true, false>(g, c);
    else
        keyed ? PairBlitLoop16<Src, false, true>(g, c) : PairBlitLoop16<Src, false, false>(g, c);
}

// Whole rows of the source copied unchanged; streaming past the caches only
// when the copy is large for this processor's caches, long rows by string
// move where the processor makes that fast.
void CopyRows(const BlitRows &g, int bytesPerPixel)
{
    const size_t rowBytes = static_cast<size_t>(g.width * bytesPerPixel);
    if (rowBytes * static_cast<size_t>(g.height) >= MemImgStreamingBytes()) {
        for (int y = 0; y < g.height; ++y)
            StreamRowBytes(g.destination + y * g.destinationPitch, g.source + y * g.sourcePitch, rowBytes);
        FinishStreamingStores();
        return;
    }
    const RowCopyFunction copyRow = ChooseRowCopy(rowBytes);
    for (int y = 0; y < g.height; ++y)
        copyRow(g.destination + y * g.destinationPitch, g.source + y * g.sourcePitch, rowBytes);
}

template <class Src>
void RunPlainVariant(const BlitVariant &v, const BlitRows &g, const BlitRuleContext &c)
{
    if (!v.blend && !v.bright && v.op == BLIT_OP_COPY && v.policy == BLIT_DRAW_ALL &&
        Src::kBytes == DestinationBytes<Src>()) {
        CopyRows(g, Src::kBytes);
        return;
    }
    if (RunPlainFastPath(v, Src::kWide, Src::kBytes == 1, Src::kAlpha, g, c))
        return;
    if constexpr (!Src::kWide && Src::kBytes == 2) {
        if (RunPlainFastPath16(v, g, c))
            return;
    }
    DispatchVariant<Src>(v, [&](auto src, auto op, auto t, auto bright, auto form, auto policy) {
        PlainBlitLoop<decltype(src), decltype(op)::value, decltype(t)::value, decltype(bright)::value,
                      decltype(form)::value, decltype(policy)::value>(g, c);
    });
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Draw a whole source image at (x, y) through the draw state.
void BlendBlitMemImg(MEMIMG *destination, const MEMIMG *source, int x, int y, int transparentFlag,
                     const MEMIMG *blendImage)
{
    const MemImgBody *sourceBody = source->body;
    const MemImgBody *destinationBody = destination->body;
    if (destinationBody->pixelKind != sourceBody->pixelKind)
        return;
    if (destinationBody->hasPalette || destinationBody->hasAlpha)
        return;
    if (sourceBody->pixelKind != MEMIMG_KIND_RGB565 && sourceBody->pixelKind != MEMIMG_KIND_XRGB32)
        return;
    if (!BlendImageCoversSource(blendImage, source))
        return;

    // Clipped to the destination's own bounds too: a clip larger than the view writes nothing outside it.
    RECT area = {x, y, x + source->width, y + source->height};
    const RECT clip = ClipRectWithinView(destination);
    ClipRectToRect(&area, &clip);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return;

    const int mode = MemImgState.blendMode;
    const int p = MemImgState.blendParam;
    const bool palette = sourceBody->hasPalette != 0;
    const bool alpha = sourceBody->hasAlpha != 0 && !palette;
    if (!IsDrawnBlendMode(mode))
        return;
    if ((mode == MEMIMG_BLEND_ALPHA || mode == MEMIMG_BLEND_ADD) && p == 0)
        return;
    if (mode == MEMIMG_BLEND_SUBTRACT && p == 0 && !palette)
        return;

    const bool useRuns = transparentFlag == 1 && sourceBody->runTableValid && sourceBody->runTable != nullptr &&
                         width == source->width && height == source->height &&
                         source->width == sourceBody->width && source->height == sourceBody->height;

    const int sx = area.left - x;
    const int sy = area.top - y;
    const int sourceBytes = MemImgBytesPerPixel(sourceBody);
    BlitRows g;
    g.source = source->pixels + sy * sourceBody->pitch + sx * sourceBytes;
    g.sourcePitch = sourceBody->pitch;
    g.destination = destination->pixels + area.top * destinationBody->pitch +
                    area.left * MemImgBytesPerPixel(destinationBody);
    g.destinationPitch = destinationBody->pitch;
    g.blend = blendImage != nullptr ? blendImage->pixels + sy * blendImage->body->pitch + sx : nullptr;
    g.blendPitch = blendImage != nullptr ? blendImage->body->pitch : 0;
    g.width = width;
    g.height = height;

    const BlitRuleContext c = MakeBlitRuleContext(sourceBody);
    InvalidateMemImgDerivedData(destination);

    if (useRuns) {
        RunTableBlit(sourceBody, g, c);
        return;
    }

    const bool wide = sourceBody->pixelKind == MEMIMG_KIND_XRGB32;
    const bool keyed = transparentFlag != 0;
    BlitVariant v;
    v.blend = blendImage != nullptr;
    v.bright = MemImgBrightOn();
    v.form = MODE1_SIGNED_LERP;
    v.op = mode == MEMIMG_BLEND_ALPHA && p == 255 ? BLIT_OP_COPY : mode;
    const bool plain = !v.blend && !v.bright && !alpha;   // the whole-word forms apply
    bool fastKey = false;                                  // loops that compare the key's low part
    if (plain) {
        if (v.op == BLIT_OP_COPY) {
            fastKey = true;
        } else if (v.op == BLIT_OP_ALPHA && p == 128) {
            v.op = BLIT_OP_HALVE;
            fastKey = true;
        } else if (v.op == BLIT_OP_ALPHA && !wide) {
            v.form = MODE1_LERP6;
            fastKey = !palette;
        } else if ((v.op == BLIT_OP_ADD || v.op == BLIT_OP_SUBTRACT) && p == 255) {
            fastKey = true;
            if (!wide) {
                if (palette)
                    RunPairBlit16<SrcPalette16>(v.op == BLIT_OP_ADD, keyed, g, c);
                else
                    RunPairBlit16<SrcDirect16>(v.op == BLIT_OP_ADD, keyed, g, c);
                return;
            }
            if (v.op == BLIT_OP_ADD)
                v.op = MemImgMmxEnabled() ? BLIT_OP_ADD_BYTES : BLIT_OP_ADD_NO_LOW;
            else if (MemImgMmxEnabled())
                v.op = BLIT_OP_SUBTRACT_BYTES;
        }
    }

    if (alpha) {
        if (!keyed && v.op == BLIT_OP_COPY && !v.blend && !v.bright) {
            // The plain copy moves the colour and ignores the alpha.
            v.policy = BLIT_DRAW_ALL;
            if (wide)
                RunPlainVariant<SrcDirect32>(v, g, c);
            else
                RunPlainVariant<SrcDirect16Wide>(v, g, c);
            return;
        }
        if (!keyed)
            v.policy = BLIT_ALPHA_ALWAYS;
        else if (mode == MEMIMG_BLEND_MULTIPLY || mode == MEMIMG_BLEND_INVERT ||
                 mode == MEMIMG_BLEND_MULTIPLY_WEIGHTED)
            v.policy = BLIT_ALPHA_KEEP_ZERO;
        else
            v.policy = BLIT_ALPHA_SKIP_ZERO;
    } else {
        v.policy = !keyed ? BLIT_DRAW_ALL : fastKey ? BLIT_KEY_LOW : BLIT_KEY_FULL;
    }

    WithSourceReader(wide, palette, alpha, [&]<class Reader>() { RunPlainVariant<Reader>(v, g, c); });
}

}  // namespace Korvo

// Plain blit along the transparent-run table of an unclipped, whole source image.
#include "softraster/blit_plain_internal.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

namespace {

template <class Src>
void RunTableVariant(int op, bool blend, bool bright, const BlitRows &g, const uint8_t *runs,
                     const BlitRuleContext &c)
{
    const BlitVariant v = {op, blend, bright, MODE1_SIGNED_LERP, Src::kAlpha ? BLIT_ALPHA_ALWAYS : BLIT_DRAW_ALL};
    DispatchVariant<Src>(v, [&](auto src, auto opC, auto t, auto b, auto form, auto) {
        RunTableBlitLoop<decltype(src), decltype(opC)::value, decltype(t)::value, decltype(b)::value,
                         decltype(form)::value>(g, runs, c);
    });
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Walk the source's run table over an unclipped whole-image draw.
void RunTableBlit(const MemImgBody *source, const BlitRows &g, const BlitRuleContext &c)
{
    const int mode = MemImgState.blendMode;
    const int op = mode == MEMIMG_BLEND_ALPHA && c.p == 255 ? BLIT_OP_COPY : mode;
    const bool blend = g.blend != nullptr;
    const bool bright = MemImgBrightOn();
    const bool palette = source->hasPalette != 0;
    const bool alpha = source->hasAlpha != 0 && !palette;
    const bool wide = source->pixelKind == MEMIMG_KIND_XRGB32;
    if (wide && !palette && RunTableFastPath(op, blend, alpha, g, source->runTable, c))
        return;
    WithSourceReader(wide, palette, alpha, [&]<class Reader>() {
        RunTableVariant<Reader>(op, blend, bright, g, source->runTable, c);
    });
}

}  // namespace Korvo

// Internal: pieces of the plain blit that live in files of their own.
#pragma once

#include "softraster/blit_loops.h"
#include "softraster/memimg_blit.h"

namespace Korvo {

// Modes 0-4, 10 and 11 draw; 5-9 and everything else (negative values too) do not.
inline bool IsDrawnBlendMode(int mode)
{
    return static_cast<unsigned>(mode) <= 11u && (mode <= 4 || mode >= 10);
}

// A blend image is read at the source's offsets: it must be at least the source's size.
inline bool BlendImageCoversSource(const MEMIMG *blendImage, const MEMIMG *source)
{
    return blendImage == nullptr || (blendImage->body != nullptr && blendImage->pixels != nullptr &&
                                     blendImage->width >= source->width && blendImage->height >= source->height);
}

// Walk the source's run table over an unclipped whole-image draw.
void RunTableBlit(const MemImgBody *source, const BlitRows &g, const BlitRuleContext &c);

// Vector forms of the common 32-bit loops; false when the variant has none.
bool RunPlainFastPath(const BlitVariant &v, bool wide, bool palette, bool alpha, const BlitRows &g,
                      const BlitRuleContext &c);

// Run-table copy of a 32-bit alpha source without blend image; false for other variants.
bool RunTableFastPath(int op, bool blend, bool alpha, const BlitRows &g, const uint8_t *runs, const BlitRuleContext &c);

// Vector forms of the common R5G6B5 loops (direct-colour source without alpha
// or blend image); false when the variant has none.
bool RunPlainFastPath16(const BlitVariant &v, const BlitRows &g, const BlitRuleContext &c);

}  // namespace Korvo

// Plain and stretched blits between MEMIMG images through the draw state.
#pragma once

#include "softraster/memimg.h"

namespace Korvo {

// Draw a whole source image with its top-left pixel at (x, y) of the destination.
void BlendBlitMemImg(MEMIMG *destination, const MEMIMG *source, int x, int y, int transparentFlag,
                     const MEMIMG *blendImage);

// Draw a whole source image scaled into rect {x1, y1, x2, y2}; x1 > x2 or y1 > y2 mirror it.
void StretchBlendBlitMemImg(MEMIMG *destination, const MEMIMG *source, const int *rect, int transparentFlag,
                            const MEMIMG *blendImage);

}  // namespace Korvo

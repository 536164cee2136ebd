// Shapes drawn into MEMIMG images: triangles (textured or flat), filled
// rectangles, lines and circles, through the blend mode, blend parameter,
// bright colour and clip rectangle of MemImgState.
//
// A flat colour is a pixel value in the destination's own format (R5G6B5 in the
// low 16 bits for kind 0, 0xXXRRGGBB for kind 1). Nothing is reported: a
// refused image, a mode that draws nothing or a degenerate shape leaves the
// destination untouched. No routine writes outside the destination's view,
// whatever the clip rectangle holds.
#pragma once

#include <cstdint>

#include "core/korvo_types.h"
#include "softraster/memimg.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Vertex and texel coordinates the triangle's 14.18 fixed point can hold.
constexpr int MEMIMG_TRIANGLE_COORD_MIN = -8192;
constexpr int MEMIMG_TRIANGLE_COORD_MAX = 8191;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// One triangle corner: destination pixel x, y and source texel u, v.
struct MemImgTriangleVertex {
    int32_t x;
    int32_t y;
    int32_t u;
    int32_t v;
};

// One line of a line list; the last field is not read.
struct MemImgLineRecord {
    int32_t x1;
    int32_t y1;
    int32_t x2;
    int32_t y2;
    int32_t color;
    int32_t reserved;
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Draw a triangle textured from source (null: filled with color).
void RasterTriangleMemImg(MEMIMG *destination, const MEMIMG *source, const MemImgTriangleVertex *vertices,
                          int transparentFlag, const MEMIMG *blendImage, uint32_t color);

// Fill a rectangle (corners in any order; null = the whole view) with one colour.
void FillBlendRectMemImg(MEMIMG *destination, const RECT *rect, int32_t color);

// Draw a one-pixel line from (x1, y1) up to but excluding (x2, y2).
void RasterLineMemImg(MEMIMG *destination, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t color);

// Draw count lines in array order; nothing for count <= 0.
void RasterLineListMemImg(MEMIMG *destination, const MemImgLineRecord *records, int32_t count);

// Draw a circle outline (fill 0) or a filled disc (fill non-zero).
void RasterCircleMemImg(MEMIMG *destination, int32_t cx, int32_t cy, int32_t r, int32_t color, int32_t fill);

}  // namespace Korvo

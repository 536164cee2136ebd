// The Direct3D back ends of the draw entries: primitives (boxes, circles,
// caller vertex lists). Each returns 0, or -1 without a device or while it is lost.
#pragma once

#include "graphics/public_api.h"

#include "core/korvo_types.h"
#include "graphics/device/d3d9_types.h"

namespace Korvo {

// A filled box, right and bottom exclusive (staged)
int G_D3D_FillBox(int x1, int y1, int x2, int y2, int colour);
// A one-pixel box outline (staged)
int G_D3D_DrawBoxOutline(int x1, int y1, int x2, int y2, int colour);
// A midpoint circle, outline (points) or filled (one line per row)
int G_D3D_DrawCircle(int cx, int cy, int radius, int colour, int fill);
// Caller vertices drawn at once; texture of the given piece of a graph, or none
int G_D3D_DrawUserVertices(K_IDirect3DBaseTexture9 *texture, uint32_t imageFlags, const Vertex2D *vertices,
                           int count, uint32_t primitiveType, int transparent);

} // namespace Korvo

namespace Korvo {

struct GraphRecord;

// A graph at (x, y), texel centres on pixel centres (staged)
int G_D3D_DrawGraphAtPoint(int x, int y, GraphRecord *record, int transparent);
// A graph stretched over (x1, y1)-(x2, y2); x2 < x1 mirrors, y2 < y1 flips (staged)
int G_D3D_DrawGraphStretched(int x1, int y1, int x2, int y2, float fx1, float fy1, float fx2, float fy2,
                             GraphRecord *record, int transparent, int integerCall);
// A graph on a free quadrilateral: corners top left, top right, bottom left, bottom right
int G_D3D_DrawGraphOnQuad(const float corners[8], GraphRecord *record, int transparent);

} // namespace Korvo

// Draw entries of boxes, circles and caller vertex lists: the shared front end,
// then the Direct3D back end or the software rasteriser on the target image.

#include "graphics/public_api.h"

#include "core/memory/tracked_alloc.h"
#include "graphics/draw/d3d_draw_back_ends.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/draw_settings.h"
#include "graphics/graphs/graph_movie_hooks.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "softraster/draw_state.h"
#include "softraster/shapes.h"

#include <algorithm>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static Vertex2D *VertexScratch = nullptr;
static int VertexScratchCount = 0;

// ---------------------------------------------------------------------------
// Internal helpers: the software road
// ---------------------------------------------------------------------------

static int FillBoxOnTargetMemImg(int x1, int y1, int x2, int y2, int colour)
{
    MEMIMG *target = GetDrawTargetMemImg();
    if (target != nullptr) {
        RECT box = {x1, y1, x2, y2};
        FillBlendRectMemImg(target, &box, colour);
    }
    return 0;
}

static int DrawBoxOutlineOnTargetMemImg(int x1, int y1, int x2, int y2, int colour)
{
    MEMIMG *target = GetDrawTargetMemImg();
    if (target != nullptr) {
        const MemImgLineRecord lines[4] = {{x1, y1, x2 - 1, y1, colour, Draw.blendParam},
                                           {x2 - 1, y1, x2 - 1, y2 - 1, colour, Draw.blendParam},
                                           {x2 - 1, y2 - 1, x1, y2 - 1, colour, Draw.blendParam},
                                           {x1, y2 - 1, x1, y1, colour, Draw.blendParam}};
        RasterLineListMemImg(target, lines, 4);
    }
    return 0;
}

static int DrawCircleOnTargetMemImg(int cx, int cy, int radius, int colour, int fill)
{
    MEMIMG *target = GetDrawTargetMemImg();
    if (target != nullptr) {
        RasterCircleMemImg(target, cx, cy, radius, colour, fill);
    }
    return 0;
}

static bool DeviceRoad()
{
    return GraphicsState.direct3DModeActive != 0;
}

// Vertex colours scaled by the bright colour and, with blending, the alpha by
// the blend parameter; null when the scratch buffer cannot grow.
static const Vertex2D *ModulateVertexColours(const Vertex2D *vertices, int count)
{
    if (count > VertexScratchCount) {
        TrackedFree(VertexScratch);
        VertexScratch = static_cast<Vertex2D *>(TrackedAlloc(static_cast<size_t>(count) * sizeof(Vertex2D), __FILE__, __LINE__));
        VertexScratchCount = VertexScratch != nullptr ? count : 0;
        if (VertexScratch == nullptr) {
            return nullptr;
        }
    }
    const uint32_t bright = Draw.brightColor;
    const int fr = static_cast<int>((bright >> 16) & 0xFF);
    const int fg = static_cast<int>((bright >> 8) & 0xFF);
    const int fb = static_cast<int>(bright & 0xFF);
    const int fa = Draw.blendMode != 0 ? Draw.blendParam : 255;
    for (int i = 0; i < count; ++i) {
        Vertex2D v = vertices[i];
        uint32_t c = v.diffuse;
        uint32_t a = static_cast<uint32_t>(MemImgProductTable[fa][(c >> 24) & 0xFF]);
        uint32_t r = static_cast<uint32_t>(MemImgProductTable[fr][(c >> 16) & 0xFF]);
        uint32_t g = static_cast<uint32_t>(MemImgProductTable[fg][(c >> 8) & 0xFF]);
        uint32_t b = static_cast<uint32_t>(MemImgProductTable[fb][c & 0xFF]);
        v.diffuse = (a << 24) | (r << 16) | (g << 8) | b;
        VertexScratch[i] = v;
    }
    return VertexScratch;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// The box front end: either back end over the box's rectangle.
template <typename DeviceDraw, typename SoftwareDraw>
static int RunBoxDraw(int x1, int y1, int x2, int y2, DeviceDraw deviceDraw, SoftwareDraw softwareDraw)
{
    if (DrawEntriesIdle() != 0) {
        return 0;
    }
    WaitWhileAppInactive();
    const RECT affected = {x1, y1, x2, y2};
    if (DeviceRoad()) {
        return RunDrawBackEnd(affected, SubtractEmulationNeeded(true), deviceDraw);
    }
    return RunDrawBackEnd(affected, false, softwareDraw);
}

// Draw a colour-filled box (right and bottom exclusive)
int FillColorBox(int x1, int y1, int x2, int y2, int colour)
{
    return RunBoxDraw(
        x1, y1, x2, y2, [&] { return G_D3D_FillBox(x1, y1, x2, y2, colour); },
        [&] { return FillBoxOnTargetMemImg(x1, y1, x2, y2, colour); });
}

// Draw a one-pixel box outline
int DrawColorBoxOutline(int x1, int y1, int x2, int y2, int colour)
{
    return RunBoxDraw(
        x1, y1, x2, y2, [&] { return G_D3D_DrawBoxOutline(x1, y1, x2, y2, colour); },
        [&] { return DrawBoxOutlineOnTargetMemImg(x1, y1, x2, y2, colour); });
}

// Draw a box, filled or outlined
int DrawColorBox(int x1, int y1, int x2, int y2, int colour, int fill)
{
    return fill != 0 ? FillColorBox(x1, y1, x2, y2, colour) : DrawColorBoxOutline(x1, y1, x2, y2, colour);
}

// Draw a circle, filled or outlined; a negative radius draws nothing
int DrawColorCircle(int cx, int cy, int radius, int colour, int fill)
{
    if (radius < 0 || DrawEntriesIdle() != 0) {
        return 0;
    }
    WaitWhileAppInactive();
    const RECT affected = {cx - radius - 1, cy - radius - 1, cx + radius + 1, cy + radius + 1};
    if (DeviceRoad()) {
        return RunDrawBackEnd(affected, SubtractEmulationNeeded(true),
                              [&] { return G_D3D_DrawCircle(cx, cy, radius, colour, fill); });
    }
    return RunDrawBackEnd(affected, false, [&] { return DrawCircleOnTargetMemImg(cx, cy, radius, colour, fill); });
}

// The graph whose texture a vertex list draws with, its movie stepped; null when refused.
static GraphRecord *LookupVertexListGraph(int handle)
{
    GraphRecord *record = GetGraphRecord(handle, 0);
    if (record == nullptr || record->imageSet == nullptr) {
        return nullptr;
    }
    if (record->movieHandle != -1 && GetGraphMovieHooks()->stepMoviePlayback != nullptr) {
        GetGraphMovieHooks()->stepMoviePlayback(record->movieHandle);
        record = GetGraphRecord(handle, 0);
    }
    return record;
}

// Draw caller 2-D vertices with a graph's texture, or untextured (graph -5); Direct3D only
int DrawVertexList2D(const Vertex2D *vertices, int count, int primitiveType, int graph, int transparent)
{
    if (vertices == nullptr || count <= 0) {
        return -1;
    }
    GraphRecord *record = nullptr;
    if (graph != -5) {
        record = GetGraphRecord(graph, 0);
        if (record == nullptr || record->imageSet == nullptr) {
            return -1;
        }
    }
    WaitWhileAppInactive();
    if (record != nullptr && (record = LookupVertexListGraph(graph)) == nullptr) {
        return -1;
    }
    bool modulate = Draw.brightColor != 0xFFFFFF || (Draw.blendMode != 0 && Draw.blendParam != 255);
    const Vertex2D *list = modulate ? ModulateVertexColours(vertices, count) : vertices;
    if (list == nullptr) {
        return -1;
    }
    if (!DeviceRoad() || (record != nullptr && IsGraphDeviceTextured(record) == 0)) {
        return 0;
    }
    K_IDirect3DBaseTexture9 *texture = nullptr;
    uint32_t imageFlags = 0;
    if (record != nullptr) {
        int pieces = 0;
        GraphDrawPiece *piece = GetGraphDrawPieces(record, &pieces);
        if (piece == nullptr || pieces <= 0) {
            return -1;
        }
        texture = reinterpret_cast<K_IDirect3DBaseTexture9 *>(piece->piece->texture);
        imageFlags = record->imageSet->params.alpha != 0 ? DRAW_FLAG_TEXTURE_ALPHA : DRAW_FLAG_COLOR_KEY_ALPHA;
    }
    return RunDrawBackEnd(Draw.drawArea, SubtractEmulationNeeded(true), [&] {
        return G_D3D_DrawUserVertices(texture, imageFlags, list, count, static_cast<uint32_t>(primitiveType),
                                      transparent);
    });
}

// Free the vertex scratch buffer (library end)
void FreeDrawVertexScratch()
{
    TrackedFree(VertexScratch);
    VertexScratch = nullptr;
    VertexScratchCount = 0;
}

} // namespace Korvo

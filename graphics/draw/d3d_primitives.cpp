// Direct3D back ends of the untextured primitives and of caller vertex lists.
// Boxes join the staging buffer like graph quads; circles and vertex lists
// flush it and draw at once.

#include "graphics/draw/d3d_draw_back_ends.h"

#include "core/log/fatal_error.h"
#include "core/math/rect_clip.h"
#include "core/memory/tracked_alloc.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/device/draw_settings.h"

#include <algorithm>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines and types
// ---------------------------------------------------------------------------

// Untextured 2-D vertex (FVF 0x44, 20 bytes).
struct PlainVertex {
    float x, y, z, rhw;
    uint32_t diffuse;
};

constexpr int kCirclePointBatch = 40;
constexpr int kCircleLineBatch = 10;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool DeviceUsable()
{
    return G_D3D_HasDevice() != 0 && G_D3D_IsDeviceLost() == 0;
}

static void SetPlainVertex(PlainVertex *v, float x, float y, uint32_t colour)
{
    v->x = x;
    v->y = y;
    v->z = Draw.z2D;
    v->rhw = 1.0f;
    v->diffuse = colour;
}

// Two triangles of one rectangle in the staging quad order.
static void WriteQuad(PlainVertex *v, float left, float top, float right, float bottom, uint32_t colour)
{
    SetPlainVertex(&v[0], left, top, colour);
    SetPlainVertex(&v[1], right, top, colour);
    SetPlainVertex(&v[2], left, bottom, colour);
    SetPlainVertex(&v[3], right, bottom, colour);
    SetPlainVertex(&v[4], left, bottom, colour);
    SetPlainVertex(&v[5], right, top, colour);
}

static void DrawPlainNow(uint32_t type, const PlainVertex *vertices, UINT primitives)
{
    if (StateCache.fvf != 0x44 || StateCache.vertexDeclaration != nullptr) {
        StateCache.fvf = 0x44;
        StateCache.vertexDeclaration = nullptr;
        D3DDev_SetFVF(0x44);
    }
    D3DDev_DrawPrimitiveUP(type, primitives, vertices, sizeof(PlainVertex));
}

// Collects circle points or row lines and draws them in batches.
struct CircleBatch {
    PlainVertex vertices[kCirclePointBatch];
    int count;
    uint32_t colour;
    uint32_t type;
    int perDraw;

    void Add(float x, float y)
    {
        SetPlainVertex(&vertices[count], x, y, colour);
        if (++count == perDraw) {
            Flush();
        }
    }
    void Flush()
    {
        if (count > 0) {
            DrawPlainNow(type, vertices, type == K_D3DPT_POINTLIST ? static_cast<UINT>(count)
                                                                   : static_cast<UINT>(count / 2));
        }
        count = 0;
    }
};

// The outline points of one midpoint step (the axis points once at the start).
static void AddOutlinePoints(CircleBatch &batch, const RECT &area, int cx, int cy, int x, int y)
{
    const int points[8][2] = {{cx - y, cy + x}, {cx + y, cy + x}, {cx - y, cy - x}, {cx + y, cy - x},
                              {cx - x, cy + y}, {cx + x, cy + y}, {cx - x, cy - y}, {cx + x, cy - y}};
    const int axis[4][2] = {{cx - y, cy}, {cx + y, cy}, {cx, cy + y}, {cx, cy - y}};
    int count = x == 0 ? 4 : 8;
    const int(*list)[2] = x == 0 ? axis : points;
    for (int i = 0; i < count; ++i) {
        int px = list[i][0];
        int py = list[i][1];
        if (px >= area.left && px < area.right && py >= area.top && py < area.bottom) {
            batch.Add(static_cast<float>(px), static_cast<float>(py));
        }
    }
}

// One filled row, once per row.
static void AddCircleRow(CircleBatch &batch, const RECT &area, uint8_t *rowDrawn, int row, int cx, int halfWidth)
{
    if (row < area.top || row >= area.bottom || rowDrawn[row] != 0) {
        return;
    }
    int first = std::max(cx - halfWidth, static_cast<int>(area.left));
    int last = std::min(cx + halfWidth, static_cast<int>(area.right) - 1);
    if (first > last) {
        return;
    }
    rowDrawn[row] = 1;
    batch.Add(static_cast<float>(first), static_cast<float>(row));
    batch.Add(static_cast<float>(last + 1), static_cast<float>(row));
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int G_D3D_FillBox(int x1, int y1, int x2, int y2, int colour)
{
    if (!DeviceUsable()) {
        return -1;
    }
    RECT box = {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    ClipRectToRect(&box, &Draw.drawArea);
    if (box.left == box.right || box.top == box.bottom) {
        return 0;
    }
    PrepareDrawStatesIfNeeded(nullptr, DRAW_FLAG_VERTEX_COLOR);
    auto *v = static_cast<PlainVertex *>(ReserveStagedVertices(STAGING_2D_PLAIN, K_D3DPT_TRIANGLELIST, 6));
    if (v == nullptr) {
        return -1;
    }
    WriteQuad(v, static_cast<float>(box.left), static_cast<float>(box.top), static_cast<float>(box.right),
              static_cast<float>(box.bottom), ModulatePrimitiveColor(colour));
    return 0;
}

int G_D3D_DrawBoxOutline(int x1, int y1, int x2, int y2, int colour)
{
    if (!DeviceUsable()) {
        return -1;
    }
    PrepareDrawStatesIfNeeded(nullptr, DRAW_FLAG_VERTEX_COLOR);
    auto *v = static_cast<PlainVertex *>(ReserveStagedVertices(STAGING_2D_PLAIN, K_D3DPT_TRIANGLELIST, 24));
    if (v == nullptr) {
        return -1;
    }
    uint32_t c = ModulatePrimitiveColor(colour);
    float l = static_cast<float>(x1);
    float t = static_cast<float>(y1);
    float r = static_cast<float>(x2);
    float b = static_cast<float>(y2);
    WriteQuad(v, l, t, r, t + 1.0f, c);
    WriteQuad(v + 6, r - 1.0f, t + 1.0f, r, b, c);
    WriteQuad(v + 12, l, t + 1.0f, l + 1.0f, b, c);
    WriteQuad(v + 18, l + 1.0f, b - 1.0f, r - 1.0f, b, c);
    return 0;
}

// NOTE: the walk and its once-per-row rule are those of the software circle, so
// both roads cover the same pixels; outline points are kept inside the whole
// DrawArea, its left edge included.
int G_D3D_DrawCircle(int cx, int cy, int radius, int colour, int fill)
{
    FlushStagedVertices(0);
    if (!DeviceUsable()) {
        return -1;
    }
    PrepareDrawStatesIfNeeded(nullptr, DRAW_FLAG_VERTEX_COLOR);
    const RECT area = Draw.drawArea;
    CircleBatch batch = {};
    batch.colour = ModulatePrimitiveColor(colour);
    batch.type = fill != 0 ? K_D3DPT_LINELIST : K_D3DPT_POINTLIST;
    batch.perDraw = fill != 0 ? kCircleLineBatch * 2 : kCirclePointBatch;
    uint8_t *rowDrawn = nullptr;
    if (fill != 0) {
        rowDrawn = static_cast<uint8_t *>(TrackedAllocZeroed(static_cast<size_t>(std::max(static_cast<int>(area.bottom), 1)), __FILE__, __LINE__));
        if (rowDrawn == nullptr) {
            AbortWithFatalError("メモリの確保に失敗しました in G_D3D_DrawCircle");
        }
    }
    int x = 0;
    int y = radius;
    int d = 3 - 2 * radius;
    for (;;) {
        if (fill != 0) {
            AddCircleRow(batch, area, rowDrawn, cy + x, cx, y);
            AddCircleRow(batch, area, rowDrawn, cy - x, cx, y);
            if (d >= 0) {
                AddCircleRow(batch, area, rowDrawn, cy + y, cx, x);
                AddCircleRow(batch, area, rowDrawn, cy - y, cx, x);
            }
        } else {
            AddOutlinePoints(batch, area, cx, cy, x, y);
        }
        if (d < 0) {
            d += 4 * x + 6;
        } else {
            d += 4 * (x - y) + 10;
            --y;
        }
        ++x;
        if (y < x) {
            break;
        }
    }
    batch.Flush();
    TrackedFree(rowDrawn);
    return 0;
}

int G_D3D_DrawUserVertices(K_IDirect3DBaseTexture9 *texture, uint32_t imageFlags, const Vertex2D *vertices,
                           int count, uint32_t primitiveType, int transparent)
{
    FlushStagedVertices(0);
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    G_D3D_BeginSceneIfNeeded();
    uint32_t flags = (transparent != 0 ? static_cast<uint32_t>(DRAW_FLAG_TRANSPARENT) : 0u) | 0x5078u | imageFlags;
    PrepareDrawStatesIfNeeded(texture, flags);
    if (StateCache.fvf != 0x144 || StateCache.vertexDeclaration != nullptr) {
        StateCache.fvf = 0x144;
        StateCache.vertexDeclaration = nullptr;
        D3DDev_SetFVF(0x144);
    }
    UINT primitives = 0;
    switch (primitiveType) {
    case K_D3DPT_POINTLIST: primitives = static_cast<UINT>(count); break;
    case K_D3DPT_LINELIST: primitives = static_cast<UINT>(count / 2); break;
    case K_D3DPT_LINESTRIP: primitives = count > 1 ? static_cast<UINT>(count - 1) : 0; break;
    case K_D3DPT_TRIANGLELIST: primitives = static_cast<UINT>(count / 3); break;
    case K_D3DPT_TRIANGLESTRIP:
    case K_D3DPT_TRIANGLEFAN: primitives = count > 2 ? static_cast<UINT>(count - 2) : 0; break;
    default: break;
    }
    if (primitives > 0) {
        D3DDev_DrawPrimitiveUP(primitiveType, primitives, vertices, sizeof(Vertex2D));
    }
    return 0;
}

} // namespace Korvo

// Direct3D back ends of the graph draws: one textured quad per texture piece,
// appended to the staging buffer, so that a run of draws of one texture costs a
// single DrawPrimitiveUP.

#include "graphics/d3d_draw_back_ends.h"

#include "graphics/blend_stages.h"
#include "graphics/d3d_call_wrappers.h"
#include "graphics/device_state_cache.h"
#include "graphics/draw_front_end.h"
#include "graphics/draw_settings.h"
#include "graphics/graph_record.h"
#include "graphics/transforms.h"

#include <algorithm>
#include <cmath>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// Textured 2-D vertex (FVF 0x144, 28 bytes), as callers of vertex lists give them.
typedef Vertex2D TexturedVertex;

// An axis-aligned quad: edges and the texture coordinates at them.
struct ScreenQuad {
    float left, top, right, bottom;
    float u0, v0, u1, v1;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool DeviceUsable()
{
    return G_D3D_HasDevice() != 0 && G_D3D_IsDeviceLost() == 0;
}

static K_IDirect3DBaseTexture9 *PieceTexture(const GraphDrawPiece &piece)
{
    return reinterpret_cast<K_IDirect3DBaseTexture9 *>(piece.piece->texture);
}

// A piece's place inside the graph and its texture rectangle.
struct PieceRect {
    float left, top, right, bottom;
    float u0, v0, u1, v1;
};

static PieceRect DescribePiece(const GraphDrawPiece &piece)
{
    const float tw = static_cast<float>(piece.piece->textureWidth);
    const float th = static_cast<float>(piece.piece->textureHeight);
    PieceRect r;
    r.left = static_cast<float>(piece.destX);
    r.top = static_cast<float>(piece.destY);
    r.right = static_cast<float>(piece.destX + piece.width);
    r.bottom = static_cast<float>(piece.destY + piece.height);
    r.u0 = static_cast<float>(piece.sourceX) / tw;
    r.v0 = static_cast<float>(piece.sourceY) / th;
    r.u1 = static_cast<float>(piece.sourceX + piece.width) / tw;
    r.v1 = static_cast<float>(piece.sourceY + piece.height) / th;
    return r;
}

// DrawStateFlags of a graph draw.
static uint32_t GraphDrawFlags(const GraphRecord *record, int transparent, bool pixelExact)
{
    uint32_t flags = transparent != 0 ? static_cast<uint32_t>(DRAW_FLAG_TRANSPARENT) : 0u;
    if (pixelExact) {
        flags |= DRAW_FLAG_NO_BILINEAR_ALPHA_TEST;
    }
    flags |= record->imageSet->params.alpha != 0 ? DRAW_FLAG_TEXTURE_ALPHA : DRAW_FLAG_COLOR_KEY_ALPHA;
    return flags;
}

// Pull one edge of a quad in to a limit, moving its texture coordinate along.
static void ClampEdge(float &edge, float &edgeUv, float other, float otherUv, float limit, bool low)
{
    bool outside = low ? edge < limit : edge > limit;
    if (outside && edge != other) {
        edgeUv += (otherUv - edgeUv) * (limit - edge) / (other - edge);
        edge = limit;
    }
}

// Clip a quad to the area (edges in any order); false when nothing is left.
static bool ClipQuad(ScreenQuad &q, float x1, float y1, float x2, float y2)
{
    if (q.left > q.right) {
        std::swap(q.left, q.right);
        std::swap(q.u0, q.u1);
    }
    if (q.top > q.bottom) {
        std::swap(q.top, q.bottom);
        std::swap(q.v0, q.v1);
    }
    if (q.right <= x1 || q.left >= x2 || q.bottom <= y1 || q.top >= y2) {
        return false;
    }
    ClampEdge(q.left, q.u0, q.right, q.u1, x1, true);
    ClampEdge(q.right, q.u1, q.left, q.u0, x2, false);
    ClampEdge(q.top, q.v0, q.bottom, q.v1, y1, true);
    ClampEdge(q.bottom, q.v1, q.top, q.v0, y2, false);
    return true;
}

static void SetVertex(TexturedVertex *v, float x, float y, float u, float tv, uint32_t colour)
{
    v->x = x;
    v->y = y;
    v->z = Draw.z2D;
    v->rhw = 1.0f;
    v->diffuse = colour;
    v->u = u;
    v->v = tv;
}

// Stage one quad in the triangle-list order of the staging buffer.
static int StageQuad(const ScreenQuad &q)
{
    auto *v = static_cast<TexturedVertex *>(ReserveStagedVertices(STAGING_2D_TEXTURED, K_D3DPT_TRIANGLELIST, 6));
    if (v == nullptr) {
        return -1;
    }
    const uint32_t c = DrawVertexColor;
    SetVertex(&v[0], q.left, q.top, q.u0, q.v0, c);
    SetVertex(&v[1], q.right, q.top, q.u1, q.v0, c);
    SetVertex(&v[2], q.left, q.bottom, q.u0, q.v1, c);
    SetVertex(&v[3], q.right, q.bottom, q.u1, q.v1, c);
    SetVertex(&v[4], q.left, q.bottom, q.u0, q.v1, c);
    SetVertex(&v[5], q.right, q.top, q.u1, q.v0, c);
    return 0;
}

// The piece's texture for the draw; pieces after the first re-run the stage set-up.
static void UsePieceTexture(const GraphDrawPiece &piece)
{
    K_IDirect3DBaseTexture9 *texture = PieceTexture(piece);
    if (texture != StateCache.drawTexture) {
        StoreDrawTextureKey(texture);
        SetupBlendAndStages();
        StateCache.lastTexture = texture;
    }
}

// Scale and place every piece of a graph, clip it to the area and stage it.
static int StageGraphPieces(GraphRecord *record, int transparent, bool pixelExact, float originX, float originY,
                            float scaleX, float scaleY, const float clip[4])
{
    int count = 0;
    GraphDrawPiece *pieces = GetGraphDrawPieces(record, &count);
    if (pieces == nullptr || count <= 0) {
        return -1;
    }
    PrepareDrawStatesIfNeeded(PieceTexture(pieces[0]), GraphDrawFlags(record, transparent, pixelExact));
    for (int i = 0; i < count; ++i) {
        const GraphDrawPiece &piece = pieces[i];
        const PieceRect r = DescribePiece(piece);
        ScreenQuad q = {originX + scaleX * r.left, originY + scaleY * r.top, originX + scaleX * r.right,
                        originY + scaleY * r.bottom, r.u0, r.v0, r.u1, r.v1};
        if (!ClipQuad(q, clip[0], clip[1], clip[2], clip[3])) {
            continue;
        }
        UsePieceTexture(piece);
        if (StageQuad(q) != 0) {
            return -1;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int G_D3D_DrawGraphAtPoint(int x, int y, GraphRecord *record, int transparent)
{
    if (!DeviceUsable()) {
        return -1;
    }
    const RECT &area = Draw.drawArea;
    if (x >= area.right || y >= area.bottom || x + record->width <= area.left || y + record->height <= area.top) {
        return 0;
    }
    G_D3D_BeginSceneIfNeeded();
    // Texel centres fall on pixel centres.
    return StageGraphPieces(record, transparent, true, static_cast<float>(x) - 0.5f, static_cast<float>(y) - 0.5f,
                            1.0f, 1.0f, Draw.drawAreaF);
}

int G_D3D_DrawGraphStretched(int x1, int y1, int x2, int y2, float fx1, float fy1, float fx2, float fy2,
                             GraphRecord *record, int transparent, int integerCall)
{
    if (!DeviceUsable()) {
        return -1;
    }
    if (x1 == x2 || y1 == y2) {
        return -1;
    }
    const RECT &area = Draw.drawArea;
    if (std::max(x1, x2) <= area.left || std::min(x1, x2) >= area.right || std::max(y1, y2) <= area.top ||
        std::min(y1, y2) >= area.bottom) {
        return 0;
    }
    G_D3D_BeginSceneIfNeeded();
    bool pixelExact = integerCall != 0 && Draw.filterMode != 1;
    float scaleX = (fx2 - fx1) / static_cast<float>(record->width);
    float scaleY = (fy2 - fy1) / static_cast<float>(record->height);
    const float clip[4] = {Draw.drawAreaF[0] - 0.5f, Draw.drawAreaF[1] - 0.5f, Draw.drawAreaF[2] - 0.5f,
                           Draw.drawAreaF[3] - 0.5f};
    return StageGraphPieces(record, transparent, pixelExact, fx1 - 0.5f, fy1 - 0.5f, scaleX, scaleY, clip);
}

// Each piece corner is the bilinear point of the quad at its place in the graph.
int G_D3D_DrawGraphOnQuad(const float corners[8], GraphRecord *record, int transparent)
{
    if (!DeviceUsable()) {
        return -1;
    }
    int count = 0;
    GraphDrawPiece *pieces = GetGraphDrawPieces(record, &count);
    if (pieces == nullptr || count <= 0) {
        return -1;
    }
    G_D3D_BeginSceneIfNeeded();
    PrepareDrawStatesIfNeeded(PieceTexture(pieces[0]), GraphDrawFlags(record, transparent, false));
    const float w = static_cast<float>(record->width);
    const float h = static_cast<float>(record->height);
    for (int i = 0; i < count; ++i) {
        const GraphDrawPiece &piece = pieces[i];
        const PieceRect r = DescribePiece(piece);
        const float place[4][2] = {{r.left, r.top}, {r.right, r.top}, {r.left, r.bottom}, {r.right, r.bottom}};
        float at[4][2];
        for (int c = 0; c < 4; ++c) {
            float s = place[c][0] / w;
            float t = place[c][1] / h;
            for (int k = 0; k < 2; ++k) {
                float leftEdge = corners[k] + (corners[4 + k] - corners[k]) * t;
                float rightEdge = corners[2 + k] + (corners[6 + k] - corners[2 + k]) * t;
                at[c][k] = leftEdge + (rightEdge - leftEdge) * s;
            }
        }
        UsePieceTexture(piece);
        float du = 0.0625f / static_cast<float>(piece.piece->textureWidth);
        float dv = 0.0625f / static_cast<float>(piece.piece->textureHeight);
        float u0 = r.u0 + du;
        float u1 = r.u1 - du;
        float v0 = r.v0 + dv;
        float v1 = r.v1 - dv;
        auto *v = static_cast<TexturedVertex *>(ReserveStagedVertices(STAGING_2D_TEXTURED, K_D3DPT_TRIANGLELIST, 6));
        if (v == nullptr) {
            return -1;
        }
        const uint32_t colour = DrawVertexColor;
        // (TL, TR, BL) and (BR, BL, TR), turned round when both triangles face the other way.
        float turnA = (at[2][1] - at[0][1]) * (at[1][0] - at[0][0]) - (at[1][1] - at[0][1]) * (at[2][0] - at[0][0]);
        float turnB = (at[1][1] - at[3][1]) * (at[2][0] - at[3][0]) - (at[1][0] - at[3][0]) * (at[2][1] - at[3][1]);
        bool swap = turnA <= 0.0f && turnB <= 0.0f;
        SetVertex(&v[0], at[0][0], at[0][1], u0, v0, colour);
        SetVertex(&v[swap ? 2 : 1], at[1][0], at[1][1], u1, v0, colour);
        SetVertex(&v[swap ? 1 : 2], at[2][0], at[2][1], u0, v1, colour);
        SetVertex(&v[3], at[3][0], at[3][1], u1, v1, colour);
        SetVertex(&v[swap ? 5 : 4], at[2][0], at[2][1], u0, v1, colour);
        SetVertex(&v[swap ? 4 : 5], at[1][0], at[1][1], u1, v0, colour);
    }
    return 0;
}

} // namespace Korvo

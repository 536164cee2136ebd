// Direct3D back ends of the graph draws: one textured quad per texture piece,
// appended to the staging buffer, so that a run of draws of one texture costs a
// single DrawPrimitiveUP.

#include "graphics/draw/d3d_draw_back_ends.h"

#include "graphics/shading/blend_stages.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/device/draw_settings.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/state/transforms.h"

#include <algorithm>
#include <cmath>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// Textured 2-D vertex (FVF 0x144, 28 bytes), as callers of vertex lists give them.
typedef Vertex2D TexturedVertex;

// An axis-aligned quad: edges and the texture coordinates at them, for the drawn
// graph and for the blend graph.
struct ScreenQuad {
    float left, top, right, bottom;
    float u0, v0, u1, v1;
    float bu0, bv0, bu1, bv1;
};

// The blend graph's texture coordinates of a 2-D vertex of kind 2 (FVF 0x2C4).
struct BlendVertex {
    float x, y, z, rhw;
    uint32_t diffuse;
    uint32_t specular;
    float blendU, blendV;   // coordinate set 0: the blend graph (as the stage programmes sample it)
    float u, v;             // coordinate set 1: the drawn graph
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

// Move one edge of a quad to a limit, the texture coordinates along with it.
static void ClampEdge(float &edge, float other, float limit, bool low, float *moved[2], float *opposite[2])
{
    bool outside = low ? edge < limit : edge > limit;
    if (!outside || edge == other) {
        return;
    }
    float t = (limit - edge) / (other - edge);
    for (int i = 0; i < 2; ++i) {
        *moved[i] += (*opposite[i] - *moved[i]) * t;
    }
    edge = limit;
}

// Clip a quad to the area (edges in any order); false when nothing is left.
static bool ClipQuad(ScreenQuad &q, float x1, float y1, float x2, float y2)
{
    if (q.left > q.right) {
        std::swap(q.left, q.right);
        std::swap(q.u0, q.u1);
        std::swap(q.bu0, q.bu1);
    }
    if (q.top > q.bottom) {
        std::swap(q.top, q.bottom);
        std::swap(q.v0, q.v1);
        std::swap(q.bv0, q.bv1);
    }
    if (q.right <= x1 || q.left >= x2 || q.bottom <= y1 || q.top >= y2) {
        return false;
    }
    float *left[2] = {&q.u0, &q.bu0};
    float *right[2] = {&q.u1, &q.bu1};
    float *top[2] = {&q.v0, &q.bv0};
    float *bottom[2] = {&q.v1, &q.bv1};
    ClampEdge(q.left, q.right, x1, true, left, right);
    ClampEdge(q.right, q.left, x2, false, right, left);
    ClampEdge(q.top, q.bottom, y1, true, top, bottom);
    ClampEdge(q.bottom, q.top, y2, false, bottom, top);
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

// Stage one quad with the blend graph's coordinates beside the graph's.
static int StageBlendQuad(const ScreenQuad &q)
{
    auto *v = static_cast<BlendVertex *>(ReserveStagedVertices(STAGING_2D_BLEND, K_D3DPT_TRIANGLELIST, 6));
    if (v == nullptr) {
        return -1;
    }
    const uint32_t c = DrawVertexColor;
    auto set = [&](BlendVertex &out, bool right, bool bottom) {
        out = BlendVertex{right ? q.right : q.left, bottom ? q.bottom : q.top, Draw.z2D, 1.0f, c, 0xFFFFFFFFu,
                          right ? q.bu1 : q.bu0, bottom ? q.bv1 : q.bv0, right ? q.u1 : q.u0,
                          bottom ? q.v1 : q.v0};
    };
    set(v[0], false, false);
    set(v[1], true, false);
    set(v[2], false, true);
    set(v[3], true, true);
    set(v[4], false, true);
    set(v[5], true, false);
    return 0;
}

// The textures for one piece (and its blend piece); a change re-runs the stage set-up.
static void UsePieceTextures(const GraphDrawPiece &piece, const GraphDrawPiece *blendPiece)
{
    K_IDirect3DBaseTexture9 *texture = PieceTexture(piece);
    bool changed = false;
    if (blendPiece != nullptr && PieceTexture(*blendPiece) != StateCache.blendTexture) {
        StoreBlendTextureKey(PieceTexture(*blendPiece), blendPiece->piece->textureWidth,
                             blendPiece->piece->textureHeight);
        changed = true;
    }
    if (texture != StateCache.drawTexture) {
        StoreDrawTextureKey(texture);
        changed = true;
    }
    if (changed) {
        SetupBlendAndStages();
        StateCache.lastTexture = texture;
    }
}

static void UsePieceTexture(const GraphDrawPiece &piece)
{
    UsePieceTextures(piece, nullptr);
}

// The draw pieces of the selected blend graph when the device binds one, else null.
static GraphDrawPiece *SelectedBlendPieces(int *count)
{
    *count = 0;
    if (Draw.blendGraph <= 0 || StateCache.blendTexture == nullptr) {
        return nullptr;
    }
    GraphDrawPiece *pieces = GetGraphDrawPieces(GetGraphRecord(Draw.blendGraph, 0), count);
    return pieces != nullptr && *count > 0 ? pieces : nullptr;
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
    int blendCount = 0;
    GraphDrawPiece *blendPieces = SelectedBlendPieces(&blendCount);
    for (int i = 0; i < count; ++i) {
        const GraphDrawPiece &piece = pieces[i];
        const PieceRect r = DescribePiece(piece);
        ScreenQuad q = {originX + scaleX * r.left, originY + scaleY * r.top, originX + scaleX * r.right,
                        originY + scaleY * r.bottom, r.u0, r.v0, r.u1, r.v1, 0, 0, 0, 0};
        // The blend graph lies over the drawn one pixel for pixel; with another piece
        // layout its first piece serves every piece.
        const GraphDrawPiece *blendPiece =
            blendPieces == nullptr ? nullptr : &blendPieces[blendCount == count ? i : 0];
        if (blendPiece != nullptr) {
            const float bw = static_cast<float>(blendPiece->piece->textureWidth);
            const float bh = static_cast<float>(blendPiece->piece->textureHeight);
            const float dx = static_cast<float>(blendPiece->sourceX - blendPiece->destX);
            const float dy = static_cast<float>(blendPiece->sourceY - blendPiece->destY);
            q.bu0 = (r.left + dx) / bw;
            q.bu1 = (r.right + dx) / bw;
            q.bv0 = (r.top + dy) / bh;
            q.bv1 = (r.bottom + dy) / bh;
        }
        if (!ClipQuad(q, clip[0], clip[1], clip[2], clip[3])) {
            continue;
        }
        UsePieceTextures(piece, blendPiece);
        if ((blendPiece != nullptr ? StageBlendQuad(q) : StageQuad(q)) != 0) {
            return -1;
        }
    }
    return 0;
}

// Whether opposite sides of the quad (TL, TR, BL, BR) are parallel and equal to within a pixel.
static bool IsParallelogram(const float at[4][2])
{
    for (int k = 0; k < 2; ++k) {
        float top = at[1][k] - at[0][k];
        float bottom = at[3][k] - at[2][k];
        float left = at[2][k] - at[0][k];
        float right = at[3][k] - at[1][k];
        if (std::fabs(top - bottom) >= 1.0f || std::fabs(left - right) >= 1.0f) {
            return false;
        }
    }
    return true;
}

// A piece on a quad that is no parallelogram: an 8 x 8 grid of vertices, so the
// picture bends with the quad instead of folding along one diagonal.
static int DrawPieceAsGrid(const GraphDrawPiece &piece, const PieceRect &r, const float at[4][2])
{
    constexpr int kGridSide = 8;
    const float stepU = (r.u1 - r.u0) / static_cast<float>(piece.width);
    const float stepV = (r.v1 - r.v0) / static_cast<float>(piece.height);
    // Inner piece edges are pulled in a little so neighbouring pieces do not bleed in.
    const float u0 = r.u0 + (r.u0 < 1e-6f ? 0.0f : 0.001f * stepU);
    const float u1 = r.u1 - (r.u1 > 0.99999f ? 0.0f : 0.001f * stepU);
    const float v0 = r.v0 + (r.v0 < 1e-6f ? 0.0f : 0.001f * stepV);
    const float v1 = r.v1 - (r.v1 > 0.99999f ? 0.0f : 0.001f * stepV);
    TexturedVertex grid[kGridSide * kGridSide];
    const float last = static_cast<float>(kGridSide - 1);
    for (int row = 0; row < kGridSide; ++row) {
        const float t = static_cast<float>(row) / last;
        const float startX = at[0][0] + (at[2][0] - at[0][0]) * t;
        const float startY = at[0][1] + (at[2][1] - at[0][1]) * t;
        const float endX = at[1][0] + (at[3][0] - at[1][0]) * t;
        const float endY = at[1][1] + (at[3][1] - at[1][1]) * t;
        for (int column = 0; column < kGridSide; ++column) {
            const float s = static_cast<float>(column) / last;
            SetVertex(&grid[row * kGridSide + column], startX + (endX - startX) * s, startY + (endY - startY) * s,
                      u0 + (u1 - u0) * s, v0 + (v1 - v0) * t, DrawVertexColor);
        }
    }
    return DrawVertexGridStrips(kGridSide, grid, kGridSide);
}

// One piece on its quad (TL, TR, BL, BR): a grid for a bent quad, else two staged triangles.
static int DrawPieceOnQuad(const GraphDrawPiece &piece, const PieceRect &r, const float at[4][2])
{
    UsePieceTexture(piece);
    if (!IsParallelogram(at)) {
        return DrawPieceAsGrid(piece, r, at);
    }
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
    return 0;
}

// A graph with a blend graph on a quad of integer corners (TL, TR, BL, BR). An
// upright rectangle is a stretched draw; otherwise the graph's upper-left half
// follows the affine map through TL, TR and BL, the lower-right half the one
// through BR, BL and TR, each piece corner the map of the half it lies in.
static int DrawGraphOnQuadWithBlend(const int p[8], GraphRecord *record, int transparent)
{
    if (p[0] == p[4] && p[2] == p[6] && p[1] == p[3] && p[5] == p[7]) {
        return G_D3D_DrawGraphStretched(p[0], p[1], p[6], p[7], static_cast<float>(p[0]), static_cast<float>(p[1]),
                                        static_cast<float>(p[6]), static_cast<float>(p[7]), record, transparent, 1);
    }
    int count = 0;
    GraphDrawPiece *pieces = GetGraphDrawPieces(record, &count);
    int blendCount = 0;
    GraphDrawPiece *blendPieces = SelectedBlendPieces(&blendCount);
    if (pieces == nullptr || count <= 0 || blendPieces == nullptr) {
        return -1;
    }
    G_D3D_BeginSceneIfNeeded();
    PrepareDrawStatesIfNeeded(PieceTexture(pieces[0]), GraphDrawFlags(record, transparent, true));
    float c[4][2];
    for (int k = 0; k < 4; ++k) {
        c[k][0] = static_cast<float>(p[2 * k]) - 0.5f;
        c[k][1] = static_cast<float>(p[2 * k + 1]) - 0.5f;
    }
    const float w = static_cast<float>(record->width);
    const float h = static_cast<float>(record->height);
    for (int i = 0; i < count; ++i) {
        const GraphDrawPiece &piece = pieces[i];
        const GraphDrawPiece &blendPiece = blendPieces[blendCount == count ? i : 0];
        const float bw = static_cast<float>(blendPiece.piece->textureWidth);
        const float bh = static_cast<float>(blendPiece.piece->textureHeight);
        const float dx = static_cast<float>(blendPiece.sourceX - blendPiece.destX);
        const float dy = static_cast<float>(blendPiece.sourceY - blendPiece.destY);
        BlendVertex v[4];
        for (int k = 0; k < 4; ++k) {
            const GraphDrawVertex &at = piece.vertices[k];
            const float s = at.x / w;
            const float t = at.y / h;
            float x;
            float y;
            if (piece.cornerFlags[k] != 0) {
                x = c[0][0] + (c[1][0] - c[0][0]) * s + (c[2][0] - c[0][0]) * t;
                y = c[0][1] + (c[1][1] - c[0][1]) * s + (c[2][1] - c[0][1]) * t;
            } else {
                x = c[3][0] + (c[2][0] - c[3][0]) * (1.0f - s) + (c[1][0] - c[3][0]) * (1.0f - t);
                y = c[3][1] + (c[2][1] - c[3][1]) * (1.0f - s) + (c[1][1] - c[3][1]) * (1.0f - t);
            }
            v[k] = BlendVertex{x, y, Draw.z2D, 1.0f, DrawVertexColor, 0xFFFFFFFFu,
                               (at.x + dx) / bw, (at.y + dy) / bh, at.u, at.v};
        }
        UsePieceTextures(piece, &blendPiece);
        auto *out = static_cast<BlendVertex *>(ReserveStagedVertices(STAGING_2D_BLEND, K_D3DPT_TRIANGLELIST, 6));
        if (out == nullptr) {
            return -1;
        }
        // (TL, TR, BL) and (BR, BL, TR); a triangle turned the other way round swaps its last two.
        const int order[2][3] = {{0, 1, 2}, {3, 2, 1}};
        for (int tri = 0; tri < 2; ++tri) {
            const BlendVertex &a = v[order[tri][0]];
            const BlendVertex &b = v[order[tri][1]];
            const BlendVertex &d = v[order[tri][2]];
            const bool turned = (b.x - a.x) * (d.y - a.y) - (b.y - a.y) * (d.x - a.x) < 0.0f;
            out[tri * 3] = a;
            out[tri * 3 + 1] = turned ? d : b;
            out[tri * 3 + 2] = turned ? b : d;
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
    int blendCount = 0;
    if (SelectedBlendPieces(&blendCount) != nullptr) {
        int p[8];
        for (int i = 0; i < 8; ++i) {
            p[i] = static_cast<int>(corners[i]);
        }
        return DrawGraphOnQuadWithBlend(p, record, transparent);
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
        if (DrawPieceOnQuad(piece, r, at) != 0) {
            return -1;
        }
    }
    return 0;
}

} // namespace Korvo

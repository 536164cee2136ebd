// Draw entries of graphs: whole, stretched, mirrored, a source rectangle, on a
// free quadrilateral. The shared front end checks the graph (and the blend
// graph), then a graph with device textures goes to the Direct3D back end and
// one without to the software rasteriser on the draw target's image.

#include "graphics/public_api.h"

#include "core/math/float_math.h"
#include "core/math/rect_clip.h"
#include "graphics/draw/d3d_draw_back_ends.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/device/draw_settings.h"
#include "graphics/draw/draw_target.h"
#include "graphics/draw/software_blend_graph.h"
#include "graphics/graphs/graph_movie_hooks.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "softraster/draw_state.h"
#include "softraster/memimg_blit.h"
#include "softraster/shapes.h"

#include <algorithm>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// The graph to draw, or null: invalid, loading, or a blend graph smaller than it.
static GraphRecord *LookupDrawableGraph(int handle)
{
    GraphRecord *record = GetGraphRecord(handle, 0);
    if (record == nullptr || record->imageSet == nullptr) {
        return nullptr;
    }
    if (Draw.blendGraph > 0) {
        GraphRecord *blend = GetGraphRecord(Draw.blendGraph, 0);
        if (blend == nullptr || blend->width < record->width || blend->height < record->height) {
            return nullptr;
        }
    }
    return record;
}

// Common front end; the Direct3D back end receives the checked record, the
// software one the images to blit through the blend graph (transparent: the
// caller's flag; unscaled: the software draw is a plain blit).
template <typename DeviceDraw, typename SoftwareDraw>
static int RunGraphDraw(int handle, const RECT &affected, int transparent, bool unscaled, DeviceDraw deviceDraw,
                        SoftwareDraw softwareDraw)
{
    if (DrawEntriesIdle() != 0) {
        return 0;
    }
    GraphRecord *record = LookupDrawableGraph(handle);
    if (record == nullptr) {
        return -1;
    }
    WaitWhileAppInactive();
    if (record->movieHandle != -1 && GetGraphMovieHooks()->stepMoviePlayback != nullptr) {
        // The frame due now goes into the graph first.
        GetGraphMovieHooks()->stepMoviePlayback(record->movieHandle);
        record = LookupDrawableGraph(handle);
        if (record == nullptr) {
            return -1;
        }
    }
    if (IsGraphDeviceTextured(record) != 0) {
        return RunDrawBackEnd(affected, SubtractEmulationNeeded(true), [&] { return deviceDraw(record); });
    }
    MEMIMG *source = GetGraphMemImg(record);
    MEMIMG *target = GetDrawTargetMemImg();
    SoftwareBlendImages images;
    if (source == nullptr || target == nullptr ||
        PrepareSoftwareBlendImages(target, source, transparent, unscaled, &images) != 0) {
        return -1;
    }
    int result = RunDrawBackEnd(affected, false, [&] { return softwareDraw(target, images); });
    ReleaseSoftwareBlendImages(&images);
    return result;
}

static RECT SortedRect(int x1, int y1, int x2, int y2)
{
    return RECT{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// Two textured triangles over the quad P1 (top left), P2 (top right), P3 (bottom right), P4 (bottom left).
static int RasterGraphQuadOnTargetMemImg(MEMIMG *target, const SoftwareBlendImages &images, const int p[8])
{
    const MEMIMG *source = images.source;
    const MEMIMG *blend = images.blend;
    const int w = source->width;
    const int h = source->height;
    const MemImgTriangleVertex first[3] = {{p[0], p[1], 0, 0}, {p[2], p[3], w, 0}, {p[6], p[7], 0, h}};
    const MemImgTriangleVertex second[3] = {{p[2], p[3], w, 0}, {p[6], p[7], 0, h}, {p[4], p[5], w, h}};
    RasterTriangleMemImg(target, source, first, 0, blend, 0);
    RasterTriangleMemImg(target, source, second, 0, blend, 0);
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Draw a graph with its top-left corner at (x, y)
int DrawGraphAtPoint(int x, int y, int handle, int transparent)
{
    if (GraphicsState.started == 0) {
        return -1;
    }
    GraphRecord *peek = GetGraphRecord(handle, 0);
    RECT affected = {x, y, x, y};
    if (peek != nullptr) {
        affected = RECT{x, y, x + peek->width, y + peek->height};
    }
    return RunGraphDraw(
        handle, affected, transparent, true,
        [&](GraphRecord *record) { return G_D3D_DrawGraphAtPoint(x, y, record, transparent); },
        [&](MEMIMG *target, const SoftwareBlendImages &images) {
            BlitSoftwareBlendImages(target, images, x, y);
            return 0;
        });
}

// Draw a graph stretched over a rectangle; x2 < x1 mirrors, y2 < y1 flips
int DrawGraphStretched(int x1, int y1, int x2, int y2, int handle, int transparent)
{
    return RunGraphDraw(
        handle, SortedRect(x1, y1, x2, y2), transparent, false,
        [&](GraphRecord *record) {
            return G_D3D_DrawGraphStretched(x1, y1, x2, y2, static_cast<float>(x1), static_cast<float>(y1),
                                            static_cast<float>(x2), static_cast<float>(y2), record, transparent, 1);
        },
        [&](MEMIMG *target, const SoftwareBlendImages &images) {
            const int rect[4] = {x1, y1, x2, y2};
            StretchBlendBlitMemImg(target, images.source, rect, images.transparent, images.blend);
            return 0;
        });
}

// The same with float corners (the software road takes them truncated)
int DrawGraphStretchedF(float x1, float y1, float x2, float y2, int handle, int transparent)
{
    const int ix1 = TruncateFloatToInt(x1);
    const int iy1 = TruncateFloatToInt(y1);
    const int ix2 = TruncateFloatToInt(x2);
    const int iy2 = TruncateFloatToInt(y2);
    return RunGraphDraw(
        handle, SortedRect(ix1, iy1, ix2, iy2), transparent, false,
        [&](GraphRecord *record) {
            return G_D3D_DrawGraphStretched(ix1, iy1, ix2, iy2, x1, y1, x2, y2, record, transparent, 0);
        },
        [&](MEMIMG *target, const SoftwareBlendImages &images) {
            const int rect[4] = {ix1, iy1, ix2, iy2};
            StretchBlendBlitMemImg(target, images.source, rect, images.transparent, images.blend);
            return 0;
        });
}

// Draw a graph mirrored left to right at (x, y)
int DrawGraphMirrored(int x, int y, int handle, int transparent)
{
    GraphRecord *record = GetGraphRecord(handle, 0);
    if (record == nullptr) {
        return -1;
    }
    return DrawGraphStretched(x + record->width, y, x, y + record->height, handle, transparent);
}

// Draw the part (srcX, srcY, width, height) of a graph at (x, y), optionally mirrored
int DrawGraphSourceRect(int x, int y, int srcX, int srcY, int width, int height, int handle, int transparent,
                        int mirror)
{
    if (width <= 0 || height <= 0) {
        return -1;
    }
    const RECT saved = Draw.drawArea;
    const int savedEmpty = Draw.drawAreaEmpty;
    RECT part = {x, y, x + width, y + height};
    ClipRectToRect(&part, &saved);
    // Narrowed without touching the device: graph quads are clipped against the area
    // on the CPU, and a viewport or scissor change would end the staged batch (one
    // flush per glyph of every string).
    StoreDrawAreaForCpuClipping(part);
    Draw.drawAreaEmpty = (part.left >= part.right || part.top >= part.bottom) ? 1 : 0;
    int result;
    if (mirror == 0) {
        result = DrawGraphAtPoint(x - srcX, y - srcY, handle, transparent);
    } else {
        GraphRecord *record = GetGraphRecord(handle, 0);
        result = record == nullptr
                     ? -1
                     : DrawGraphMirrored(x + srcX + width - record->width, y - srcY, handle, transparent);
    }
    StoreDrawAreaForCpuClipping(saved);
    Draw.drawAreaEmpty = savedEmpty;
    return result;
}

// Draw the part (srcX, srcY, width, height) of a graph stretched over a rectangle
int DrawGraphSourceRectStretchedF(float x1, float y1, float x2, float y2, int srcX, int srcY, int width, int height,
                                  int handle, int transparent)
{
    if (width <= 0 || height <= 0) {
        return -1;
    }
    int part = CreateSubGraph(srcX, srcY, width, height, handle);
    if (part < 0) {
        return -1;
    }
    // NOTE: the draw's own result is passed on: a refused draw is no success.
    int result = DrawGraphStretchedF(x1, y1, x2, y2, part, transparent);
    DestroyGraphHandle(part, 0);
    return result;
}

// Draw a graph onto a free quadrilateral: top left, top right, bottom right, bottom left
int DrawGraphOnQuadF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int handle,
                     int transparent)
{
    const float floats[8] = {x1, y1, x2, y2, x3, y3, x4, y4};
    int p[8];
    for (int i = 0; i < 8; ++i) {
        p[i] = TruncateFloatToInt(floats[i]);
    }
    // The bounding box starts from (0xffffff, 0xffffff) - (0, 0): its minimum is at
    // most 0xffffff and its maximum at least 0.
    RECT affected = {std::min({0xFFFFFF, p[0], p[2], p[4], p[6]}), std::min({0xFFFFFF, p[1], p[3], p[5], p[7]}),
                     std::max({0, p[0], p[2], p[4], p[6]}), std::max({0, p[1], p[3], p[5], p[7]})};
    // The quad's triangles are drawn without the transparent flag.
    return RunGraphDraw(
        handle, affected, 0, false,
        [&](GraphRecord *record) {
            // The back end takes top left, top right, bottom left, bottom right.
            const float corners[8] = {x1, y1, x2, y2, x4, y4, x3, y3};
            return G_D3D_DrawGraphOnQuad(corners, record, transparent);
        },
        [&](MEMIMG *target, const SoftwareBlendImages &images) {
            return RasterGraphQuadOnTargetMemImg(target, images, p);
        });
}

} // namespace Korvo

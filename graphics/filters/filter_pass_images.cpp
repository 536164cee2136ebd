// The CPU road's images: graph rectangles read into ARGB images, and the
// result written back through the graph update.

#include "graphics/filters/graph_filters.h"

#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/format_slots.h"
#include "graphics/graphs/graph_record.h"
#include "image/pixel_access.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Lock an area of a texture piece's level 0 for reading: directly when its pool
// allows, else through a render target and a system-memory copy (*copy is then
// the surface to unlock and release). 0 or -1
static int LockPieceForReading(const GraphTexturePiece &piece, const RECT &area, K_D3DLOCKED_RECT *locked,
                               K_IDirect3DSurface9 **copy, K_D3DFORMAT *format)
{
    K_D3DSURFACE_DESC desc = {};
    *copy = nullptr;
    if (piece.surface == nullptr || D3DSurf_GetDesc(piece.surface, &desc) < 0) {
        return -1;
    }
    *format = desc.Format;
    if (D3DSurf_LockRect(piece.surface, locked, &area, K_D3DLOCK_READONLY) >= 0) {
        return 0;
    }
    const UINT width = static_cast<UINT>(area.right - area.left);
    const UINT height = static_cast<UINT>(area.bottom - area.top);
    K_IDirect3DSurface9 *target = nullptr;
    int result = -1;
    if (D3DDev_CreateRenderTarget(width, height, desc.Format, 0, 0, FALSE, &target) >= 0 &&
        D3DDev_CreateOffscreenPlainSurface(width, height, desc.Format, K_D3DPOOL_SYSTEMMEM, copy) >= 0 &&
        D3DDev_StretchRect(piece.surface, &area, target, nullptr, K_D3DTEXF_POINT) >= 0 &&
        D3DDev_GetRenderTargetData(target, *copy) >= 0 && D3DSurf_LockRect(*copy, locked, nullptr, K_D3DLOCK_READONLY) >= 0) {
        result = 0;
    }
    if (target != nullptr) {
        D3DRes_Release(target);
    }
    if (result != 0 && *copy != nullptr) {
        D3DRes_Release(*copy);
        *copy = nullptr;
    }
    return result;
}

// Copy the part of one draw piece that overlaps rect (graph coordinates) into out
static int ReadDrawPiece(const GraphDrawPiece &piece, const RECT &rect, RasterImage *out)
{
    const int left = piece.destX > rect.left ? piece.destX : rect.left;
    const int top = piece.destY > rect.top ? piece.destY : rect.top;
    const int right = piece.destX + piece.width < rect.right ? piece.destX + piece.width : rect.right;
    const int bottom = piece.destY + piece.height < rect.bottom ? piece.destY + piece.height : rect.bottom;
    if (left >= right || top >= bottom) {
        return 0;
    }
    if (piece.piece == nullptr) {
        return -1;
    }
    RECT area = {piece.sourceX + left - piece.destX, piece.sourceY + top - piece.destY,
                 piece.sourceX + right - piece.destX, piece.sourceY + bottom - piece.destY};
    K_D3DLOCKED_RECT locked = {};
    K_IDirect3DSurface9 *copy = nullptr;
    K_D3DFORMAT format = K_D3DFMT_UNKNOWN;
    if (LockPieceForReading(*piece.piece, area, &locked, &copy, &format) != 0) {
        return -1;
    }
    const ColorFormatDesc *desc = GetD3DFormatColorDesc(format);
    if (desc != nullptr) {
        RasterImage view = {};
        view.format = *desc;
        view.width = right - left;
        view.height = bottom - top;
        view.pitch = locked.Pitch;
        view.pixels = locked.pBits;
        BlitImageRectClipped(0, 0, view.width, view.height, left - rect.left, top - rect.top, &view, out);
    }
    D3DSurf_UnlockRect(copy != nullptr ? copy : piece.piece->surface);
    if (copy != nullptr) {
        D3DRes_Release(copy);
    }
    return desc != nullptr ? 0 : -1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// A rectangle of a graph as a new ARGB image
int ReadGraphRectToImage(int graph, RasterImage *out, const RECT *rect)
{
    GraphRecord *record = GetGraphRecord(graph, 0);
    if (record == nullptr || out == nullptr) {
        return -1;
    }
    RECT area = rect != nullptr ? *rect : RECT{0, 0, record->width, record->height};
    if (AllocArgb32Image(area.right - area.left, area.bottom - area.top, out) != 0) {
        return -1;
    }
    if (IsGraphDeviceTextured(record) != 0) {
        // What is staged may still draw into the graph; reads come after it.
        FlushStagedVertices(0);
        G_D3D_EndSceneIfBegun();
        int count = 0;
        const GraphDrawPiece *pieces = GetGraphDrawPieces(record, &count);
        for (int i = 0; i < count; ++i) {
            if (ReadDrawPiece(pieces[i], area, out) != 0) {
                FreeImageRecord(out);
                return -1;
            }
        }
        return 0;
    }
    MEMIMG *image = GetGraphMemImg(record);
    if (image == nullptr || image->body == nullptr) {
        FreeImageRecord(out);
        return -1;
    }
    RasterImage view = {};
    view.format = *image->body->format;
    view.width = image->width;
    view.height = image->height;
    view.pitch = image->body->pitch;
    view.pixels = image->pixels;
    BlitImageRectClipped(area.left, area.top, out->width, out->height, 0, 0, &view, out);
    return 0;
}

int LoadFilterPassImages(GraphFilterPass *pass, int newOutput, int width, int height)
{
    const FilterRects &r = pass->rects;
    if (width < 0 || height < 0) {
        width = r.x2 - r.x1;
        height = r.y2 - r.y1;
    }
    pass->outputWidth = width;
    pass->outputHeight = height;
    RECT source = {r.x1, r.y1, r.x2, r.y2};
    RECT destination = {r.destX, r.destY, r.destX + width, r.destY + height};
    int failed = ReadGraphRectToImage(pass->source, &pass->sourceImage, &source);
    if (failed == 0 && pass->blendFlag != 0) {
        failed = ReadGraphRectToImage(pass->blendGraph, &pass->blendImage, &source);
    }
    if (failed == 0) {
        failed = newOutput == 0 ? ReadGraphRectToImage(pass->target, &pass->outputImage, &destination)
                                : AllocArgb32Image(width, height, &pass->outputImage);
    }
    if (failed != 0) {
        FreeFilterPassImages(pass);
        return -1;
    }
    return 0;
}

int StoreFilterPassResult(GraphFilterPass *pass)
{
    FreeImageRecord(&pass->sourceImage);
    FreeImageRecord(&pass->blendImage);
    RECT whole = {0, 0, pass->outputImage.width, pass->outputImage.height};
    int result = TransferImageRectToGraph(pass->target, &whole, pass->rects.destX, pass->rects.destY,
                                          &pass->outputImage, nullptr, 0, 0, 0, nullptr);
    FreeImageRecord(&pass->outputImage);
    return result;
}

void FreeFilterPassImages(GraphFilterPass *pass)
{
    FreeImageRecord(&pass->sourceImage);
    FreeImageRecord(&pass->blendImage);
    FreeImageRecord(&pass->outputImage);
}

} // namespace Korvo

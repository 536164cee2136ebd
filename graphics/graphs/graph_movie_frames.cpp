// Movie frames into the graph that shows the movie: a frame held in a YUV
// surface is stretched by the device into each texture piece (the device
// converts the colours); a frame image is transferred like any other image.

#include "graphics/graphs/graph_load.h"

#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/graphs/graph_image_set.h"

#include <cstddef>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Each texture piece takes its own part of the frame: a frame larger than one
// piece is spread over the pieces, not squeezed into the first.
static int StretchSurfaceIntoPieces(const GraphRecord *record, K_IDirect3DSurface9 *surface)
{
    const GraphImageSet *set = record->imageSet;
    if (set == nullptr || set->params.deviceTexture == 0 || set->pieceCount <= 0 || G_D3D_HasDevice() == 0) {
        return -1;
    }
    FlushStagedVertices(0);
    for (int i = 0; i < set->pieceCount; ++i) {
        const GraphTexturePiece &piece = set->pieces[i];
        RECT source = {piece.x - record->x, piece.y - record->y, piece.x - record->x + piece.usedWidth,
                       piece.y - record->y + piece.usedHeight};
        if (source.right > record->width) {
            source.right = record->width;
        }
        if (source.bottom > record->height) {
            source.bottom = record->height;
        }
        if (source.left < 0 || source.top < 0 || source.right <= source.left || source.bottom <= source.top) {
            continue; // a piece outside the graph's rectangle
        }
        if (piece.surface == nullptr) {
            return -1;
        }
        RECT dest = {0, 0, source.right - source.left, source.bottom - source.top};
        if (D3DDev_StretchRect(surface, &source, piece.surface, &dest, K_D3DTEXF_NONE) != 0) {
            return -1;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int TransferMovieFrameToGraph(int graphHandle, const RasterImage *frame, K_IDirect3DSurface9 *yuvSurface,
                              int alphaRightHalf)
{
    GraphRecord *record = GetGraphRecord(graphHandle, 0);
    if (record == nullptr) {
        return -1;
    }
    if (yuvSurface != nullptr) {
        return StretchSurfaceIntoPieces(record, yuvSurface);
    }
    if (frame == nullptr) {
        return -1;
    }
    int width = alphaRightHalf != 0 ? frame->width / 2 : frame->width;
    RECT source = {0, 0, width, frame->height};
    if (alphaRightHalf == 0) {
        return TransferImageRectToGraph(graphHandle, &source, 0, 0, frame, nullptr, 0, 0, 0, nullptr);
    }
    // The right half as an image of its own over the same pixels.
    RasterImage alpha = *frame;
    alpha.width = width;
    alpha.pixels = static_cast<uint8_t *>(frame->pixels) + static_cast<ptrdiff_t>(width) * frame->format.bytesPerPixel;
    return TransferImageRectToGraph(graphHandle, &source, 0, 0, frame, &alpha, 0, 0, 0, nullptr);
}

} // namespace Korvo

// The start-up check of in-place filter rendering: the Invert filter run on a
// drawable graph with in-place rendering allowed, its pixels read back.

#include "graphics/filters/filter_in_place_check.h"

#include "graphics/filters/filter_operation.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/public_api.h"
#include "image/pixel_access.h"
#include "image/public_api.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

void (*FilterInPlaceReadBackHook)(RasterImage *readBack) = nullptr;

static const int kDiagonalColours[4][3] = {{204, 168, 80}, {128, 100, 245}, {66, 222, 143}, {34, 255, 78}};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Whether the diagonal of the read-back holds the inverse of the colours written
// (each channel and its inverse sum to 255, one step either way allowed)
static int DiagonalIsInverted(RasterImage &read)
{
    for (int i = 0; i < 4; ++i) {
        int rgb[3] = {0, 0, 0};
        ReadImagePixelRgba(&read, i, i, &rgb[0], &rgb[1], &rgb[2], nullptr);
        for (int c = 0; c < 3; ++c) {
            const int sum = kDiagonalColours[i][c] + rgb[c];
            if (sum < 254 || sum > 256) {
                return 0;
            }
        }
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int CheckFilterRendersInPlace()
{
    GraphCreateSettings settings;
    CaptureGraphCreateSettings(&settings);
    settings.drawable = 1;
    settings.drawableAlpha = 0;
    const int graph = CreateBlankGraphFromSettings(&settings, 8, 8, 0, 0, nullptr);
    RasterImage written = {};
    RasterImage read = {};
    int usable = 0;
    if (graph > 0 && AllocXrgb32Image(8, 8, &written) == 0 && AllocXrgb32Image(8, 8, &read) == 0) {
        for (int i = 0; i < 4; ++i) {
            WriteImagePixelRgba(&written, i, i, kDiagonalColours[i][0], kDiagonalColours[i][1],
                                kDiagonalColours[i][2], 255);
        }
        UploadImagesToGraph(&written, nullptr, 0, 0, graph, 0, nullptr);
        const int kept = GraphicsState.filterInPlaceUsable;
        GraphicsState.filterInPlaceUsable = 1;
        ApplyGraphFilter(graph, GRAPH_FILTER_INVERT);
        GraphicsState.filterInPlaceUsable = kept;
        const RECT whole = {0, 0, 8, 8};
        RasterImage locked = {};
        if (LockDrawScreenBuffer(&whole, &locked, graph, 1, 0) == 0) {
            BlitWholeImageAt(0, 0, &locked, &read);
            UnlockDrawScreenBuffer();
            if (FilterInPlaceReadBackHook != nullptr) {
                FilterInPlaceReadBackHook(&read);
            }
            usable = DiagonalIsInverted(read);
        }
    }
    if (graph > 0) {
        DestroyGraphHandle(graph, 0);
    }
    FreeImageRecord(&written);
    FreeImageRecord(&read);
    return usable;
}

} // namespace Korvo

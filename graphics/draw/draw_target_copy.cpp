// Copies between draw targets and graphs, and the sub back buffer the screens
// may draw into instead of the device back buffer.

#include "graphics/draw/draw_target.h"

#include "core/public_api.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/device/draw_settings.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/screen_request.h"
#include "graphics/state/transforms.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool IsScreenId(int target)
{
    return target >= -5 && target <= -2;
}

// Through a lock of the source and an image transfer (destinations that cannot take a device copy).
static int CopyThroughLock(int source, const RECT &rect, int destX, int destY, int destination)
{
    RasterImage image = {};
    if (LockDrawScreenBuffer(&rect, &image, source, 1, 0) != 0) {
        return -1;
    }
    RECT whole = {0, 0, image.width, image.height};
    int result = TransferImageRectToGraph(destination, &whole, destX, destY, &image, nullptr, 0, 0, 0, nullptr);
    UnlockDrawScreenBuffer();
    return result < 0 ? -1 : 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

bool ScreensReadByLock()
{
    return DeviceCaps.backBufferLock != 0 && DeviceSettings.multiSampleType == 0;
}

// A render target of the main size in the screen format; 0 or -1
int AllocSubBackBuffer()
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    if (ScreenSubBackBuffer != nullptr) {
        D3DRes_Release(ScreenSubBackBuffer);
        ScreenSubBackBuffer = nullptr;
    }
    int width = 0;
    int height = 0;
    GetMainScreenSize(&width, &height);
    K_IDirect3DSurface9 *surface = nullptr;
    if (D3DDev_CreateRenderTarget(static_cast<UINT>(width), static_cast<UINT>(height), DeviceCaps.backBufferFormat,
                                  static_cast<UINT>(DeviceSettings.multiSampleType),
                                  static_cast<DWORD>(DeviceSettings.multiSampleQuality),
                                  ScreensReadByLock() ? TRUE : FALSE, &surface) < 0 ||
        surface == nullptr) {
        return AppendLogText("サブバックバッファの作成に失敗しました\n");
    }
    ScreenSubBackBuffer = surface;
    return 0;
}

int UseSubBackBuffer()
{
    if (ScreenSubBackBuffer != nullptr) {
        return 0;
    }
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    FlushStagedVertices(0);
    G_D3D_EndSceneIfBegun();
    if (AllocSubBackBuffer() != 0) {
        return -1;
    }
    D3DDev_StretchRect(ScreenTargetSurface, nullptr, ScreenSubBackBuffer, nullptr, K_D3DTEXF_NONE);
    // A graph target keeps drawing into its graph; the screens move over at once.
    int target = GetSelectedDrawTarget();
    if (target >= -5 && target <= -2) {
        SetRenderTargetSurface(ScreenSubBackBuffer, 0);
        const RECT &area = Draw.drawArea;
        ApplyViewportRect(area.left, area.top, area.right, area.bottom);
    }
    return 0;
}

// Copy (x1, y1)-(x2, y2) of a screen or graph to (destX, destY) of a graph; 0 or -1
int CopyDrawTargetToGraph(int source, int x1, int y1, int x2, int y2, int destX, int destY, int destination)
{
    GraphRecord *dest = GetGraphRecord(destination, 0);
    int sourceWidth = 0;
    int sourceHeight = 0;
    if (GraphicsState.started == 0 || dest == nullptr || dest->imageSet == nullptr ||
        GetTargetSize(source, &sourceWidth, &sourceHeight) != 0) {
        return -1;
    }
    if (GraphicsState.direct3DModeActive != 0 && G_D3D_HasDevice() != 0) {
        FlushStagedVertices(0);
        G_D3D_EndSceneIfBegun();
    }
    const int width = x2 - x1;
    const int height = y2 - y1;
    if (x1 < 0 || y1 < 0 || width <= 0 || height <= 0 || x2 > sourceWidth || y2 > sourceHeight || destX < 0 ||
        destY < 0 || destX + width > dest->width || destY + height > dest->height) {
        return -1;
    }
    const RECT rect = {x1, y1, x2, y2};
    if (IsGraphDeviceTextured(dest) == 0) {
        MEMIMG *from = GetTargetMemImg(source);
        MEMIMG *to = GetGraphMemImg(dest);
        if (from == nullptr || to == nullptr) {
            return -1;
        }
        return CopyMemImgRect(to, from, &rect, destX, destY) < 0 ? -1 : 0;
    }
    K_IDirect3DSurface9 *from = GetDrawTargetSurface(source, 0);
    RECT fromRect = rect;
    if (!IsScreenId(source)) {
        // A graph's pixels sit at its place inside its first piece.
        GraphRecord *record = GetGraphRecord(source, 0);
        if (record != nullptr && record->imageSet != nullptr && record->imageSet->pieceCount == 1) {
            ResolveMultisampleSurface(&record->imageSet->pieces[0]);
            fromRect.left += record->x;
            fromRect.right += record->x;
            fromRect.top += record->y;
            fromRect.bottom += record->y;
        } else {
            from = nullptr;
        }
    }
    GraphTexturePiece *piece = dest->imageSet->pieceCount > 0 ? &dest->imageSet->pieces[0] : nullptr;
    const int pieceX = dest->x + destX;
    const int pieceY = dest->y + destY;
    if (dest->imageSet->params.drawable != 0 && from != nullptr && piece != nullptr && piece->surface != nullptr &&
        piece->surface != from && pieceX + width <= piece->usedWidth && pieceY + height <= piece->usedHeight) {
        const RECT to = {pieceX, pieceY, pieceX + width, pieceY + height};
        return D3DDev_StretchRect(from, &fromRect, piece->surface, &to, K_D3DTEXF_NONE) < 0 ? -1 : 0;
    }
    return CopyThroughLock(source, rect, destX, destY, destination);
}

// Copy (x1, y1)-(x2, y2) of the current target into a graph of exactly that size; 0 or -1
int CopyDrawTargetRectToGraph(int x1, int y1, int x2, int y2, int destination)
{
    GraphRecord *dest = GetGraphRecord(destination, 0);
    if (dest == nullptr || dest->width != x2 - x1 || dest->height != y2 - y1) {
        return -1;
    }
    return CopyDrawTargetToGraph(GetSelectedDrawTarget(), x1, y1, x2, y2, 0, 0, destination);
}

} // namespace Korvo

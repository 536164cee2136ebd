// LockDrawScreenBuffer: the pixels of the draw target, readable as a RasterImage.
// The software road points into the target image; the Direct3D road locks the
// surface itself when the device allows it, else reads a copy back into system
// memory.

#include "graphics/public_api.h"

#include "core/public_api.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/draw/draw_target.h"
#include "graphics/device/format_slots.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static int ScreenLocked = 0;
static K_IDirect3DSurface9 *LockedSurface = nullptr;
static K_IDirect3DSurface9 *LockCopySurface = nullptr;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void OffsetRectBy(RECT *rect, int dx, int dy)
{
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
}

// Copy the rectangle of a render target into a system-memory surface and lock that.
static int LockThroughCopy(K_IDirect3DSurface9 *surface, K_D3DFORMAT format, const RECT &rect, K_D3DLOCKED_RECT *locked)
{
    UINT width = static_cast<UINT>(rect.right - rect.left);
    UINT height = static_cast<UINT>(rect.bottom - rect.top);
    K_IDirect3DSurface9 *target = nullptr;
    if (D3DDev_CreateRenderTarget(width, height, format, 0, 0, FALSE, &target) < 0 || target == nullptr) {
        return AppendLogText("バックバッファロック用描画可能サーフェスの作成に失敗しました\n");
    }
    if (D3DDev_CreateOffscreenPlainSurface(width, height, format, K_D3DPOOL_SYSTEMMEM, &LockCopySurface) < 0 ||
        LockCopySurface == nullptr) {
        D3DRes_Release(target);
        LockCopySurface = nullptr;
        return AppendLogText("バックバッファロック用システムメモリサーフェスの作成に失敗しました\n");
    }
    RECT whole = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    // A failed copy leaves the system surface undefined: no lock then.
    bool copied = D3DDev_StretchRect(surface, &rect, target, &whole, K_D3DTEXF_NONE) >= 0 &&
                  D3DDev_GetRenderTargetData(target, LockCopySurface) >= 0;
    D3DRes_Release(target);
    if (!copied || D3DSurf_LockRect(LockCopySurface, locked, nullptr, K_D3DLOCK_READONLY) < 0) {
        D3DRes_Release(LockCopySurface);
        LockCopySurface = nullptr;
        return -1;
    }
    LockedSurface = LockCopySurface;
    return 0;
}

static int LockOnDevice(int target, int pieceIndex, RECT rect, RasterImage *out, int readOnly)
{
    K_IDirect3DSurface9 *surface = GetDrawTargetSurface(target, pieceIndex);
    if (target >= 0) {
        // A graph's pixels sit at its place inside its first piece.
        GraphRecord *record = GetGraphRecord(target, 0);
        if (record == nullptr || record->imageSet == nullptr) {
            return -1;
        }
        if (pieceIndex == 0) {
            OffsetRectBy(&rect, record->x, record->y);
        }
    }
    K_D3DSURFACE_DESC desc = {};
    if (surface == nullptr || D3DSurf_GetDesc(surface, &desc) < 0) {
        return -1;
    }
    const ColorFormatDesc *format = GetD3DFormatColorDesc(desc.Format);
    if (format == nullptr) {
        return -1;
    }
    K_D3DLOCKED_RECT locked = {};
    bool directLock = DeviceCaps.backBufferLock != 0 && surface == ScreenTargetSurface;
    if (directLock &&
        D3DSurf_LockRect(surface, &locked, &rect, readOnly != 0 ? static_cast<DWORD>(K_D3DLOCK_READONLY) : 0u) >= 0) {
        LockedSurface = surface;
    } else if (LockThroughCopy(surface, desc.Format, rect, &locked) != 0) {
        return -1;
    }
    out->format = *format;
    out->pitch = locked.Pitch;
    out->pixels = locked.pBits;
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Make a rectangle of the draw target readable; 0 or -1
int LockDrawScreenBuffer(const RECT *rect, RasterImage *out, int target, int readOnly, int piece)
{
    if (ScreenLocked != 0 || out == nullptr || rect == nullptr || GraphicsState.started == 0) {
        return -1;
    }
    if (target == -1) {
        target = GetSelectedDrawTarget();
    }
    if (GraphicsState.direct3DModeActive != 0) {
        FlushStagedVertices(0);
        G_D3D_EndSceneIfBegun();
    }
    int width = 0;
    int height = 0;
    if (GetTargetSize(target, &width, &height) != 0 || rect->left < 0 || rect->left >= rect->right ||
        rect->right > width || rect->top < 0 || rect->top >= rect->bottom || rect->bottom > height) {
        return -1;
    }
    std::memset(out, 0, sizeof(*out));
    if (GraphicsState.direct3DModeActive != 0) {
        if (G_D3D_HasDevice() == 0 || LockOnDevice(target, piece, *rect, out, readOnly) != 0) {
            return -1;
        }
    } else {
        MEMIMG *image = GetTargetMemImg(target);
        if (image == nullptr) {
            return -1;
        }
        out->format = *image->body->format;
        out->pitch = image->body->pitch;
        out->pixels = image->pixels + rect->top * image->body->pitch + rect->left * out->format.bytesPerPixel;
    }
    out->width = rect->right - rect->left;
    out->height = rect->bottom - rect->top;
    out->mipLevelCount = 0;
    ScreenLocked = 1;
    return 0;
}

// End the lock; 0
int UnlockDrawScreenBuffer()
{
    if (LockedSurface != nullptr) {
        D3DSurf_UnlockRect(LockedSurface);
        if (LockedSurface == LockCopySurface) {
            D3DRes_Release(LockCopySurface);
            LockCopySurface = nullptr;
        }
        LockedSurface = nullptr;
    }
    ScreenLocked = 0;
    return 0;
}

} // namespace Korvo

// LockDrawScreenBuffer: the pixels of the draw target, readable as a RasterImage.
// The software road points into the target image. On the Direct3D road the
// screens' surface is locked itself when the start-up timing found locking the
// faster read (the surface is then made lockable); any other surface is read
// into a system-memory copy that is kept from one read to the next, since
// making the copy's surfaces costs far more than the read itself.

#include "graphics/public_api.h"

#include "core/public_api.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/draw/draw_target.h"
#include "graphics/device/format_slots.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/screen_request.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// A system-memory copy of one size and format, and the plain render target a
// surface that cannot be read back directly (multisampled, or not a render
// target) is first copied into.
struct KeptReadCopy {
    K_IDirect3DSurface9 *system;
    K_IDirect3DSurface9 *staging;
    UINT width;
    UINT height;
    K_D3DFORMAT format;
};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static int ScreenLocked = 0;
static K_IDirect3DSurface9 *LockedSurface = nullptr;
// One copy for surfaces of the screen's size, one for the rest, so that reading
// a graph now and then does not throw the screen's copy away.
static KeptReadCopy ScreenReadCopy = {};
static KeptReadCopy OtherReadCopy = {};

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

static void ReleaseReadCopy(KeptReadCopy *copy)
{
    if (copy->system != nullptr) {
        D3DRes_Release(copy->system);
    }
    if (copy->staging != nullptr) {
        D3DRes_Release(copy->staging);
    }
    *copy = KeptReadCopy{};
}

// The kept copy for a surface of this description, made (again) when it does
// not match; null with the failure logged.
static KeptReadCopy *ReadCopyFor(const K_D3DSURFACE_DESC &desc)
{
    int mainWidth = 0;
    int mainHeight = 0;
    GetMainScreenSize(&mainWidth, &mainHeight);
    bool screenSized = desc.Width == static_cast<UINT>(mainWidth) && desc.Height == static_cast<UINT>(mainHeight);
    KeptReadCopy *copy = screenSized ? &ScreenReadCopy : &OtherReadCopy;
    if (copy->system != nullptr && copy->width == desc.Width && copy->height == desc.Height &&
        copy->format == desc.Format) {
        return copy;
    }
    ReleaseReadCopy(copy);
    if (D3DDev_CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, K_D3DPOOL_SYSTEMMEM,
                                           &copy->system) < 0 ||
        copy->system == nullptr) {
        copy->system = nullptr;
        AppendLogText("バックバッファロック用システムメモリサーフェスの作成に失敗しました\n");
        return nullptr;
    }
    copy->width = desc.Width;
    copy->height = desc.Height;
    copy->format = desc.Format;
    return copy;
}

// Only a plain render target can be read back as it is.
static bool NeedsStagingCopy(const K_D3DSURFACE_DESC &desc)
{
    return desc.MultiSampleType != 0 || (desc.Usage & K_D3DUSAGE_RENDERTARGET) == 0;
}

// Read the whole surface into its kept system-memory copy and lock the
// rectangle of that.
static int LockThroughCopy(K_IDirect3DSurface9 *surface, const K_D3DSURFACE_DESC &desc, const RECT &rect,
                           K_D3DLOCKED_RECT *locked)
{
    KeptReadCopy *copy = ReadCopyFor(desc);
    if (copy == nullptr) {
        return -1;
    }
    K_IDirect3DSurface9 *source = surface;
    if (NeedsStagingCopy(desc)) {
        if (copy->staging == nullptr &&
            (D3DDev_CreateRenderTarget(desc.Width, desc.Height, desc.Format, 0, 0, FALSE, &copy->staging) < 0 ||
             copy->staging == nullptr)) {
            copy->staging = nullptr;
            return AppendLogText("バックバッファロック用描画可能サーフェスの作成に失敗しました\n");
        }
        if (D3DDev_StretchRect(surface, nullptr, copy->staging, nullptr, K_D3DTEXF_NONE) < 0) {
            return -1;
        }
        source = copy->staging;
    }
    // A failed read leaves the copy undefined: no lock then.
    if (D3DDev_GetRenderTargetData(source, copy->system) < 0 ||
        D3DSurf_LockRect(copy->system, locked, &rect, K_D3DLOCK_READONLY) < 0) {
        return -1;
    }
    LockedSurface = copy->system;
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
    bool directLock = target < 0 && ScreensReadByLock();
    if (directLock &&
        D3DSurf_LockRect(surface, &locked, &rect, readOnly != 0 ? static_cast<DWORD>(K_D3DLOCK_READONLY) : 0u) >= 0) {
        LockedSurface = surface;
    } else if (LockThroughCopy(surface, desc, rect, &locked) != 0) {
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
        LockedSurface = nullptr;
    }
    ScreenLocked = 0;
    return 0;
}

// Release the kept read-back copies (the device is going); an open lock ends
void ReleaseScreenReadCopies()
{
    UnlockDrawScreenBuffer();
    ReleaseReadCopy(&ScreenReadCopy);
    ReleaseReadCopy(&OtherReadCopy);
}

} // namespace Korvo

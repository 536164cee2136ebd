// LockDrawScreenBuffer: the pixels of the draw target, readable as a RasterImage.
// The software road points into the target image. On the Direct3D road a read
// of a whole screen locks the screens' surface itself when the start-up timing
// found locking the faster read (the surface is then made lockable); any other
// whole surface is read into a system-memory copy of its size. A rectangle
// smaller than its surface is copied on the device into a render target of
// about its size and only that is read back. The copies are kept from one read
// to the next, since making their surfaces costs far more than the read itself.

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
// Defines and types
// ---------------------------------------------------------------------------

// Rectangle copies are kept in a few sizes (see PartCopySide), and this many of
// them, so that a program reading a pixel under the cursor and a box for a hit
// test in every frame makes no surface at either read.
constexpr int kKeptPartCopyCount = 4;

// A system-memory copy of one size and format, and the plain render target the
// pixels are first copied into (for a whole-surface copy only when the surface
// cannot be read back directly: multisampled, or not a render target).
struct KeptReadCopy {
    K_IDirect3DSurface9 *system;
    K_IDirect3DSurface9 *staging;
    UINT width;
    UINT height;
    K_D3DFORMAT format;
    unsigned lastUse;  // rectangle copies: the read that last took it
};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static int ScreenLocked = 0;
static K_IDirect3DSurface9 *LockedSurface = nullptr;
static ScreenReadRoad LastRoad = kScreenReadNone;
// Copies of a whole surface: one for the screen's size, one for the rest, so
// that reading a graph now and then does not throw the screen's copy away.
static KeptReadCopy ScreenReadCopy = {};
static KeptReadCopy OtherReadCopy = {};
// Copies of rectangles smaller than their surface
static KeptReadCopy PartReadCopies[kKeptPartCopyCount] = {};
static unsigned PartReadCount = 0;

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

// Make a copy's system-memory surface of this size and format; 0, or -1 logged.
static int MakeSystemSurface(KeptReadCopy *copy, UINT width, UINT height, K_D3DFORMAT format)
{
    if (D3DDev_CreateOffscreenPlainSurface(width, height, format, K_D3DPOOL_SYSTEMMEM, &copy->system) < 0 ||
        copy->system == nullptr) {
        copy->system = nullptr;
        return AppendLogText("バックバッファロック用システムメモリサーフェスの作成に失敗しました\n");
    }
    copy->width = width;
    copy->height = height;
    copy->format = format;
    return 0;
}

// Make a copy's render target (of its size and format); 0, or -1 logged.
static int MakeStagingSurface(KeptReadCopy *copy)
{
    if (D3DDev_CreateRenderTarget(copy->width, copy->height, copy->format, 0, 0, FALSE, &copy->staging) < 0 ||
        copy->staging == nullptr) {
        copy->staging = nullptr;
        return AppendLogText("バックバッファロック用描画可能サーフェスの作成に失敗しました\n");
    }
    return 0;
}

// The kept copy for a whole surface of this description, made (again) when it
// does not match; null with the failure logged.
static KeptReadCopy *WholeCopyFor(const K_D3DSURFACE_DESC &desc)
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
    return MakeSystemSurface(copy, desc.Width, desc.Height, desc.Format) == 0 ? copy : nullptr;
}

// The side of the rectangle copy for a rectangle side: up to 64 the next power
// of two, above it the next multiple of 64, never beyond the surface. Reads of
// a rectangle that changes a little (a drag, a growing selection) then keep
// their copy, which is at most twice their side.
static UINT PartCopySide(LONG side, UINT surfaceSide)
{
    UINT wanted = static_cast<UINT>(side);
    UINT rounded = 1;
    if (wanted <= 64) {
        while (rounded < wanted) {
            rounded *= 2;
        }
    } else {
        rounded = (wanted + 63) / 64 * 64;
    }
    return rounded < surfaceSide ? rounded : surfaceSide;
}

// The kept rectangle copy for a rectangle of a surface of this description: the
// one of its size, else the least recently used made again; null with the
// failure logged.
static KeptReadCopy *PartCopyFor(const K_D3DSURFACE_DESC &desc, const RECT &rect)
{
    UINT width = PartCopySide(rect.right - rect.left, desc.Width);
    UINT height = PartCopySide(rect.bottom - rect.top, desc.Height);
    PartReadCount += 1;
    KeptReadCopy *oldest = &PartReadCopies[0];
    for (KeptReadCopy &copy : PartReadCopies) {
        if (copy.system != nullptr && copy.width == width && copy.height == height && copy.format == desc.Format) {
            copy.lastUse = PartReadCount;
            return &copy;
        }
        if (copy.system == nullptr || copy.lastUse < oldest->lastUse) {
            oldest = &copy;
        }
    }
    ReleaseReadCopy(oldest);
    if (MakeSystemSurface(oldest, width, height, desc.Format) != 0 || MakeStagingSurface(oldest) != 0) {
        ReleaseReadCopy(oldest);
        return nullptr;
    }
    oldest->lastUse = PartReadCount;
    return oldest;
}

// Only a plain render target can be read back as it is.
static bool NeedsStagingCopy(const K_D3DSURFACE_DESC &desc)
{
    return desc.MultiSampleType != 0 || (desc.Usage & K_D3DUSAGE_RENDERTARGET) == 0;
}

static bool IsWholeSurface(const K_D3DSURFACE_DESC &desc, const RECT &rect)
{
    return rect.left == 0 && rect.top == 0 && static_cast<UINT>(rect.right) == desc.Width &&
           static_cast<UINT>(rect.bottom) == desc.Height;
}

// Read the whole surface into its kept system-memory copy and lock that.
static int LockThroughWholeCopy(K_IDirect3DSurface9 *surface, const K_D3DSURFACE_DESC &desc,
                                K_D3DLOCKED_RECT *locked)
{
    KeptReadCopy *copy = WholeCopyFor(desc);
    if (copy == nullptr) {
        return -1;
    }
    K_IDirect3DSurface9 *source = surface;
    if (NeedsStagingCopy(desc)) {
        if (copy->staging == nullptr && MakeStagingSurface(copy) != 0) {
            return -1;
        }
        if (D3DDev_StretchRect(surface, nullptr, copy->staging, nullptr, K_D3DTEXF_NONE) < 0) {
            return -1;
        }
        source = copy->staging;
    }
    // A failed read leaves the copy undefined: no lock then.
    if (D3DDev_GetRenderTargetData(source, copy->system) < 0 ||
        D3DSurf_LockRect(copy->system, locked, nullptr, K_D3DLOCK_READONLY) < 0) {
        return -1;
    }
    LockedSurface = copy->system;
    return 0;
}

// Copy only the rectangle (into the top-left of a kept render target), read
// that back into its kept system-memory copy and lock the rectangle's part: the
// device then fetches the rectangle's pixels, not the surface's. The copy also
// resolves a multisampled surface and takes a texture that is no render target.
static int LockThroughPartCopy(K_IDirect3DSurface9 *surface, const K_D3DSURFACE_DESC &desc, const RECT &rect,
                               K_D3DLOCKED_RECT *locked)
{
    KeptReadCopy *copy = PartCopyFor(desc, rect);
    if (copy == nullptr) {
        return -1;
    }
    const RECT part = {0, 0, rect.right - rect.left, rect.bottom - rect.top};
    if (D3DDev_StretchRect(surface, &rect, copy->staging, &part, K_D3DTEXF_NONE) < 0 ||
        D3DDev_GetRenderTargetData(copy->staging, copy->system) < 0 ||
        D3DSurf_LockRect(copy->system, locked, &part, K_D3DLOCK_READONLY) < 0) {
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
    if (static_cast<UINT>(rect.right) > desc.Width || static_cast<UINT>(rect.bottom) > desc.Height) {
        return -1;
    }
    // A lock of a few pixels costs about what a lock of the whole surface does,
    // so only whole reads of the screens lock; a lock that fails (the surface is
    // not lockable after all) still reads through the copy.
    K_D3DLOCKED_RECT locked = {};
    if (!IsWholeSurface(desc, rect)) {
        if (LockThroughPartCopy(surface, desc, rect, &locked) != 0) {
            return -1;
        }
        LastRoad = kScreenReadRectCopy;
    } else if (target < 0 && ScreensReadByLock() &&
               D3DSurf_LockRect(surface, &locked, nullptr,
                                readOnly != 0 ? static_cast<DWORD>(K_D3DLOCK_READONLY) : 0u) >= 0) {
        LockedSurface = surface;
        LastRoad = kScreenReadLock;
    } else {
        if (LockThroughWholeCopy(surface, desc, &locked) != 0) {
            return -1;
        }
        LastRoad = kScreenReadWholeCopy;
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
    LastRoad = kScreenReadNone;
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
        LastRoad = kScreenReadSoftware;
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
    for (KeptReadCopy &copy : PartReadCopies) {
        ReleaseReadCopy(&copy);
    }
}

ScreenReadRoad LastScreenReadRoad()
{
    return LastRoad;
}

} // namespace Korvo

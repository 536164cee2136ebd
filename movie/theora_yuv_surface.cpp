// The YUV offscreen surface of a Theora movie: when the device takes a YUV
// layout, the frame on show is written into it as decoded (no colour
// conversion on the processor) and the graph stretches it into its texture.
// Surfaces live in the device's default pool, so they go before the device
// does and are made again by the next copy.

#include "movie/theora_player.h"

#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/main_thread_call.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void ReleaseSurfaceNow(TheoraPlayer *player)
{
    player->surfaceLost = 0;
    if (player->yuvSurface != nullptr) {
        D3DRes_Release(player->yuvSurface);
        player->yuvSurface = nullptr;
    }
    player->surfaceFourcc = 0;
}

static void CreateSurfaceNow(TheoraPlayer *player)
{
    ReleaseSurfaceNow(player);
    // Only 4:2:0 frames fit the surface layouts; other streams keep to the image.
    if (GraphicsState.direct3DModeActive == 0 || G_D3D_HasDevice() == 0 || player->info.pixelformat != OC_PF_420) {
        return;
    }
    for (uint32_t fourcc : {kTheoraSurfaceYV12, kTheoraSurfaceYUY2, kTheoraSurfaceUYVY}) {
        K_IDirect3DSurface9 *surface = nullptr;
        if (D3DDev_CreateOffscreenPlainSurface(player->info.width, player->info.height, fourcc, K_D3DPOOL_DEFAULT,
                                               &surface) == 0 &&
            surface != nullptr) {
            player->yuvSurface = surface;
            player->surfaceFourcc = fourcc;
            return;
        }
    }
}

// One row of 4:2:2 packed pixels from a Y row and the block's U and V rows:
// lumaFirst gives Y0 U Y1 V (YUY2), else U Y0 V Y1 (UYVY). A last pixel of an
// odd width fills its pair alone.
static void PackRow(uint8_t *out, const uint8_t *y, const uint8_t *u, const uint8_t *v, int width, bool lumaFirst)
{
    for (int x = 0; x < width; x += 2) {
        uint8_t *p = out + x * 2;
        uint8_t cu = u[x / 2];
        uint8_t cv = v[x / 2];
        uint8_t y1 = x + 1 < width ? y[x + 1] : y[x];
        if (lumaFirst) {
            p[0] = y[x], p[1] = cu, p[2] = y1, p[3] = cv;
        } else {
            p[0] = cu, p[1] = y[x], p[2] = cv, p[3] = y1;
        }
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

void CreateTheoraYuvSurface(TheoraPlayer *player, void *asyncContext)
{
    RunOnMainThread(asyncContext, [player] { CreateSurfaceNow(player); });
}

void ReleaseTheoraYuvSurface(TheoraPlayer *player, void *asyncContext)
{
    RunOnMainThread(asyncContext, [player] { ReleaseSurfaceNow(player); });
}

int TheoraYuvSurfaceWanted(const TheoraPlayer *player)
{
    return player->yuvSurface != nullptr || player->surfaceLost != 0 ? 1 : 0;
}

int CopyTheoraFrameToYuvBits(const TheoraFrameStockEntry *entry, const TheoraPictureRegion &picture, uint32_t fourcc,
                             uint8_t *bits, int pitch, int surfaceHeight)
{
    if (entry->uvWidth * 2 != entry->yWidth || entry->uvHeight * 2 != entry->yHeight || picture.x < 0 ||
        picture.y < 0 || picture.x >= entry->yWidth || picture.y >= entry->yHeight) {
        return 0;
    }
    // The picture goes to the surface's top-left corner, where the graph takes
    // it from; a frame that differs from its headers is cut to what it holds.
    const int width = picture.width < entry->yWidth - picture.x ? picture.width : entry->yWidth - picture.x;
    const int height = picture.height < entry->yHeight - picture.y ? picture.height : entry->yHeight - picture.y;
    // A picture at an odd offset shares its chroma pairs with the padding: it
    // takes the pair of its first pixel (the surface's pairs start with it).
    const uint8_t *planeY = entry->planeY + static_cast<ptrdiff_t>(picture.y) * entry->yStride + picture.x;
    const ptrdiff_t chromaOrigin = static_cast<ptrdiff_t>(picture.y >> 1) * entry->uvStride + (picture.x >> 1);
    const uint8_t *planeU = entry->planeU + chromaOrigin;
    const uint8_t *planeV = entry->planeV + chromaOrigin;
    if (fourcc == kTheoraSurfaceYV12) {
        for (int y = 0; y < height; ++y) {
            std::memcpy(bits + static_cast<ptrdiff_t>(y) * pitch, planeY + static_cast<ptrdiff_t>(y) * entry->yStride,
                        width);
        }
        // The chroma planes follow the surface's full height of luma rows: V first.
        uint8_t *surfaceV = bits + static_cast<ptrdiff_t>(pitch) * surfaceHeight;
        uint8_t *surfaceU = surfaceV + static_cast<ptrdiff_t>(pitch / 2) * (surfaceHeight / 2);
        for (int y = 0; y < (height + 1) / 2; ++y) {
            ptrdiff_t from = static_cast<ptrdiff_t>(y) * entry->uvStride;
            std::memcpy(surfaceV + static_cast<ptrdiff_t>(y) * (pitch / 2), planeV + from, (width + 1) / 2);
            std::memcpy(surfaceU + static_cast<ptrdiff_t>(y) * (pitch / 2), planeU + from, (width + 1) / 2);
        }
        return 1;
    }
    if (fourcc != kTheoraSurfaceYUY2 && fourcc != kTheoraSurfaceUYVY) {
        return 0;
    }
    for (int y = 0; y < height; ++y) {
        ptrdiff_t chroma = static_cast<ptrdiff_t>((picture.y + y) / 2 - picture.y / 2) * entry->uvStride;
        PackRow(bits + static_cast<ptrdiff_t>(y) * pitch, planeY + static_cast<ptrdiff_t>(y) * entry->yStride,
                planeU + chroma, planeV + chroma, width, fourcc == kTheoraSurfaceYUY2);
    }
    return 1;
}

int CopyTheoraFrameToYuvSurface(TheoraPlayer *player, const TheoraFrameStockEntry *entry, void *asyncContext)
{
    // Making, locking and filling the surface all happen on the main thread.
    return RunOnMainThread(asyncContext, [player, entry] {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (player->yuvSurface != nullptr && player->surfaceLost == 0) {
                K_D3DLOCKED_RECT locked = {};
                if (D3DSurf_LockRect(player->yuvSurface, &locked, nullptr, 0) == 0) {
                    int copied = CopyTheoraFrameToYuvBits(entry, GetTheoraPictureRegion(player),
                                                          player->surfaceFourcc, static_cast<uint8_t *>(locked.pBits),
                                                          locked.Pitch, static_cast<int>(player->info.height));
                    D3DSurf_UnlockRect(player->yuvSurface);
                    return copied;
                }
            }
            CreateSurfaceNow(player);
            if (player->yuvSurface == nullptr) {
                return 0; // the device takes no YUV layout (any more)
            }
        }
        return 0;
    });
}

} // namespace Korvo

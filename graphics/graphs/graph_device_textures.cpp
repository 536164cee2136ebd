// The Direct3D objects behind a graph image set, and the cache of system-memory
// textures that uploads borrow instead of creating one per upload.

#include "graphics/graphs/graph_image_set.h"

#include "core/log/error_log.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/main_thread_call.h"
#include "graphics/device/multisample.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kSystemTextureCacheSize = 2048;
constexpr int kMaxLentOfOneDescription = 16;

struct SystemTextureEntry {
    uint8_t used;
    uint8_t lent;
    int16_t width;
    int16_t height;
    uint8_t levels;
    uint8_t formatSlot;
    uint32_t useCount;
    K_IDirect3DTexture9 *texture;
};

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

static SystemTextureEntry SystemTextures[kSystemTextureCacheSize];
static int SystemTextureCount = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool Matches(const SystemTextureEntry &entry, int width, int height, int levels, int slot)
{
    return entry.used != 0 && entry.width == width && entry.height == height && entry.levels == levels &&
           entry.formatSlot == slot;
}

// The cache work itself (main thread).
static int AcquireOnMainThread(int width, int height, int levels, int slot)
{
    int lentAlike = 0;
    for (int i = 0; i < kSystemTextureCacheSize; ++i) {
        SystemTextureEntry &entry = SystemTextures[i];
        if (!Matches(entry, width, height, levels, slot)) {
            continue;
        }
        if (entry.lent == 0) {
            entry.lent = 1;
            ++entry.useCount;
            return i;
        }
        if (++lentAlike >= kMaxLentOfOneDescription) {
            return -2;
        }
    }
    int free = -1;
    for (int i = 0; i < kSystemTextureCacheSize && free < 0; ++i) {
        if (SystemTextures[i].used == 0) {
            free = i;
        }
    }
    if (free < 0) {
        for (int i = 0; i < kSystemTextureCacheSize; ++i) {
            const SystemTextureEntry &entry = SystemTextures[i];
            if (entry.lent == 0 && (free < 0 || entry.useCount <= SystemTextures[free].useCount)) {
                free = i;
            }
        }
        if (free < 0) {
            return -2;
        }
        D3DRes_Release(SystemTextures[free].texture);
        SystemTextures[free] = SystemTextureEntry{};
        --SystemTextureCount;
    }
    K_IDirect3DTexture9 *texture = nullptr;
    if (D3DDev_CreateTexture(static_cast<UINT>(width), static_cast<UINT>(height), static_cast<UINT>(levels),
                             K_D3DUSAGE_DYNAMIC, TextureFormatSlots[slot], K_D3DPOOL_SYSTEMMEM, &texture) < 0) {
        return AppendLogText("メモリテクスチャの作成に失敗しました\n");
    }
    SystemTextures[free] = SystemTextureEntry{1, 1, static_cast<int16_t>(width), static_cast<int16_t>(height),
                                              static_cast<uint8_t>(levels), static_cast<uint8_t>(slot), 1, texture};
    ++SystemTextureCount;
    return free;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int CreateGraphImageTextures(void *asyncContext, GraphImageSet *set)
{
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    if (set->params.deviceTexture == 0) {
        return 0;
    }
    K_D3DFORMAT format = set->formatSlot >= 0 && set->formatSlot < kFormatSlotCount
                             ? TextureFormatSlots[set->formatSlot] : K_D3DFMT_UNKNOWN;
    if (format == K_D3DFMT_UNKNOWN) {
        return AppendLogText("指定のフォーマットで作成できるテクスチャフォーマットがありませんでした\n");
    }
    if (D3D_HasExObject() != 0) {
        set->params.managedPool = 0;
    }
    for (int i = 0; i < set->pieceCount; ++i) {
        GraphTexturePiece &piece = set->pieces[i];
        UINT width = static_cast<UINT>(piece.textureWidth);
        UINT height = static_cast<UINT>(piece.textureHeight);
        if (set->params.drawable != 0 && set->params.multiSampleCount != 0) {
            int type = set->params.multiSampleCount;
            int quality = set->params.multiSampleQuality;
            ChooseMultiSampleOnMainThread(format, &type, &quality, 0, asyncContext);
            if (piece.multiSampleSurface == nullptr &&
                D3DDev_CreateRenderTargetOnMainThread(width, height, format, static_cast<UINT>(type),
                                                      static_cast<DWORD>(quality), FALSE, &piece.multiSampleSurface,
                                                      asyncContext) < 0) {
                return AppendLogText("書き込み専用サーフェスの作成に失敗しました\n");
            }
            if (set->depthBuffer != 0 || type != DeviceSettings.multiSampleType) {
                if (piece.depthSurface == nullptr &&
                    D3DDev_CreateDepthStencilSurfaceOnMainThread(width, height, K_D3DFMT_D16, static_cast<UINT>(type),
                                                                 static_cast<DWORD>(quality), FALSE,
                                                                 &piece.depthSurface, asyncContext) < 0) {
                    return AppendLogText("書き込み専用マルチサンプル深度サーフェスの作成に失敗しました\n");
                }
            } else if (piece.depthSurface != nullptr) {
                D3DRes_ReleaseOnMainThread(piece.depthSurface, asyncContext);
                piece.depthSurface = nullptr;
            }
        }
        if (piece.texture == nullptr) {
            DWORD usage = set->params.drawable != 0 ? static_cast<DWORD>(K_D3DUSAGE_RENDERTARGET) : 0u;
            UINT pool = set->params.managedPool != 0 && set->params.drawable == 0 ? K_D3DPOOL_MANAGED
                                                                                  : K_D3DPOOL_DEFAULT;
            if (D3DDev_CreateTextureOnMainThread(width, height, static_cast<UINT>(set->mipLevelCount), usage, format,
                                                 pool, &piece.texture, asyncContext) < 0) {
                return AppendLogText("テクスチャの作成に失敗しました\n");
            }
        }
        if (piece.surface == nullptr &&
            D3DTex_GetSurfaceLevelOnMainThread(piece.texture, 0, &piece.surface, asyncContext) < 0) {
            return AppendLogText("テクスチャのサーフェスアドレスの取得に失敗しました\n");
        }
        if (set->params.drawable != 0) {
            D3DDev_ColorFillOnMainThread(piece.surface, nullptr, 0, asyncContext);
        }
    }
    return 0;
}

int AcquireSystemMemoryTexture(int width, int height, int levels, int formatSlot, void *asyncContext)
{
    if (formatSlot < 0 || formatSlot >= kFormatSlotCount) {
        return -1;
    }
    return RunOnMainThread(asyncContext, [=] { return AcquireOnMainThread(width, height, levels, formatSlot); });
}

K_IDirect3DTexture9 *GetSystemMemoryTexture(int entry)
{
    return entry >= 0 && entry < kSystemTextureCacheSize ? SystemTextures[entry].texture : nullptr;
}

int ReleaseSystemMemoryTexture(int entry, void *asyncContext)
{
    RunOnMainThread(asyncContext, [=] {
        if (entry >= 0 && entry < kSystemTextureCacheSize && SystemTextures[entry].used != 0) {
            SystemTextures[entry].lent = 0;
        }
    });
    return 0;
}

int ReleaseAllSystemMemoryTextures()
{
    for (SystemTextureEntry &entry : SystemTextures) {
        if (entry.used != 0 && entry.texture != nullptr) {
            D3DRes_Release(entry.texture);
        }
        entry = SystemTextureEntry{};
    }
    SystemTextureCount = 0;
    return 0;
}

} // namespace Korvo

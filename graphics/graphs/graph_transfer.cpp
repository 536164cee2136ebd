// Moving pixels of in-memory images into graphs: into the MEMIMG of a software
// set, or into the texture pieces of a Direct3D set (through a system-memory
// surface for drawable sets, else level by level through a staging texture).

#include "graphics/graphs/graph_record.h"

#include "core/log/error_log.h"
#include "core/memory/tracked_alloc.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/device/format_slots.h"
#include "graphics/graphs/graph_texture_copy.h"
#include "graphics/device/graphics_state.h"
#include "image/image_loaders.h"
#include "image/pixel_access.h"
#include "image/pixel_convert.h"
#include "image/raster_image.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// An expanded ARGB copy of a block-compressed image; 0 or -1 (logged).
static int ExpandedCopy(const RasterImage *image, RasterImage *copy)
{
    *copy = *image;
    int bytes = CalcImagePixelDataBytes(image);
    copy->pixels = bytes > 0 ? KORVO_TRACKED_ALLOC(static_cast<size_t>(bytes)) : nullptr;
    if (copy->pixels == nullptr) {
        *copy = RasterImage{};
        return AppendLogText("標準イメージ用のメモリ確保に失敗しました\n");
    }
    std::memcpy(copy->pixels, image->pixels, static_cast<size_t>(bytes));
    if (ExpandDxtImageToArgb32(copy) != 0) {
        FreeImageRecord(copy);
        return AppendLogText("標準イメージ用のメモリ確保に失敗しました\n");
    }
    return 0;
}

// Clip a destination rectangle of width x height at (x, y) to [0, limitW) x [0, limitH), moving the source with it.
static bool ClipTransfer(int *sourceX, int *sourceY, int *x, int *y, int *width, int *height, int limitW, int limitH)
{
    if (*x < 0) {
        *sourceX -= *x;
        *width += *x;
        *x = 0;
    }
    if (*y < 0) {
        *sourceY -= *y;
        *height += *y;
        *y = 0;
    }
    if (*x + *width > limitW) {
        *width = limitW - *x;
    }
    if (*y + *height > limitH) {
        *height = limitH - *y;
    }
    return *width > 0 && *height > 0;
}

// The transparent colour's index in a palette set (0 when no entry matches).
static uint32_t FindPaletteTransparentIndex(const MemImgBody *body, uint32_t colour)
{
    if (body->paletteBlock == nullptr) {
        return 0;
    }
    for (int i = 0; i < 256; ++i) {
        if (body->pixelKind == MEMIMG_KIND_XRGB32) {
            uint32_t entry = 0;
            std::memcpy(&entry, body->paletteBlock + i * 4, 4);
            if ((entry & 0xFFFFFF) == colour) {
                return static_cast<uint32_t>(i);
            }
        } else {
            uint16_t entry = 0;
            std::memcpy(&entry, body->paletteBlock + i * 2, 2);
            uint32_t packed = ((colour >> 8) & 0xF800) | ((colour >> 5) & 0x07E0) | ((colour >> 3) & 0x001F);
            if (entry == packed) {
                return static_cast<uint32_t>(i);
            }
        }
    }
    return 0;
}

// Drawable sets: one system-memory surface of the rectangle, copied into each piece it overlaps.
static int TransferToDrawableSet(GraphImageSet *set, const TextureUpload &upload, const RECT &target,
                                 void *asyncContext, int graphMode)
{
    K_D3DFORMAT format = TextureFormatSlots[set->formatSlot];
    int width = target.right - target.left;
    int height = target.bottom - target.top;
    K_IDirect3DSurface9 *surface = nullptr;
    if (D3DDev_CreateOffscreenPlainSurfaceOnMainThread(static_cast<UINT>(width), static_cast<UINT>(height), format,
                                                       K_D3DPOOL_SYSTEMMEM, &surface, asyncContext) < 0) {
        return AppendLogText("画像転送用のシステムメモリテクスチャの作成に失敗しました\n");
    }
    K_D3DLOCKED_RECT locked = {};
    int result = 0;
    if (D3DSurf_LockRectOnMainThread(surface, &locked, nullptr, K_D3DLOCK_DISCARD, asyncContext) < 0) {
        result = -1;
    } else {
        RECT source = {upload.sourceX, upload.sourceY, upload.sourceX + width, upload.sourceY + height};
        ConvertUploadPixels(upload, locked.pBits, locked.Pitch, GetD3DFormatColorDesc(format), 0, 0, source);
        D3DSurf_UnlockRectOnMainThread(surface, asyncContext);
        for (int i = 0; i < set->pieceCount && result == 0; ++i) {
            GraphTexturePiece &piece = set->pieces[i];
            RECT overlap;
            if (!IntersectPieceRect(piece, target, &overlap)) {
                continue;
            }
            RECT from = {overlap.left - target.left, overlap.top - target.top, overlap.right - target.left,
                         overlap.bottom - target.top};
            POINT to = {overlap.left - piece.x, overlap.top - piece.y};
            K_IDirect3DSurface9 *targets[2] = {piece.surface, piece.multiSampleSurface};
            for (K_IDirect3DSurface9 *destination : targets) {
                if (destination != nullptr &&
                    D3DDev_UpdateSurfaceOnMainThread(surface, &from, destination, &to, asyncContext) < 0 &&
                    graphMode != 0) {
                    result = AppendLogText("描画可能テクスチャへの画像の転送に失敗しました\n");
                }
            }
        }
    }
    D3DRes_ReleaseOnMainThread(surface, asyncContext);
    return result;
}

// Other Direct3D sets: each overlapped piece written level by level (managed) or through a staging texture.
static int TransferToTextureSet(GraphImageSet *set, const TextureUpload &upload, const RECT &target,
                                void *asyncContext)
{
    for (int i = 0; i < set->pieceCount; ++i) {
        GraphTexturePiece &piece = set->pieces[i];
        RECT overlap;
        if (!IntersectPieceRect(piece, target, &overlap)) {
            continue;
        }
        int entry = -1;
        K_IDirect3DTexture9 *texture = piece.texture;
        if (set->params.managedPool == 0) {
            entry = WaitForSystemMemoryTexture(piece.textureWidth, piece.textureHeight, set->mipLevelCount,
                                               set->formatSlot, asyncContext);
            if (entry < 0) {
                return -1;
            }
            texture = GetSystemMemoryTexture(entry);
        }
        RECT inPiece = {overlap.left - piece.x, overlap.top - piece.y, overlap.right - piece.x,
                        overlap.bottom - piece.y};
        RECT source = {upload.sourceX + overlap.left - target.left, upload.sourceY + overlap.top - target.top, 0, 0};
        source.right = source.left + (overlap.right - overlap.left);
        source.bottom = source.top + (overlap.bottom - overlap.top);
        int result = set->mipLevelCount < 2
                         ? CopyImageToTextureLevel0(set, piece, texture, inPiece, source, upload, asyncContext)
                         : CopyImageToTextureMips(set, piece, texture, inPiece, source, upload, asyncContext);
        if (entry >= 0) {
            if (result == 0) {
                D3DDev_UpdateTextureOnMainThread(reinterpret_cast<K_IDirect3DBaseTexture9 *>(texture),
                                                 reinterpret_cast<K_IDirect3DBaseTexture9 *>(piece.texture),
                                                 asyncContext);
            }
            ReleaseSystemMemoryTexture(entry, asyncContext);
        }
        if (result != 0) {
            return -1;
        }
    }
    return 0;
}

// Fill a graph's area with one ARGB colour by transferring an image of it; 0 or -1.
static int FillGraphThroughTransfer(int handle, const GraphRecord *record, uint32_t colour, void *asyncContext)
{
    RasterImage image = {};
    if (AllocArgb32Image(record->width, record->height, &image) != 0) {
        return -1;
    }
    for (int y = 0; y < image.height; ++y) {
        uint32_t *row = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(image.pixels) +
                                                     static_cast<ptrdiff_t>(y) * image.pitch);
        for (int x = 0; x < image.width; ++x) {
            row[x] = colour;
        }
    }
    RECT whole = {0, 0, record->width, record->height};
    int result = TransferImageRectToGraph(handle, &whole, 0, 0, &image, nullptr, 0, 0, 0, asyncContext);
    FreeImageRecord(&image);
    return result;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int TransferImageRectToGraph(int handle, const RECT *sourceRect, int destX, int destY, const RasterImage *color,
                             const RasterImage *alpha, int conversionParam, int transparentFlag, int wholeSet,
                             void *asyncContext)
{
    GraphRecord *record = GetGraphRecordInContext(handle, asyncContext);
    if (record == nullptr || record->imageSet == nullptr || color == nullptr) {
        return -1;
    }
    GraphImageSet *set = record->imageSet;
    if (set->params.deviceTexture != 0 && G_D3D_HasDevice() != 0) {
        FlushStagedVertices(asyncContext != nullptr ? 1 : 0);
    }
    int sourceX = sourceRect->left;
    int sourceY = sourceRect->top;
    int width = sourceRect->right - sourceRect->left;
    int height = sourceRect->bottom - sourceRect->top;
    if (width <= 0 || height <= 0) {
        return 0;
    }
    int limitW = wholeSet != 0 ? set->width : record->width;
    int limitH = wholeSet != 0 ? set->height : record->height;
    if (!ClipTransfer(&sourceX, &sourceY, &destX, &destY, &width, &height, limitW, limitH)) {
        return 0;
    }
    if (wholeSet == 0) {
        destX += record->x;
        destY += record->y;
    }

    RasterImage expandedColor = {};
    RasterImage expandedAlpha = {};
    bool keepDxt = set->params.deviceTexture != 0 && set->formatSlot == FORMAT_SLOT_DXT1 + color->format.blockFormat - 1;
    if (color->format.blockFormat != 0 && !keepDxt) {
        if (ExpandedCopy(color, &expandedColor) != 0) {
            return -1;
        }
        color = &expandedColor;
    }
    if (alpha != nullptr && alpha->format.blockFormat != 0 && !keepDxt) {
        if (ExpandedCopy(alpha, &expandedAlpha) != 0) {
            FreeImageRecord(&expandedColor);
            return -1;
        }
        alpha = &expandedAlpha;
    }

    int result = 0;
    if (set->params.deviceTexture == 0) {
        MEMIMG *image = &set->memImg;
        result = ImportImageIntoMemImg(color, alpha, image, sourceX, sourceY, width, height, destX, destY,
                                       transparentFlag) < 0 ? -1 : 0;
        if (image->body->hasPalette != 0) {
            image->body->transparentColor = FindPaletteTransparentIndex(image->body, set->transparentColor);
        }
    } else if (G_D3D_HasDevice() == 0) {
        result = -1;
    } else {
        const ColorFormatDesc *textureFormat = GetD3DFormatColorDesc(TextureFormatSlots[set->formatSlot]);
        TextureUpload upload = {color, alpha, sourceX, sourceY, conversionParam,
                                KeyTransparentColour(transparentFlag, textureFormat, alpha), set->transparentColor};
        RECT target = {destX, destY, destX + width, destY + height};
        result = set->params.drawable != 0
                     ? TransferToDrawableSet(set, upload, target, asyncContext, wholeSet == 0 ? 1 : 0)
                     : TransferToTextureSet(set, upload, target, asyncContext);
    }
    FreeImageRecord(&expandedColor);
    FreeImageRecord(&expandedAlpha);
    return result;
}

int UploadImagesToGraph(const RasterImage *color, const RasterImage *alpha, int x, int y, int handle,
                        int transparentFlag, void *asyncContext)
{
    GraphRecord *record = GetGraphRecordInContext(handle, asyncContext);
    if (record == nullptr || record->imageSet == nullptr) {
        return -1;
    }
    record->sourceX = x;
    record->sourceY = y;
    RECT source = {x, y, x + record->width, y + record->height};
    return TransferImageRectToGraph(handle, &source, 0, 0, color, alpha, record->imageSet->params.blendGraph,
                                    transparentFlag, 0, asyncContext);
}

int UploadImagesToGraphKeepSource(const RasterImage *color, const RasterImage *alpha, int x, int y, int handle)
{
    GraphLoadSettings settings;
    CaptureGraphLoadSettings(&settings);
    int result = UploadImagesToGraph(color, alpha, x, y, handle, settings.noTransparentColor == 0 ? 1 : 0, nullptr);
    if (result == 0) {
        SetGraphRestoreSource(&settings.keepNoRestoreSource, handle, nullptr, nullptr, 0, nullptr, 0, color, alpha, 0,
                              -1, nullptr);
    }
    return result;
}

int UploadImageRectToGraph(const RasterImage *color, const RasterImage *alpha, const RECT *sourceRect, int x, int y,
                           int handle)
{
    GraphRecord *record = GetGraphRecord(handle, 0);
    if (record == nullptr || record->imageSet == nullptr) {
        return -1;
    }
    RECT whole = {0, 0, color->width, color->height};
    const RECT &source = sourceRect != nullptr ? *sourceRect : whole;
    record->sourceX = sourceRect != nullptr ? source.left - x : 0;
    record->sourceY = sourceRect != nullptr ? source.top - y : 0;
    GraphLoadSettings settings;
    CaptureGraphLoadSettings(&settings);
    return TransferImageRectToGraph(handle, &source, x, y, color, alpha, record->imageSet->params.blendGraph,
                                    settings.noTransparentColor == 0 ? 1 : 0, 0, nullptr);
}

int FillGraphWithColor(int handle, int r, int g, int b, int a, void *asyncContext)
{
    GraphRecord *record = GetGraphRecordInContext(handle, asyncContext);
    if (record == nullptr || record->imageSet == nullptr) {
        return -1;
    }
    auto clamp = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
    GraphImageSet *set = record->imageSet;
    if (set->params.deviceTexture == 0) {
        const ColorFormatDesc *format = set->memImg.body->format;
        uint32_t colour = PackColorInFormat(format, static_cast<int>(clamp(r)), static_cast<int>(clamp(g)),
                                            static_cast<int>(clamp(b)), 255);
        FillMemImgRectRaw(&record->memImg, nullptr, colour);
        InvalidateMemImgDerivedData(&record->memImg);
        return 0;
    }
    if (G_D3D_HasDevice() == 0) {
        return -1;
    }
    K_D3DCOLOR colour = (clamp(a) << 24) | (clamp(r) << 16) | (clamp(g) << 8) | clamp(b);
    if (set->params.drawable == 0) {
        // A texture that cannot be a render target takes no colour fill: an image
        // of the colour goes in through the transfer road instead.
        return FillGraphThroughTransfer(handle, record, colour, asyncContext);
    }
    for (int i = 0; i < record->drawPieceCount; ++i) {
        const GraphDrawPiece &draw = record->drawPieces[i];
        RECT rect = {draw.sourceX, draw.sourceY, draw.sourceX + draw.width, draw.sourceY + draw.height};
        D3DDev_ColorFillOnMainThread(draw.piece->surface, &rect, colour, asyncContext);
    }
    return 0;
}

} // namespace Korvo

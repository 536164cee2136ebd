// Writing image pixels into a texture piece, and borrowing staging textures.

#include "graphics/graphs/graph_texture_copy.h"
#include "core/system/message_pump_hooks.h"

#include "core/public_api.h"
#include "core/log/error_log.h"
#include "core/memory/tracked_alloc.h"
#include "core/threads/thread_record.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/device/format_slots.h"
#include "graphics/device/graphics_state.h"
#include "image/pixel_convert.h"
#include "image/raster_image.h"

#include <algorithm>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static bool IsDxtSlot(int slot)
{
    return slot >= FORMAT_SLOT_DXT1 && slot <= FORMAT_SLOT_DXT1 + 4;
}

static int LogDxtRefusal()
{
    return AppendLogText("DXTフォーマットのテクスチャに標準形式のイメージを転送することはできません\n");
}

// Copy count bytes of one pixel to the next place in a row.
static void CopyPixel(uint8_t *to, const uint8_t *from, int bytes)
{
    std::memcpy(to, from, static_cast<size_t>(bytes));
}

// The used area's right column and bottom row repeated once into the texture's spare edge,
// so that filtering at the edge samples image pixels.
static void PadUsedEdge(uint8_t *pixels, int pitch, int bytes, int width, int height, bool column, bool row)
{
    if (row) {
        std::memcpy(pixels + static_cast<ptrdiff_t>(height) * pitch,
                    pixels + static_cast<ptrdiff_t>(height - 1) * pitch, static_cast<size_t>(width * bytes));
    }
    if (column) {
        for (int y = 0; y < height; ++y) {
            uint8_t *line = pixels + static_cast<ptrdiff_t>(y) * pitch;
            CopyPixel(line + width * bytes, line + (width - 1) * bytes, bytes);
        }
    }
    if (row && column) {
        CopyPixel(pixels + static_cast<ptrdiff_t>(height) * pitch + width * bytes,
                  pixels + static_cast<ptrdiff_t>(height - 1) * pitch + (width - 1) * bytes, bytes);
    }
}

// Block-compressed levels copied as they are: the image must bring them in the
// texture's format. Each level goes row of blocks by row of blocks, from the
// piece's part of the image to the piece's area of the texture at its locked pitch.
static int CopyDxtLevels(const GraphImageSet *set, const GraphTexturePiece &piece, K_IDirect3DTexture9 *texture,
                         const RECT &rect, const RECT &source, const TextureUpload &upload, int levels,
                         void *asyncContext)
{
    const RasterImage *image = upload.color;
    int wanted = set->formatSlot - FORMAT_SLOT_DXT1 + 1;
    int brought = image->mipLevelCount > 1 ? image->mipLevelCount : 1;
    if (image->format.blockFormat != wanted || upload.sourceX != 0 || upload.sourceY != 0 || brought < levels) {
        return LogDxtRefusal();
    }
    const int blockBytes = static_cast<int>(CalcBlockLevelBytes(wanted, 1, 1));
    const uint8_t *from = static_cast<const uint8_t *>(image->pixels);
    int imageWidth = image->width;
    int imageHeight = image->height;
    int textureWidth = piece.textureWidth;
    int textureHeight = piece.textureHeight;
    for (int level = 0; level < levels; ++level) {
        auto blocks = [](int pixels) { return pixels > 0 ? (pixels + 3) / 4 : 1; };
        // The piece's area at this level, in blocks, on both sides.
        int sourceColumn = (source.left >> level) / 4;
        int sourceRow = (source.top >> level) / 4;
        int targetColumn = (rect.left >> level) / 4;
        int targetRow = (rect.top >> level) / 4;
        int columns = blocks((rect.right - rect.left) >> level);
        int rows = blocks((rect.bottom - rect.top) >> level);
        int imageColumns = blocks(imageWidth);
        int imageRows = blocks(imageHeight);
        int textureColumns = blocks(textureWidth);
        int textureRows = blocks(textureHeight);
        columns = std::min({columns, imageColumns - sourceColumn, textureColumns - targetColumn});
        rows = std::min({rows, imageRows - sourceRow, textureRows - targetRow});
        if (columns > 0 && rows > 0) {
            K_D3DLOCKED_RECT locked = {};
            if (D3DTex_LockRectOnMainThread(texture, static_cast<UINT>(level), &locked, nullptr, 0, asyncContext) < 0) {
                return AppendLogText("テクスチャのロックに失敗しました\n");
            }
            const ptrdiff_t imagePitch = static_cast<ptrdiff_t>(imageColumns) * blockBytes;
            for (int row = 0; row < rows; ++row) {
                uint8_t *to = static_cast<uint8_t *>(locked.pBits) +
                              static_cast<ptrdiff_t>(targetRow + row) * locked.Pitch +
                              static_cast<ptrdiff_t>(targetColumn) * blockBytes;
                const uint8_t *line = from + static_cast<ptrdiff_t>(sourceRow + row) * imagePitch +
                                      static_cast<ptrdiff_t>(sourceColumn) * blockBytes;
                std::memcpy(to, line, static_cast<size_t>(columns) * static_cast<size_t>(blockBytes));
            }
            D3DTex_UnlockRectOnMainThread(texture, static_cast<UINT>(level), asyncContext);
        }
        from += CalcBlockLevelBytes(wanted, imageWidth, imageHeight);
        imageWidth = imageWidth > 1 ? imageWidth / 2 : 1;
        imageHeight = imageHeight > 1 ? imageHeight / 2 : 1;
        textureWidth = textureWidth > 1 ? textureWidth / 2 : 1;
        textureHeight = textureHeight > 1 ? textureHeight / 2 : 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int KeyTransparentColour(int transparentFlag, const ColorFormatDesc *textureFormat, const RasterImage *alpha)
{
    return transparentFlag != 0 && textureFormat != nullptr && textureFormat->maskA != 0 && alpha == nullptr ? 1 : 0;
}

bool IntersectPieceRect(const GraphTexturePiece &piece, const RECT &target, RECT *overlap)
{
    overlap->left = target.left > piece.x ? target.left : piece.x;
    overlap->top = target.top > piece.y ? target.top : piece.y;
    int pieceRight = piece.x + piece.usedWidth;
    int pieceBottom = piece.y + piece.usedHeight;
    overlap->right = target.right < pieceRight ? target.right : pieceRight;
    overlap->bottom = target.bottom < pieceBottom ? target.bottom : pieceBottom;
    return overlap->right > overlap->left && overlap->bottom > overlap->top;
}

int ConvertUploadPixels(const TextureUpload &upload, void *pixels, int pitch, const ColorFormatDesc *format, int x,
                        int y, const RECT &source)
{
    const RasterImage *alpha = upload.alpha;
    return ConvertPixelBlock(pixels, pitch, format, upload.color->pixels, upload.color->pitch, &upload.color->format,
                             alpha != nullptr ? alpha->pixels : nullptr, alpha != nullptr ? alpha->pitch : 0,
                             alpha != nullptr ? &alpha->format : nullptr, x, y, &source, 0, upload.keyTransparent,
                             upload.transparentColor, 0, 0, upload.conversionParam != 0 ? 1 : 0, 0, 0);
}

int WaitForSystemMemoryTexture(int width, int height, int levels, int formatSlot, void *asyncContext)
{
    for (;;) {
        int entry = AcquireSystemMemoryTexture(width, height, levels, formatSlot, asyncContext);
        if (entry != -2) {
            return entry;
        }
        // Every texture of this description is lent. The main thread pumps so the
        // lenders can finish; a worker only waits (the message queue is the main thread's).
        if (asyncContext == nullptr) {
            if (PumpMessagesOnce() < 0) {
                return -1;
            }
        } else if (GetShutdownRequestedFlag() != 0) {
            return -1;
        }
        SleepMilliseconds(1);
    }
}

int CopyImageToTextureLevel0(const GraphImageSet *set, const GraphTexturePiece &piece, K_IDirect3DTexture9 *texture,
                             const RECT &rect, const RECT &source, const TextureUpload &upload, void *asyncContext)
{
    if (IsDxtSlot(set->formatSlot)) {
        return CopyDxtLevels(set, piece, texture, rect, source, upload, 1, asyncContext);
    }
    bool column = rect.right == piece.usedWidth && piece.textureWidth > piece.usedWidth;
    bool row = rect.bottom == piece.usedHeight && piece.textureHeight > piece.usedHeight;
    RECT lockRect = {rect.left, rect.top, rect.right + (column ? 1 : 0), rect.bottom + (row ? 1 : 0)};
    K_D3DLOCKED_RECT locked = {};
    if (D3DTex_LockRectOnMainThread(texture, 0, &locked, &lockRect, 0, asyncContext) < 0) {
        return AppendLogText("テクスチャのロックに失敗しました\n");
    }
    const ColorFormatDesc *format = GetD3DFormatColorDesc(TextureFormatSlots[set->formatSlot]);
    int result = ConvertUploadPixels(upload, locked.pBits, locked.Pitch, format, 0, 0, source) < 0 ? -1 : 0;
    if (result == 0) {
        PadUsedEdge(static_cast<uint8_t *>(locked.pBits), locked.Pitch, format->bytesPerPixel,
                    rect.right - rect.left, rect.bottom - rect.top, column, row);
    }
    D3DTex_UnlockRectOnMainThread(texture, 0, asyncContext);
    return result;
}

int CopyImageToTextureMips(const GraphImageSet *set, const GraphTexturePiece &piece, K_IDirect3DTexture9 *texture,
                           const RECT &rect, const RECT &source, const TextureUpload &upload, void *asyncContext)
{
    if (IsDxtSlot(set->formatSlot)) {
        return CopyDxtLevels(set, piece, texture, rect, source, upload, set->mipLevelCount, asyncContext);
    }
    const ColorFormatDesc *format = GetD3DFormatColorDesc(TextureFormatSlots[set->formatSlot]);
    int bytes = format->bytesPerPixel;
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int roundedW = 1;
    int roundedH = 1;
    while (roundedW < width) {
        roundedW <<= 1;
    }
    while (roundedH < height) {
        roundedH <<= 1;
    }
    // Both halves of the work buffer hold a level at the pitch of the widest one.
    const int pitch = roundedW * bytes;
    size_t half = static_cast<size_t>(pitch) * static_cast<size_t>(roundedH);
    uint8_t *work = static_cast<uint8_t *>(KORVO_TRACKED_ALLOC(half * 2));
    if (work == nullptr) {
        return AppendLogText("テクスチャへ転送する画像を一時的に格納するメモリ領域の確保に失敗しました\n");
    }
    int result = ConvertUploadPixels(upload, work, pitch, format, 0, 0, source) < 0 ? -1 : 0;
    uint8_t *current = work;
    for (int level = 0; level < set->mipLevelCount && result == 0; ++level) {
        RECT levelRect = {rect.left >> level, rect.top >> level, rect.right >> level, rect.bottom >> level};
        if (levelRect.right < levelRect.left + 1) {
            levelRect.right = levelRect.left + 1;
        }
        if (levelRect.bottom < levelRect.top + 1) {
            levelRect.bottom = levelRect.top + 1;
        }
        K_D3DLOCKED_RECT locked = {};
        if (D3DTex_LockRectOnMainThread(texture, static_cast<UINT>(level), &locked, &levelRect, 0, asyncContext) < 0) {
            result = AppendLogText("ミップマップテクスチャのロックに失敗しました\n");
            break;
        }
        int rows = levelRect.bottom - levelRect.top < height ? levelRect.bottom - levelRect.top : height;
        int columns = levelRect.right - levelRect.left < width ? levelRect.right - levelRect.left : width;
        for (int y = 0; y < rows; ++y) {
            std::memcpy(static_cast<uint8_t *>(locked.pBits) + static_cast<ptrdiff_t>(y) * locked.Pitch,
                        current + static_cast<size_t>(y) * static_cast<size_t>(pitch),
                        static_cast<size_t>(columns * bytes));
        }
        D3DTex_UnlockRectOnMainThread(texture, static_cast<UINT>(level), asyncContext);
        if (level + 1 < set->mipLevelCount) {
            // The box filter takes even sides: an odd side repeats its last column or row once.
            int evenW = width > 1 && width % 2 != 0 ? width + 1 : width;
            int evenH = height > 1 && height % 2 != 0 ? height + 1 : height;
            PadUsedEdge(current, pitch, bytes, width, height, evenW != width, evenH != height);
            uint8_t *next = current == work ? work + half : work;
            if (HalveImageByBoxFilter(format, next, pitch, current, pitch, 0, 0, 0, 0, evenW, evenH) != 0) {
                result = -1;
            }
            current = next;
            width = evenW > 1 ? evenW / 2 : 1;
            height = evenH > 1 ? evenH / 2 : 1;
        }
    }
    TrackedFree(work);
    return result;
}

} // namespace Korvo

// Glyph rasterising: characters fetched from the system font with
// GetGlyphOutlineA into the next cells of a font's cache, the cache texture's
// creation and restoration, and the collection of a string's missing characters.

#include "font/font_record.h"

#include "core/public_api.h"
#include "core/log/fatal_error.h"
#include "core/memory/tracked_alloc.h"
#include "graphics/device/draw_settings.h"
#include "graphics/device/main_thread_call.h"
#include "graphics/graphs/graph_image_set.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// The graph calls' async context for a font build: non-null on a load worker,
// which sends their device work to the main thread.
static void *GraphContextOfBuild(int async)
{
    static int OnLoadWorker;
    return async != 0 ? &OnLoadWorker : nullptr;
}

static void WritePlaneToBaseImage(RasterImage *image, int x, int y, const uint8_t *plane, int pitch, int width,
                                  int height, int range)
{
    const ColorFormatDesc &format = image->format;
    for (int row = 0; row < height; ++row) {
        uint8_t *out = static_cast<uint8_t *>(image->pixels) + (y + row) * image->pitch + x * format.bytesPerPixel;
        for (int col = 0; col < width; ++col) {
            uint32_t texel = CacheTexelOfLevel(format, plane[row * pitch + col], range);
            if (format.bytesPerPixel == 2) {
                reinterpret_cast<uint16_t *>(out)[col] = static_cast<uint16_t>(texel);
            } else {
                reinterpret_cast<uint32_t *>(out)[col] = texel;
            }
        }
    }
}

static void ClearCell(FontHandleRecord *font, int x, int y)
{
    if (font->textureCache != 0) {
        RasterImage &image = font->baseImage;
        int bytes = image.format.bytesPerPixel;
        int planes = IsOutlinedType(font->type) ? 2 : 1;
        for (int plane = 0; plane < planes; ++plane) {
            for (int row = 0; row < font->cellSize; ++row) {
                uint8_t *line = static_cast<uint8_t *>(image.pixels) + (y + row) * image.pitch +
                                (x + plane * font->cacheWidth) * bytes;
                std::memset(line, 0, static_cast<size_t>(font->cellSize) * bytes);
            }
        }
    } else {
        std::memset(font->memoryCache + static_cast<size_t>(y) * font->memoryPitch, 0,
                    static_cast<size_t>(font->cellSize) * font->memoryPitch);
    }
}

// Coverage bytes of a fetched glyph (GGO_BITMAP rows unpacked, grey rows as they are)
static void UnpackGlyphCoverage(const uint8_t *bitmap, int rowBytes, int width, int height, int format,
                                std::vector<uint8_t> &out)
{
    out.assign(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t *row = bitmap + y * rowBytes;
        for (int x = 0; x < width; ++x) {
            out[y * width + x] = format == GGO_BITMAP ? (row[x >> 3] >> (7 - (x & 7))) & 1 : row[x];
        }
    }
}

// Rasterise one character into the next slot; false when GDI refused it
static bool RasterizeOneGlyph(FontHandleRecord *font, HDC dc, const TEXTMETRICA &metrics, int handle,
                              const GlyphCharEntry &entry)
{
    GlyphCacheSlot *slot = TakeNextGlyphSlot(font);
    int x, y;
    GlyphCellOrigin(font, slot->position, &x, &y);
    ClearCell(font, x, y);
    if (font->textureCache != 0) {
        x += 1;
        y += 1;
    }
    int factor = OversampleFactor(font->type);
    bool grey = font->type == 2 || font->type == 3;
    bool deepTexture = font->textureCache != 0 && font->textureBits == 32;
    UINT format = grey ? (deepTexture ? GGO_GRAY8_BITMAP : GGO_GRAY4_BITMAP) : GGO_BITMAP;
    int range = font->type <= 1 ? 1 : (deepTexture ? 64 : 16);
    int e = IsOutlinedType(font->type) ? font->edgeSize : 0;
    UINT character = entry.second != 0 ? entry.first * 256u + entry.second : entry.first;

    MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS glyph;
    DWORD size = GetGlyphOutlineA(dc, character, format, &glyph, 0, nullptr, &identity);
    if (size == GDI_ERROR) {
        AppendLogText("GetGlyphOutline 関数が失敗しました\n");
        return false;
    }
    if (IsBlankGlyph(entry) || size == 0) {
        slot->drawOffsetX = slot->drawOffsetY = 0;
        slot->width = slot->height = 0;
        slot->advance = static_cast<int16_t>((glyph.gmCellIncX + factor / 2) / factor);
    } else {
        int rowBytes = static_cast<int>(size / glyph.gmBlackBoxY) & ~3;
        uint8_t *bitmap = AllocGlyphBitmapBuffer(size, static_cast<int>(glyph.gmBlackBoxY), rowBytes);
        if (GetGlyphOutlineA(dc, character, format, &glyph, size, bitmap + rowBytes, &identity) == GDI_ERROR) {
            TrackedFree(bitmap);
            AppendLogText("GetGlyphOutline 関数が失敗しました\n");
            return false;
        }
        int below = metrics.tmAscent - glyph.gmptGlyphOrigin.y;
        slot->drawOffsetX = static_cast<int16_t>((glyph.gmptGlyphOrigin.x + factor / 4) / factor);
        slot->drawOffsetY = static_cast<int16_t>(below / factor);
        int width = (static_cast<int>(glyph.gmBlackBoxX) + factor - 1) / factor;
        int height = ((below % factor) + static_cast<int>(glyph.gmBlackBoxY) + factor - 1) / factor;
        slot->width = static_cast<int16_t>(width);
        slot->height = static_cast<int16_t>(height);
        slot->advance = static_cast<int16_t>((glyph.gmCellIncX + factor / 4) / factor);

        std::vector<uint8_t> unpacked;
        uint8_t *resampled = nullptr;
        const uint8_t *coverage;
        int coveragePitch = width;
        if (factor > 1) {
            resampled = AllocGlyphResampleBuffer(width, height, &coveragePitch);
            ReduceOversampledBitmap(bitmap + rowBytes, rowBytes, glyph.gmBlackBoxX, glyph.gmBlackBoxY, factor,
                                    below % factor, range, resampled, coveragePitch, width, height);
            coverage = resampled;
        } else {
            UnpackGlyphCoverage(bitmap + rowBytes, rowBytes, width, height, format, unpacked);
            coverage = unpacked.data();
        }
        size_t planeBytes = static_cast<size_t>(width + 2 * e) * (height + 2 * e);
        std::vector<uint8_t> glyphPlane(planeBytes), edgePlane(planeBytes);
        GlyphPlanes planes = {0, 0, 0, glyphPlane.data(), edgePlane.data()};
        BuildGlyphPlanes(coverage, coveragePitch, width, height, range, e, font->textureCache == 0 ? 1 : 0, &planes);
        TrackedFree(resampled);
        TrackedFree(bitmap);
        if (font->textureCache != 0) {
            WritePlaneToBaseImage(&font->baseImage, x, y, planes.glyph, planes.pitch, planes.width, planes.height,
                                  range);
            RECT rect;
            if (e > 0) {
                WritePlaneToBaseImage(&font->baseImage, x + font->cacheWidth, y, planes.edge, planes.pitch,
                                      planes.width, planes.height, range);
                rect = {x, y, x + planes.width, y + planes.height};
                UploadImageRectToGraph(&font->baseImage, nullptr, &rect, x, y, font->glyphGraph);
                rect = {x + font->cacheWidth, y, x + font->cacheWidth + planes.width, y + planes.height};
                UploadImageRectToGraph(&font->baseImage, nullptr, &rect, x + font->cacheWidth, y, font->glyphGraph);
            } else {
                rect = {x, y, x + font->cellSize, y + font->cellSize};
                if (rect.right > font->baseImage.width) {
                    rect.right = font->baseImage.width;
                }
                if (rect.bottom > font->baseImage.height) {
                    rect.bottom = font->baseImage.height;
                }
                UploadImageRectToGraph(&font->baseImage, nullptr, &rect, x, y, font->glyphGraph);
            }
        } else {
            WriteGlyphPlanesToMemoryCell(&planes, font->type, range,
                                         font->memoryCache + static_cast<size_t>(y) * font->memoryPitch,
                                         font->memoryPitch);
        }
    }
    slot->advance = static_cast<int16_t>(slot->advance + 2 * e);
    slot->width = static_cast<int16_t>(slot->width + 2 * e);
    slot->height = static_cast<int16_t>(slot->height + 2 * e);
    GlyphCodeEntry &code = font->codes[GlyphCodeOf(entry)];
    code.cached = 1;
    code.slot = slot;
    slot->code = &code;
    slot->inUse = 1;
    (void)handle;
    return true;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int ResetFontGlyphCache(int handle, int async)
{
    FontHandleRecord *font = LookupFontRecordForBuild(handle, async);
    if (font == nullptr) {
        return -1;
    }
    ResetGlyphTables(font);
    return 0;
}

int RestoreFontCacheTexture(int handle, int async)
{
    FontHandleRecord *font = LookupFontRecordForBuild(handle, async);
    if (font == nullptr) {
        return -1;
    }
    if (font->cacheLost != 1) {
        return 0;
    }
    font->cacheLost = 0;
    void *context = GraphContextOfBuild(async);
    // The creation settings come from the draw settings, which only the main thread writes.
    GraphCreateSettings settings;
    RunOnMainThread(context, [&settings] { CaptureGraphCreateSettings(&settings); });
    if (IsSmoothedType(font->type)) {
        settings.colorBits = font->textureBits;
        settings.drawableParam3 = 0;
        settings.plainParam4 = 0;
        settings.blankAlpha = 1;
    } else {
        settings.colorBits = 16;
        settings.drawableParam3 = 0;
        settings.plainParam4 = 1;
        settings.blankAlpha = 0;
    }
    int wanted = IsHardwareRenderingWanted();
    SetHardwareRenderingWanted(1);
    bool outlined = IsOutlinedType(font->type);
    font->glyphGraph = CreateBlankGraphFromSettings(&settings, font->cacheWidth * (outlined ? 2 : 1),
                                                    font->cacheHeight, 0, 0, context);
    SetHardwareRenderingWanted(wanted);
    if (font->glyphGraph == -1) {
        return -1;
    }
    if (outlined) {
        font->edgeGraph = CreateSubGraphInContext(font->cacheWidth, 0, font->cacheWidth, font->cacheHeight,
                                                  font->glyphGraph, context);
    }
    AttachGraphDeletedFlag(font->glyphGraph, &font->cacheLost);
    FillGraphWithColor(font->glyphGraph, 255, 255, 255, 0, context);
    ResetGlyphTables(font);
    return 0;
}

GlyphCacheSlot *RasterizeGlyphsToCache(int handle, int count, const GlyphCharEntry *entries)
{
    FontHandleRecord *font = LookupFontRecord(handle);
    if (font == nullptr || Draw.drawingSuspended != 0 || GraphicsState.started == 0) {
        return nullptr;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = dc != nullptr ? SelectObject(dc, static_cast<HFONT>(font->gdiFont)) : nullptr;
    if (dc == nullptr || old == nullptr) {
        AbortWithFatalError("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
    }
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    GlyphCacheSlot *last = nullptr;
    for (int i = 0; i < count; ++i) {
        if (RasterizeOneGlyph(font, dc, metrics, handle, entries[i])) {
            last = font->codes[GlyphCodeOf(entries[i])].slot;
        }
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return last;
}

int CacheStringGlyphsToHandle(int maxBytes, const char *text, int handle, GlyphCharEntry *entries, int *count)
{
    static GlyphCharEntry ShortEntries[256];
    static GlyphCharEntry ShortMissing[256];
    FontHandleRecord *font = LookupFontRecord(handle);
    if (font == nullptr) {
        return -1;
    }
    int length = lstrlenA(text);
    if (maxBytes != -1 && maxBytes < length) {
        length = maxBytes;
    }
    GlyphCharEntry *list = entries != nullptr && length < 257 ? entries : ShortEntries;
    GlyphCharEntry *missing = ShortMissing;
    GlyphCharEntry *block = nullptr;
    if (length >= 257) {
        block = static_cast<GlyphCharEntry *>(KORVO_TRACKED_ALLOC(sizeof(GlyphCharEntry) * 2 * length));
        if (block == nullptr) {
            return -1;
        }
        list = block;
        missing = block + length;
    }
    int missingCount = 0;
    int made = SplitTextIntoEntries(font, text, length, list, missing, &missingCount);
    if (missingCount > 0) {
        RasterizeGlyphsToCache(handle, missingCount, missing);
    }
    if (entries != nullptr && list != entries) {
        std::memcpy(entries, list, sizeof(GlyphCharEntry) * made);
    }
    if (block != nullptr) {
        TrackedFree(block);
    }
    if (count != nullptr) {
        *count = made;
    }
    return 0;
}

} // namespace Korvo

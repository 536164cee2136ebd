// String drawing and width: a run of characters drawn from a font's cache
// texture through the graph draws, or composed from its memory cache into a
// software image, horizontally or turned for vertical text; measured the same way.

#include "font/font_record.h"

#include "core/public_api.h"
#include "core/memory/tracked_alloc.h"
#include "graphics/draw/draw_front_end.h"
#include "graphics/device/draw_settings.h"
#include "graphics/graphs/graph_image_set.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/screen_request.h"
#include "softraster/draw_state.h"
#include "softraster/memimg_blit.h"

#include <windows.h>

#include <cmath>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// A screen colour modulated by the bright colour, as 0xFFRRGGBB
static uint32_t ModulatedTextColour(int colour)
{
    int r, g, b;
    UnpackScreenColor(colour, &r, &g, &b);
    uint32_t bright = Draw.brightColor;
    r = r * static_cast<int>((bright >> 16) & 0xFF) / 255;
    g = g * static_cast<int>((bright >> 8) & 0xFF) / 255;
    b = b * static_cast<int>(bright & 0xFF) / 255;
    return 0xFF000000u | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}

// The packed colour in the screen's format without its always-set bits
static uint32_t ScreenPixelOf(uint32_t argb, int bits)
{
    uint32_t packed = static_cast<uint32_t>(PackScreenColor((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF));
    return bits == 32 ? packed & 0x00FFFFFFu : (bits == 16 ? packed & 0xFFFFu : packed & 0xFFu);
}

static int CacheValueAt(const FontHandleRecord *font, int cellY, int gx, int gy)
{
    const uint8_t *row = font->memoryCache + static_cast<size_t>(cellY + gy) * font->memoryPitch;
    return font->memoryBits == 1 ? (row[gx >> 3] >> (7 - (gx & 7))) & 1 : row[gx];
}

// One glyph from the memory cache into a software image, clipped
static void ComposeGlyph(const FontHandleRecord *font, const GlyphCacheSlot *slot, MEMIMG *target, const RECT &clip,
                         int left, int top, int vertical, int transparent, uint32_t c, uint32_t k)
{
    int boxWidth = vertical != 0 ? slot->height : slot->width;
    int boxHeight = vertical != 0 ? slot->width : slot->height;
    RECT box = {left, top, left + boxWidth, top + boxHeight};
    RECT area = {box.left > clip.left ? box.left : clip.left, box.top > clip.top ? box.top : clip.top,
                 box.right < clip.right ? box.right : clip.right, box.bottom < clip.bottom ? box.bottom : clip.bottom};
    if (area.left >= area.right || area.top >= area.bottom) {
        return;
    }
    int cellX, cellY;
    GlyphCellOrigin(font, slot->position, &cellX, &cellY);
    int bits = GetScreenBitsPerPixel();
    int pixelBytes = bits == 32 ? 4 : (bits == 16 ? (font->type <= 1 ? 2 : 4) : 1);
    int pitch = target->body->pitch;
    for (int py = area.top; py < area.bottom; ++py) {
        uint8_t *row = target->pixels + static_cast<size_t>(py) * pitch;
        for (int px = area.left; px < area.right; ++px) {
            // Turned text: the glyph's top-left pixel lands at the box's top-right corner.
            int gx = vertical != 0 ? py - box.top : px - box.left;
            int gy = vertical != 0 ? box.right - 1 - px : py - box.top;
            uint32_t value = 0;
            if (!TargetPixelOfCacheValue(font->type, bits, CacheValueAt(font, cellY, gx, gy), c, k, &value)) {
                if (transparent != 0) {
                    continue;
                }
                value = 0;
            }
            uint8_t *pixel = row + px * pixelBytes;
            if (pixelBytes == 4) {
                *reinterpret_cast<uint32_t *>(pixel) = value;
            } else if (pixelBytes == 2) {
                *reinterpret_cast<uint16_t *>(pixel) = static_cast<uint16_t>(value);
            } else {
                *pixel = static_cast<uint8_t>(value);
            }
        }
    }
}

// One glyph from the cache texture through the graph draws
static void DrawGlyphFromTexture(const FontHandleRecord *font, const GlyphCacheSlot *slot, int x, int y, double pen,
                                 int scaled, double scaleX, double scaleY, int vertical, uint32_t text, uint32_t edge)
{
    int cellX, cellY;
    GlyphCellOrigin(font, slot->position, &cellX, &cellY);
    cellX += 1;
    cellY += 1;
    uint32_t savedBright = Draw.brightColor;
    const int planes[2] = {IsOutlinedType(font->type) ? font->edgeGraph : -1, font->glyphGraph};
    const uint32_t colours[2] = {edge, text};
    for (int i = 0; i < 2; ++i) {
        if (planes[i] == -1) {
            continue;
        }
        SetDrawBrightPackedRGB(colours[i] & 0x00FFFFFFu);
        if (vertical != 0) {
            double right = x + scaleX * (font->cellHeight - slot->drawOffsetY);
            double left = right - scaleX * slot->height;
            double top = y + pen + scaleY * slot->drawOffsetX;
            double bottom = top + scaleY * slot->width;
            RECT savedArea = Draw.drawArea;
            RECT narrowed = {static_cast<int>(left) - 1, savedArea.top, static_cast<int>(right) + 1, savedArea.bottom};
            narrowed.left = narrowed.left < savedArea.left ? savedArea.left : narrowed.left;
            narrowed.right = narrowed.right > savedArea.right ? savedArea.right : narrowed.right;
            SetDrawClipArea(narrowed.left, narrowed.top, narrowed.right, narrowed.bottom);
            int sub = CreateSubGraph(cellX, cellY, slot->width, slot->height, planes[i]);
            int filter = GetDrawFilterMode();
            SetDrawFilterMode(1);
            DrawGraphOnQuadF(static_cast<float>(right - 0.5), static_cast<float>(top - 0.5),
                             static_cast<float>(right - 0.5), static_cast<float>(bottom - 0.5),
                             static_cast<float>(left - 0.5), static_cast<float>(bottom - 0.5),
                             static_cast<float>(left - 0.5), static_cast<float>(top - 0.5), sub, 1);
            SetDrawFilterMode(filter);
            DestroyGraphHandle(sub, 0);
            SetDrawClipArea(savedArea.left, savedArea.top, savedArea.right, savedArea.bottom);
        } else if (scaled == 0) {
            DrawGraphSourceRect(x + static_cast<int>(pen) + slot->drawOffsetX, y + slot->drawOffsetY, cellX, cellY,
                                slot->width, slot->height, planes[i], 1, 0);
        } else {
            float x1 = static_cast<float>(x + pen + scaleX * slot->drawOffsetX);
            float y1 = static_cast<float>(y + scaleY * slot->drawOffsetY);
            DrawGraphSourceRectStretchedF(x1, y1, x1 + static_cast<float>(scaleX * slot->width),
                                          y1 + static_cast<float>(scaleY * slot->height), cellX, cellY, slot->width,
                                          slot->height, planes[i], 1);
        }
    }
    SetDrawBrightPackedRGB(savedBright);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

int RenderTextRun(int draw, int x, int y, int scaled, double scaleX, double scaleY, const char *text, int colour,
                  MEMIMG *target, const RECT *clip, int transparent, int fontHandle, int edgeColour, int byteCount,
                  int vertical, int *sizeOut)
{
    static GlyphCharEntry ShortEntries[256];
    FontHandleRecord *font = LookupFontRecord(fontHandle);
    if (Draw.drawingSuspended != 0 || GraphicsState.started == 0 || font == nullptr) {
        return -1;
    }
    if (font->textureCache == 0 || (draw != 0 && scaled == 0)) {
        scaleX = scaleY = 1.0;
    }
    int trim = static_cast<int>(font->topTrim * scaleY) / -2;
    (vertical != 0 ? x : y) += trim;
    double step = vertical != 0 ? scaleY : scaleX;
    uint32_t textColour = ModulatedTextColour(colour);
    uint32_t edgeColourPacked = ModulatedTextColour(edgeColour);
    if (text == nullptr || text[0] == '\0') {
        if (sizeOut != nullptr) {
            sizeOut[0] = vertical != 0 ? font->cellHeight : 0;
            sizeOut[1] = vertical != 0 ? 0 : font->cellHeight;
        }
        return 0;
    }
    int length = lstrlenA(text);
    if (byteCount != -1 && byteCount < length) {
        length = byteCount;
    }
    GlyphCharEntry *entries = ShortEntries;
    GlyphCharEntry *block = nullptr;
    if (length >= 257) {
        block = static_cast<GlyphCharEntry *>(KORVO_TRACKED_ALLOC(sizeof(GlyphCharEntry) * length));
        if (block == nullptr) {
            return -1;
        }
        entries = block;
    }
    int count = 0;
    CacheStringGlyphsToHandle(length, text, fontHandle, entries, &count);

    int bits = GetScreenBitsPerPixel();
    uint32_t c = ScreenPixelOf(textColour, bits);
    uint32_t k = ScreenPixelOf(edgeColourPacked, bits);
    double pen = 0.0;
    int result = 0;
    // Glyphs do not go through the program's blend graph; it is selected again after the run.
    const bool viaGraphDraws = draw != 0 && font->textureCache != 0;
    const BlendGraphSelection blendGraph = viaGraphDraws ? SuspendBlendGraph() : BlendGraphSelection{-1, 0, {0, 0}};
    for (int i = 0; i < count; ++i) {
        GlyphCodeEntry *code = &font->codes[GlyphCodeOf(entries[i])];
        if (code->cached == 0) {
            // The batch was full: this one comes alone.
            if (RasterizeGlyphsToCache(fontHandle, 1, &entries[i]) == nullptr || code->cached == 0) {
                AppendLogText("テキストキャッシュの作成に失敗しました");
                result = -1;
                break;
            }
        }
        const GlyphCacheSlot *slot = code->slot;
        if (draw != 0 && !IsBlankGlyph(entries[i]) && (slot->width != 0 || slot->height != 0)) {
            if (font->textureCache != 0) {
                DrawGlyphFromTexture(font, slot, x, y, pen, scaled, scaleX, scaleY, vertical, textColour,
                                     edgeColourPacked);
            } else if (target != nullptr) {
                int left = vertical != 0 ? x + font->cellHeight - slot->drawOffsetY - slot->height
                                         : x + static_cast<int>(pen) + slot->drawOffsetX;
                int top = vertical != 0 ? y + static_cast<int>(pen) + slot->drawOffsetX : y + slot->drawOffsetY;
                ComposeGlyph(font, slot, target, *clip, left, top, vertical, transparent, c, k);
            }
        }
        pen += (slot->advance + font->spacing) * step;
    }
    ResumeBlendGraph(blendGraph);
    if (block != nullptr) {
        TrackedFree(block);
    }
    if (result != 0) {
        return -1;
    }
    int run = static_cast<int>(pen);
    if (sizeOut != nullptr) {
        sizeOut[0] = vertical != 0 ? font->cellHeight : run;
        sizeOut[1] = vertical != 0 ? run : font->cellHeight;
    }
    return run;
}

static int DrawTextViaTextureCache(int fontHandle, const char *text, int x, int y, int colour, int edgeColour,
                                   int vertical)
{
    FontHandleRecord *font = LookupFontRecord(fontHandle);
    if (font == nullptr || font->glyphGraph == -1) {
        return 0;
    }
    RestoreFontCacheTexture(fontHandle, 0);
    RenderTextRun(1, x, y, 0, 1.0, 1.0, text, colour, nullptr, &Draw.drawArea, 1, fontHandle, edgeColour, -1,
                  vertical, nullptr);
    return 0;
}

static int DrawTextViaMemoryCache(int fontHandle, int y, int x, const char *text, int colour, int edgeColour,
                                  int vertical)
{
    FontHandleRecord *font = LookupFontRecord(fontHandle);
    MEMIMG *screen = GetDrawTargetMemImg();
    if (font == nullptr || screen == nullptr) {
        return 0;
    }
    int box[2] = {0, 0};
    RenderTextRun(0, 0, 0, 0, 1.0, 1.0, text, colour, nullptr, nullptr, 1, fontHandle, edgeColour, -1, vertical, box);
    bool smoothed = IsSmoothedType(font->type);
    bool temporary = (Draw.blendMode != 0 || smoothed) && (smoothed || Draw.blendMode != 1 || Draw.blendParam != 255);
    if (!temporary) {
        RenderTextRun(1, x, y, 0, 1.0, 1.0, text, colour, screen, &Draw.drawArea, 1, fontHandle, edgeColour, -1,
                      vertical, nullptr);
        return 0;
    }
    if (box[0] <= 0 || box[1] <= 0) {
        return 0;
    }
    // The run is composed alone, then blended onto the screen in the current blend mode.
    MEMIMG work = {};
    int bits = GetScreenBitsPerPixel();
    MemImgPixelKind kind = bits == 32 ? MEMIMG_KIND_XRGB32 : MEMIMG_KIND_RGB565;
    if (CreateWorkMemImg(&work, box[0], box[1], kind, smoothed ? 1 : 0) != 0) {
        return -1;
    }
    uint32_t key = 0;
    if (!smoothed) {
        uint32_t c = ScreenPixelOf(ModulatedTextColour(colour), bits);
        uint32_t k = ScreenPixelOf(ModulatedTextColour(edgeColour), bits);
        while (key == c || key == k) {
            ++key;
        }
        work.body->transparentColor = key;
    }
    RECT whole = {0, 0, box[0], box[1]};
    FillMemImgRectRaw(&work, &whole, key);
    RenderTextRun(1, 0, 0, 0, 1.0, 1.0, text, colour, &work, &whole, 1, fontHandle, edgeColour, -1, vertical, nullptr);
    RECT onScreen = {x, y, x + box[0], y + box[1]};
    onScreen.left = onScreen.left < Draw.drawArea.left ? Draw.drawArea.left : onScreen.left;
    onScreen.top = onScreen.top < Draw.drawArea.top ? Draw.drawArea.top : onScreen.top;
    onScreen.right = onScreen.right > Draw.drawArea.right ? Draw.drawArea.right : onScreen.right;
    onScreen.bottom = onScreen.bottom > Draw.drawArea.bottom ? Draw.drawArea.bottom : onScreen.bottom;
    SetMemImgClipRect(&onScreen);
    uint32_t bright = Draw.brightColor;
    SetMemImgBrightColor(0xFFFFFF);
    // Text does not go through the blend graph, as on the Direct3D road.
    BlendBlitMemImg(screen, &work, x, y, 1, nullptr);
    SetMemImgBrightColor(bright);
    SetMemImgClipRect(&Draw.drawArea);
    DisposeMemImg(&work);
    return 0;
}

int DrawTextToHandle(int x, int y, const char *text, int colour, int fontHandle, int edgeColour, int vertical)
{
    if (text == nullptr || text[0] == '\0' || Draw.drawingSuspended != 0) {
        return 0;
    }
    FontHandleRecord *font = LookupFontRecord(fontHandle);
    if (font == nullptr) {
        AppendLogText("フォントハンドル値が異常です\n");
        return -1;
    }
    WaitWhileAppInactive();
    bool viaTexture = font->textureCache != 0 && font->glyphGraph != -1;
    bool emulate = viaTexture && SubtractEmulationNeeded(true);
    auto drawRun = [&]() {
        return viaTexture ? DrawTextViaTextureCache(fontHandle, text, x, y, colour, edgeColour, vertical)
                          : DrawTextViaMemoryCache(fontHandle, y, x, text, colour, edgeColour, vertical);
    };
    if (!emulate && IsMaskScreenEnabled() == 0) {
        return drawRun();
    }
    int t = font->topTrim / 2;
    RECT affected;
    if (vertical == 0) {
        if (x >= Draw.drawArea.right) {
            return 0;
        }
        affected = {x, y - t, Draw.drawArea.right, y - t + font->size + 3};
    } else {
        if (x + t >= Draw.drawArea.right) {
            return 0;
        }
        affected = {x + t, y, x + t + font->size + 3, Draw.drawArea.bottom};
    }
    return RunDrawBackEnd(affected, emulate, drawRun);
}

} // namespace Korvo

// Font handles (kind 8): the system font behind each handle, its cache, the
// standard font and the re-creation of every font after a device rebuild.

#include "font/font_record.h"
#include "font/startup_entries.h"

#include "core/public_api.h"
#include "core/log/error_log.h"
#include "core/memory/tracked_alloc.h"
#include "core/system/win32/app_window.h"
#include "core/text/dbcs_string.h"
#include "graphics/device/device_rebuild_hooks.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/device/graphics_state.h"
#include "graphics/device/format_slots.h"
#include "graphics/device/screen_request.h"
#include "core/system/message_pump_hooks.h"
#include "graphics/startup_entries.h"

#include <windows.h>

#include <cmath>
#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

static const char kDefaultFace[] = "ＭＳ ゴシック";
static const BYTE kGdiCharSets[5] = {DEFAULT_CHARSET, SHIFTJIS_CHARSET, HANGEUL_CHARSET, CHINESEBIG5_CHARSET,
                                     GB2312_CHARSET};

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------

struct StandardFontState {
    char face[kFontFaceNameBytes];
    int size;
    int thickness;
    int type;
    int charSet;
    int edgeSize;
    int italic;
    int spacing;
    int handle;                // 0 before the first, -1 after a failure
    int started;
};

static StandardFontState Standard;

// Standard fonts of recent sizes, kept so that a program switching between a few
// sizes every frame finds each one built with its glyphs cached. Each handle is
// owned by its entry (deleting the font clears it). They give way before a new
// font would find the kind full, so they never cost a program a font.
constexpr int kRecentStandardFonts = 3;
static int RecentStandardFonts[kRecentStandardFonts] = {-1, -1, -1};
static FontCacheSettings CacheSettingGlobals;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Delete the kept standard fonts of earlier sizes (their entries become -1)
static void ReleaseRecentStandardFonts()
{
    for (int &recent : RecentStandardFonts) {
        if (LookupFontRecord(recent) != nullptr) {
            DeleteHandleRecord(recent);
        }
        recent = -1;
    }
}

static void WaitWhileInactive()
{
    if (GetAppActiveState() == 0) {
        WaitWhileAppInactive();
    }
}

static BYTE GdiCharSetOf(int code)
{
    return code >= 0 && code < 5 ? kGdiCharSets[code] : static_cast<BYTE>(DEFAULT_CHARSET);
}

static HFONT MakeGdiFont(int height, int thickness, int italic, BYTE charSet, const char *face)
{
    return CreateFontA(height, 0, 0, 0, thickness * 100, italic, 0, 0, charSet, 0, 0, NONANTIALIASED_QUALITY,
                       FIXED_PITCH, face);
}

// The system font with the creation fall-backs; null after logging
static HFONT MakeFontWithFallbacks(int height, int thickness, int italic, int charSet, const char *face)
{
    HFONT font;
    if (face != nullptr && face[0] != '\0') {
        font = MakeGdiFont(height, thickness, italic, GdiCharSetOf(charSet), face);
        if (font == nullptr) {
            font = MakeGdiFont(height, thickness, italic, DEFAULT_CHARSET, face);
        }
        if (font == nullptr) {
            font = MakeGdiFont(height, thickness, italic, SHIFTJIS_CHARSET, face);
        }
        if (font == nullptr) {
            AppendLogText("指定のフォントの作成に失敗しました\n");
        }
        return font;
    }
    font = MakeGdiFont(height, thickness, italic, GdiCharSetOf(charSet), kDefaultFace);
    if (font == nullptr) {
        font = MakeGdiFont(height, thickness, 0, DEFAULT_CHARSET, kDefaultFace);
    }
    if (font == nullptr) {
        font = MakeGdiFont(height, thickness, 0, DEFAULT_CHARSET, nullptr);
    }
    if (font == nullptr) {
        AppendLogText("フォントの作成に失敗しました\n");
    }
    return font;
}

static bool ReadFontMetrics(HFONT font, TEXTMETRICA *metrics)
{
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) {
        return false;
    }
    HGDIOBJ old = SelectObject(dc, font);
    GetTextMetricsA(dc, metrics);
    SelectObject(dc, old);
    DeleteDC(dc);
    return true;
}

static bool FaceIsInstalled(const char *face, int charSet)
{
    int count = ListFontFaceNames(nullptr, 0, face, charSet);
    if (count <= 0) {
        return false;
    }
    char *names = static_cast<char *>(KORVO_TRACKED_ALLOC_ZEROED(static_cast<size_t>(count) * kFontListNameBytes));
    if (names == nullptr) {
        return false;
    }
    ListFontFaceNames(names, count, face, charSet);
    bool found = false;
    for (int i = 0; i < count && !found; ++i) {
        found = lstrcmpA(names + i * kFontListNameBytes, face) == 0;
    }
    TrackedFree(names);
    return found;
}

static int InitFontRecordCallback(void *record)
{
    FontHandleRecord *font = static_cast<FontHandleRecord *>(record);
    font->glyphGraph = -1;
    font->edgeGraph = -1;
    return 0;
}

static int ReleaseFontRecordCallback(void *record)
{
    FontHandleRecord *font = static_cast<FontHandleRecord *>(record);
    if (font->gdiFont != nullptr) {
        DeleteObject(static_cast<HFONT>(font->gdiFont));
        font->gdiFont = nullptr;
    }
    if (font->memoryCache != nullptr) {
        TrackedFree(font->memoryCache);
        font->memoryCache = nullptr;
    }
    if (font->glyphGraph != -1) {
        DestroyGraphHandle(font->glyphGraph, 0);
        if (font->edgeGraph != -1) {
            DestroyGraphHandle(font->edgeGraph, 0);
        }
        font->glyphGraph = -1;
        font->edgeGraph = -1;
    }
    if (font->baseImage.pixels != nullptr) {
        TrackedFree(font->baseImage.pixels);
        font->baseImage.pixels = nullptr;
    }
    if (font->deleteFlag != nullptr) {
        *font->deleteFlag = 1;
    }
    return 0;
}

// A new record built with the settings, bound to owner (may be null); the handle or -1
static int MakeFontRecord(const FontCacheSettings *settings, const char *face, int size, int thickness, int type,
                          int charSet, int edgeSize, int italic, int wanted, int *owner)
{
    int handle = CreateFontHandleWithSettings(settings, face, size, thickness, type, charSet, edgeSize, italic,
                                              wanted, 0);
    if (owner != nullptr) {
        *owner = handle;
        if (handle != -1) {
            BindHandleOwnerVariable(handle, owner);
        }
    }
    return handle;
}

// ---------------------------------------------------------------------------
// Public functions: records
// ---------------------------------------------------------------------------

int IsFontHandleValid(int handle)
{
    return LookupFontRecord(handle) != nullptr ? 1 : 0;
}

void CopyFontCacheSettings(FontCacheSettings *out)
{
    *out = CacheSettingGlobals;
}

// Glyph caches live in graphs, which the rebuild empties; every font is made again.
static int RecreateFontsAfterRebuild()
{
    return RecreateAllFontHandles() < 0 ? -1 : 0;
}

static const DeviceRebuildHooks FontRebuildHooks = {nullptr, RecreateFontsAfterRebuild, nullptr};

int InitFontHandleSystem()
{
    if (Standard.started != 0) {
        return -1;
    }
    AddDeviceRebuildHooks(&FontRebuildHooks);
    RegisterHandleType(HANDLE_KIND_FONT, static_cast<int>(sizeof(FontHandleRecord)), kFontMaxCount,
                       InitFontRecordCallback, ReleaseFontRecordCallback, "フォント");
    Standard.face[0] = '\0';
    Standard.size = 16;
    Standard.thickness = 6;
    Standard.type = 0;
    Standard.charSet = GetCharSetCode();
    Standard.edgeSize = 1;
    Standard.italic = 0;
    Standard.spacing = 0;
    Standard.handle = 0;
    Standard.started = 1;
    ResetStandardFontState(0);
    return 0;
}

int TermFontHandleSystem()
{
    if (Standard.started == 0) {
        return -1;
    }
    ResetStandardFontState(1);
    if (Standard.handle > 0) {
        DeleteHandleRecord(Standard.handle);
    }
    UnregisterHandleType(HANDLE_KIND_FONT);
    RemoveDeviceRebuildHooks(&FontRebuildHooks);
    Standard.handle = 0;
    Standard.started = 0;
    return 0;
}

int ResetStandardFontState(int endFlag)
{
    if (GetDirectDraw7Object() == nullptr && GraphicsState.started == 0) {
        return -1;
    }
    AppendLogText("フォントの初期化を行います\n");
    IncreaseLogIndent();
    StandardFontState remembered = Standard;
    if (FontHandleRecord *font = LookupFontRecord(Standard.handle)) {
        lstrcpynA(remembered.face, font->face, kFontFaceNameBytes);
        remembered.size = font->size;
        remembered.thickness = font->thickness;
        remembered.type = font->type;
        remembered.charSet = font->charSet;
        remembered.edgeSize = font->edgeSize;
        remembered.italic = font->italic;
    }
    DeleteHandlesOfType(HANDLE_KIND_FONT, nullptr);
    if (endFlag == 0) {
        FontCacheSettings settings;
        CopyFontCacheSettings(&settings);
        MakeFontRecord(&settings, remembered.face, remembered.size, remembered.thickness, remembered.type,
                       remembered.charSet, IsOutlinedType(remembered.type) ? remembered.edgeSize : -1,
                       remembered.italic, -1, &Standard.handle);
    }
    DecreaseLogIndent();
    AppendLogText("フォントの初期化は正常に終了しました\n");
    return 0;
}

int CreateFontHandleWithSettings(const FontCacheSettings *settings, const char *face, int size, int thickness,
                                 int type, int charSet, int edgeSize, int italic, int wantedHandle, int async)
{
    WaitWhileInactive();
    const HandleTypeEntry &kind = HandleTypeTable[HANDLE_KIND_FONT];
    if (kind.liveCount >= kind.maxCount) {
        ReleaseRecentStandardFonts();
    }
    int handle = CreateHandleRecord(HANDLE_KIND_FONT, wantedHandle);
    if (handle == -1) {
        return -1;
    }
    // A program has no settings record of its own: null takes the current ones.
    FontCacheSettings current;
    if (settings == nullptr) {
        CopyFontCacheSettings(&current);
        settings = &current;
    }
    if (async != 0) {
        FontBuildParams params = {*settings, handle, face, size, thickness, type, charSet, edgeSize, italic};
        if (QueueAsyncFontBuild(params) != 0) {
            DeleteHandleRecord(handle);
            return -1;
        }
        return handle;
    }
    if (CreateFontToHandle(size, settings, handle, face, thickness, type, charSet, edgeSize, italic, 0) < 0) {
        DeleteHandleRecord(handle);
        return -1;
    }
    return handle;
}

int CreateFontToHandle(int size, const FontCacheSettings *settings, int handle, const char *face, int thickness,
                       int type, int charSet, int edgeSize, int italic, int async)
{
    FontHandleRecord *font = static_cast<FontHandleRecord *>(LookupHandleRecord(handle));
    if (font == nullptr) {
        return -1;
    }
    HWND window = GetAppWindowHandle();
    if (window != nullptr && IsWindow(window) == 0) {
        return -1;
    }
    type = type == -1 ? 0 : type;
    if (edgeSize > 1) {
        type |= 1;
    }
    size = size == -1 ? 16 : size;
    thickness = thickness == -1 ? 6 : thickness;
    edgeSize = edgeSize == -1 ? 1 : edgeSize;
    bool verifyFace = charSet == -1;
    if (charSet == -1) {
        charSet = GetCharSetCode();
    }
    if (GetScreenBitsPerPixel() == 8) {
        type &= ~2;
    }
    font->thickness = thickness;
    font->size = size;
    font->type = type;
    font->edgeSize = edgeSize;
    font->italic = italic;
    font->spacing = 0;
    font->textureCache = GraphicsState.direct3DModeActive != 0 && settings->values[0] == 0 ? 1 : 0;
    font->textureBits = font->textureCache != 0 && IsSmoothedType(type) && settings->values[1] == 0 ? 32 : 16;
    lstrcpynA(font->face, face != nullptr ? face : "", kFontFaceNameBytes);
    if (verifyFace && font->face[0] != '\0' && !FaceIsInstalled(font->face, charSet)) {
        charSet = 0;
    }

    int factor = OversampleFactor(type);
    int firstHeight = size * factor;
    HFONT gdiFont = MakeFontWithFallbacks(firstHeight, thickness, italic, charSet, font->face);
    if (gdiFont == nullptr) {
        return -1;
    }
    TEXTMETRICA metrics;
    if (!ReadFontMetrics(gdiFont, &metrics)) {
        AppendLogText("ＤＣの取得に失敗しました\n");
        DeleteObject(gdiFont);
        return -1;
    }
    font->topTrim = 0;
    int leading = metrics.tmInternalLeading + metrics.tmExternalLeading;
    if (leading >= 1) {
        // Make the font taller by its leading so the cell minus the leading is the size asked for.
        double taller = firstHeight / (1.0 - static_cast<double>(leading) / metrics.tmHeight);
        int firstTextHeight = metrics.tmHeight;
        DeleteObject(gdiFont);
        gdiFont = MakeFontWithFallbacks(static_cast<int>(taller), thickness, italic, charSet, font->face);
        if (gdiFont == nullptr || !ReadFontMetrics(gdiFont, &metrics)) {
            if (gdiFont != nullptr) {
                DeleteObject(gdiFont);
            }
            return -1;
        }
        font->topTrim = (metrics.tmHeight - firstTextHeight) / factor;
    }
    font->cellSize = ComputeFontCellSize(metrics.tmMaxCharWidth, metrics.tmHeight, factor, edgeSize,
                                         IsOutlinedType(type) ? 1 : 0, &font->cellHeight);
    if (font->gdiFont != nullptr) {
        DeleteObject(static_cast<HFONT>(font->gdiFont));
    }
    font->gdiFont = gdiFont;

    if (font->textureCache != 0) {
        ComputeTextureCacheLayout(font->cellSize, settings->values[2], &font->cacheWidth, &font->cacheHeight,
                                  &font->slotCount);
        font->cellsPerColumn = font->cacheHeight / font->cellSize;
        font->cacheLost = 1;
        if (RestoreFontCacheTexture(handle, async) < 0) {
            AppendLogText("テクスチャ文字キャッシュの作成に失敗しました\n");
            font->textureCache = 0;
        }
    }
    if (font->textureCache != 0) {
        const ColorFormatDesc *format = LookupTextureColorFormat(IsSmoothedType(type) ? 1 : 0,
                                                                 IsSmoothedType(type) ? 0 : 1,
                                                                 font->textureBits != 16 ? 1 : 0, 0);
        std::memset(&font->baseImage, 0, sizeof(font->baseImage));
        font->baseImage.format = *format;
        font->baseImage.width = font->cacheWidth * (IsOutlinedType(type) ? 2 : 1);
        font->baseImage.height = font->cacheHeight;
        font->baseImage.pitch = format->bytesPerPixel * font->baseImage.width;
        size_t bytes = CacheBlockBytes(font->baseImage.height, font->baseImage.pitch);
        font->baseImage.pixels = bytes != 0 ? static_cast<uint8_t *>(KORVO_TRACKED_ALLOC_ZEROED(bytes)) : nullptr;
        if (font->baseImage.pixels == nullptr) {
            AppendLogText("文字キャッシュ基本イメージ用のメモリの確保に失敗しました\n");
            return -1;
        }
    } else {
        font->memoryBits = type == 0 ? 1 : 8;
        font->slotCount = ComputeMemoryCacheSlotCount(font->cellSize, settings->values[2]);
        font->cacheWidth = font->cellSize;
        font->cacheHeight = font->cellSize * font->slotCount;
        font->cellsPerColumn = font->slotCount;
        font->memoryPitch = (font->memoryBits * font->cellSize + 7) / 8;
        if (font->memoryCache != nullptr) {
            TrackedFree(font->memoryCache);
        }
        size_t bytes = CacheBlockBytes(font->cacheHeight, font->memoryPitch);
        font->memoryCache = bytes != 0 ? static_cast<uint8_t *>(KORVO_TRACKED_ALLOC_ZEROED(bytes)) : nullptr;
        if (font->memoryCache == nullptr) {
            AppendLogText("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle");
            return -1;
        }
    }
    ResetGlyphTables(font);
    font->charSet = charSet;
    font->deleteFlag = nullptr;
    return 0;
}

int QueryFontAttributesToHandle(char *face, int *size, int *thickness, int handle)
{
    FontHandleRecord *font = LookupFontRecord(handle);
    if (font == nullptr) {
        return -1;
    }
    if (face != nullptr) {
        lstrcpyA(face, font->face);
    }
    if (size != nullptr) {
        *size = font->size;
    }
    if (thickness != nullptr) {
        *thickness = font->thickness;
    }
    return 0;
}

int GetFontPixelSizeToHandle(int handle)
{
    FontHandleRecord *font = LookupFontRecord(handle);
    return font != nullptr ? font->size : -1;
}

int SetFontCharSpacingToHandle(int spacing, int handle)
{
    FontHandleRecord *font = LookupFontRecord(handle);
    if (font == nullptr) {
        return -1;
    }
    font->spacing = spacing;
    return 0;
}

int AttachFontDeleteFlagToHandle(int handle, int *flag)
{
    FontHandleRecord *font = LookupFontRecord(handle);
    if (font == nullptr) {
        return -1;
    }
    font->deleteFlag = flag;
    if (flag != nullptr) {
        *flag = 0;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions: the standard font
// ---------------------------------------------------------------------------

int GetStandardFontHandle()
{
    return Standard.handle;
}

int ConfigureStandardFont(const char *face, int size, int thickness)
{
    if (GetDirectDraw7Object() == nullptr && GraphicsState.started == 0) {
        return -1;
    }
    lstrcpynA(Standard.face, face != nullptr ? face : "", kFontFaceNameBytes);
    Standard.size = size == -1 ? 16 : size;
    Standard.thickness = thickness == -1 ? 6 : thickness;
    RefreshStandardFont();
    return 0;
}

int SetStandardFontPixelSize(int size)
{
    Standard.size = size == -1 ? 16 : size;
    RefreshStandardFont();
    return 0;
}

int GetStandardFontPixelSize()
{
    RefreshStandardFont();
    return GetFontPixelSizeToHandle(Standard.handle);
}

static bool StandardFontMatches(const FontHandleRecord *font)
{
    return lstrcmpA(font->face, Standard.face) == 0 && font->type == Standard.type && font->size == Standard.size &&
           font->thickness == Standard.thickness && font->charSet == Standard.charSet &&
           font->edgeSize == Standard.edgeSize && font->italic == Standard.italic;
}

int RefreshStandardFont()
{
    if (Standard.started == 0) {
        return 0;
    }
    FontHandleRecord *font = LookupFontRecord(Standard.handle);
    if (font != nullptr && StandardFontMatches(font)) {
        return 0;
    }
    for (int &recent : RecentStandardFonts) {
        FontHandleRecord *kept = LookupFontRecord(recent);
        if (kept != nullptr && StandardFontMatches(kept)) {
            // Swap: the kept font becomes the standard one, the current one is kept.
            int current = font != nullptr ? Standard.handle : -1;
            Standard.handle = recent;
            BindHandleOwnerVariable(Standard.handle, &Standard.handle);
            recent = current;
            if (current != -1) {
                BindHandleOwnerVariable(current, &recent);
            }
            SetFontCharSpacingToHandle(Standard.spacing, Standard.handle);
            return 0;
        }
    }
    if (font != nullptr) {
        // Keep the current font in the oldest entry's place.
        int &oldest = RecentStandardFonts[kRecentStandardFonts - 1];
        if (oldest != -1) {
            DeleteHandleRecord(oldest);
        }
        for (int i = kRecentStandardFonts - 1; i > 0; --i) {
            RecentStandardFonts[i] = RecentStandardFonts[i - 1];
            if (RecentStandardFonts[i] != -1) {
                BindHandleOwnerVariable(RecentStandardFonts[i], &RecentStandardFonts[i]);
            }
        }
        RecentStandardFonts[0] = Standard.handle;
        BindHandleOwnerVariable(RecentStandardFonts[0], &RecentStandardFonts[0]);
        Standard.handle = -1;
    }
    FontCacheSettings settings;
    CopyFontCacheSettings(&settings);
    MakeFontRecord(&settings, Standard.face, Standard.size, Standard.thickness, Standard.type, Standard.charSet,
                   IsOutlinedType(Standard.type) ? Standard.edgeSize : -1, Standard.italic, -1, &Standard.handle);
    SetFontCharSpacingToHandle(Standard.spacing, Standard.handle);
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions: rebuilding and listing
// ---------------------------------------------------------------------------

int RecreateAllFontHandles()
{
    HandleTypeEntry &kind = HandleTypeTable[HANDLE_KIND_FONT];
    if (kind.registered == 0) {
        return -1;
    }
    for (int slot = 0; slot < kind.maxCount; ++slot) {
        FontHandleRecord *font = static_cast<FontHandleRecord *>(kind.slots[slot]);
        // A font whose build is pending is still being written by its worker: it is
        // left to its build.
        if (font == nullptr || HasPendingLoadJob(font->header.handle) != 0) {
            continue;
        }
        int handle = font->header.handle;
        char face[kFontFaceNameBytes];
        lstrcpynA(face, font->face, kFontFaceNameBytes);
        int charSet = font->charSet, edgeSize = font->edgeSize, size = font->size, thickness = font->thickness;
        int type = font->type, italic = font->italic, spacing = font->spacing;
        // Deleting writes -1 into the owner's variable; the new record under the same
        // value is bound to it again, or the standard font would be made a second time
        // and this one would stay behind unowned.
        int *owner = font->header.ownerVariable;
        int *deleteFlag = font->deleteFlag;
        DeleteHandleRecord(handle);
        WaitWhileInactive();
        if (CreateHandleRecord(HANDLE_KIND_FONT, handle) != handle) {
            continue;
        }
        FontCacheSettings settings;
        CopyFontCacheSettings(&settings);
        if (CreateFontToHandle(size, &settings, handle, face, thickness, type, charSet, edgeSize, italic, 0) < 0) {
            DeleteHandleRecord(handle);
            continue;
        }
        SetFontCharSpacingToHandle(spacing, handle);
        if (owner != nullptr) {
            *owner = handle;
            BindHandleOwnerVariable(handle, owner);
        }
        if (deleteFlag != nullptr) {
            AttachFontDeleteFlagToHandle(handle, deleteFlag);
        }
    }
    return 0;
}

struct FaceCollection {
    char *names;
    int count;
    int maxCount;
};

static int CALLBACK CollectFontFaceName(const LOGFONTA *logFont, const TEXTMETRICA *, DWORD, LPARAM param)
{
    FaceCollection *list = reinterpret_cast<FaceCollection *>(param);
    const char *name = reinterpret_cast<const char *>(reinterpret_cast<const ENUMLOGFONTEXA *>(logFont)->elfFullName);
    if (name[0] == '@') {
        return 1;
    }
    for (int i = 0; i < list->count; ++i) {
        if (lstrcmpA(list->names + i * kFontListNameBytes, name) == 0) {
            return 1;
        }
    }
    lstrcpynA(list->names + list->count * kFontListNameBytes, name, kFontListNameBytes);
    ++list->count;
    return list->maxCount != 0 && list->count >= list->maxCount ? 0 : 1;
}

int ListFontFaceNames(char *buffer, int maxCount, const char *faceFilter, int charSetIndex)
{
    constexpr int kTemporaryNames = 0x40000 / kFontListNameBytes;
    FaceCollection list = {buffer, 0, maxCount};
    if (buffer == nullptr) {
        list.names = static_cast<char *>(KORVO_TRACKED_ALLOC(0x40000));
        if (list.names == nullptr) {
            return 0;
        }
        list.maxCount = maxCount == 0 || maxCount > kTemporaryNames ? kTemporaryNames : maxCount;
    }
    LOGFONTA logFont = {};
    logFont.lfCharSet = charSetIndex == -1 ? static_cast<BYTE>(DEFAULT_CHARSET) : GdiCharSetOf(charSetIndex);
    if (faceFilter != nullptr) {
        lstrcpynA(logFont.lfFaceName, faceFilter, 32);
    }
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(dc, &logFont, reinterpret_cast<FONTENUMPROCA>(CollectFontFaceName),
                        reinterpret_cast<LPARAM>(&list), 0);
    ReleaseDC(nullptr, dc);
    if (buffer == nullptr) {
        TrackedFree(list.names);
    }
    return list.count;
}

} // namespace Korvo

// Font handle records (handle kind 8): the system font, its glyph cache of
// square cells (a texture mirrored by a base image, or a block of memory) and
// the look-ups the rasteriser and the string code use.
#pragma once

#include "font/public_api.h"

#include "core/memory/handle_manager.h"
#include "core/threads/async_load.h"
#include "image/raster_image.h"

#include <cstddef>
#include <cstdint>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kFontMaxCount = 40;
constexpr int kGlyphSlotCapacity = 2025; // the last entry only ends the list
constexpr int kGlyphMaxSlots = 2024;
constexpr int kGlyphCodeCount = 65536;
constexpr int kFontFaceNameBytes = 256;
constexpr int kFontListNameBytes = 64;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct GlyphCodeEntry;

struct GlyphCacheSlot {
    uint8_t inUse;
    int16_t drawOffsetX;
    int16_t drawOffsetY;
    int16_t advance;
    int32_t position;          // cell index; -1 ends the list
    int16_t width;
    int16_t height;
    GlyphCodeEntry *code;      // the code occupying the slot
};

struct GlyphCodeEntry {
    int32_t cached;            // 1: the code has a slot (also a mark while collecting)
    GlyphCacheSlot *slot;
};

// [0] keep the cache in memory, [1] 16-bit texture for smoothed fonts, [2] characters to cache (0 automatic)
struct FontCacheSettings {
    int values[3];
};

struct FontHandleRecord {
    HandleRecordHeader header;
    int *deleteFlag;
    GlyphCacheSlot slots[kGlyphSlotCapacity];
    GlyphCodeEntry codes[kGlyphCodeCount];
    int nextSlot;
    int slotCount;
    uint8_t *memoryCache;      // memory path
    int memoryPitch;
    int memoryBits;            // 1 or 8
    char face[kFontFaceNameBytes];
    int thickness;
    int size;
    int cellHeight;
    int topTrim;
    int italic;
    int spacing;
    int cellSize;
    void *gdiFont;             // HFONT
    int type;
    int charSet;
    int edgeSize;
    int cacheWidth;
    int cacheHeight;
    int cellsPerColumn;
    int glyphGraph;            // -1 none
    int edgeGraph;             // -1 none
    int cacheLost;             // 1: make the texture again before use
    RasterImage baseImage;
    int textureBits;           // 16 or 32
    int textureCache;          // 1 texture path, 0 memory path
};

// The arguments of a font build, as a load job carries them to its worker.
struct FontBuildParams {
    FontCacheSettings settings;
    int handle;
    const char *face;          // null or empty: the default face
    int size;
    int thickness;
    int type;
    int charSet;
    int edgeSize;
    int italic;
};

// A string split into characters: first byte, second byte (0 single), flag 0.
struct GlyphCharEntry {
    uint8_t first;
    uint8_t second;
    uint8_t flag;
};

// ---------------------------------------------------------------------------
// Portable helpers (glyph_cache_layout.cpp, text_run_layout.cpp)
// ---------------------------------------------------------------------------

inline int OversampleFactor(int type) { return type >= 34 ? 8 : (type >= 18 ? 4 : 1); }
inline bool IsOutlinedType(int type) { return (type & 1) != 0; }
inline bool IsSmoothedType(int type) { return (type & 2) != 0; }
inline int GlyphCodeOf(const GlyphCharEntry &entry) { return entry.first | (entry.second << 8); }

// Cell side from the text metrics (max char width, height) of a font built at factor f; sets the cell height
int ComputeFontCellSize(int maxCharWidth, int textHeight, int factor, int edgeSize, int outlined, int *cellHeight);
// Texture cache size and slot count for a cell size and the characters wanted (0 automatic)
void ComputeTextureCacheLayout(int cellSize, int wantedChars, int *width, int *height, int *slotCount);
// Memory cache slot count for a cell size and the characters wanted (0 automatic)
int ComputeMemoryCacheSlotCount(int cellSize, int wantedChars);
// Empty the code and slot tables and number the slots; next slot 0
void ResetGlyphTables(FontHandleRecord *record);
// Top-left of the cell of a slot position
void GlyphCellOrigin(const FontHandleRecord *record, int position, int *x, int *y);
// Free the next slot in round-robin order (dropping its old code) and advance; the slot
GlyphCacheSlot *TakeNextGlyphSlot(FontHandleRecord *record);
// Split bytes into entries; list each uncached code once in missing (at most the slot count);
// the number of entries
int SplitTextIntoEntries(FontHandleRecord *record, const char *text, int length, GlyphCharEntry *entries,
                         GlyphCharEntry *missing, int *missingCount);
// Pen position after the entries (all cached) at a scale
double MeasureTextEntries(const FontHandleRecord *record, const GlyphCharEntry *entries, int count, double scale);
// 1 for the space and the full-width space
inline bool IsBlankGlyph(const GlyphCharEntry &entry)
{
    return (entry.first == 0x20 && entry.second == 0) || (entry.first == 0x81 && entry.second == 0x40);
}
// Bytes of a cache block of rows x pitch, or 0 when it is not positive or larger than
// the tracked allocator hands out. The product is taken in 64 bits (in 32 it can wrap
// round to a block smaller than the cells written into it) and given in 32 on every
// build, so that the 64-bit builds answer as the 32-bit one does.
inline int32_t CacheBlockBytes(int32_t rows, int32_t pitch)
{
    int64_t bytes = static_cast<int64_t>(rows) * pitch;
    return bytes > 0 && bytes <= INT32_MAX ? static_cast<int32_t>(bytes) : 0;
}

// ---------------------------------------------------------------------------
// Glyph planes (glyph_edges.cpp)
// ---------------------------------------------------------------------------

// Rows of the edge mask of size 2-4 (9x9 grid, mask in the top-left corner)
const uint8_t *GetEdgeMask(int edgeSize);
// 1 when (dx, dy) (each -e..e) belongs to the edge neighbourhood of size e
bool EdgeMaskCovers(int edgeSize, int dx, int dy);
// Number of set bits of a byte
int CountSetBits(uint8_t value);
// Reduce a 1-bit bitmap (rows of sourcePitch bytes, MSB first) of f x f blocks into coverage
// bytes in the grey range (16 or 64 levels); shiftRows sub-pixel rows are added on top
void ReduceOversampledBitmap(const uint8_t *source, int sourcePitch, int sourceWidth, int sourceHeight, int factor,
                             int shiftRows, int levels, uint8_t *out, int outPitch, int outWidth, int outHeight);

// Glyph and edge coverage planes of one glyph, e pixels in from their top-left
struct GlyphPlanes {
    int width;                 // glyph width + 2e
    int height;
    int pitch;
    uint8_t *glyph;            // coverage 0..range
    uint8_t *edge;
};
// Build the planes of a coverage glyph (range 1 for 1-bit glyphs) with edge size e (0 none)
// into caller storage of at least (w + 2e) * (h + 2e) bytes each; grey edges accumulate
// (texture) or keep the maximum (memory cache)
void BuildGlyphPlanes(const uint8_t *coverage, int pitch, int width, int height, int range, int edgeSize,
                      int keepMaximum, GlyphPlanes *out);
// Write the planes into the memory cache cell (type rules; type 0 writes bits)
void WriteGlyphPlanesToMemoryCell(const GlyphPlanes *planes, int type, int range, uint8_t *cell, int pitch);

// ---------------------------------------------------------------------------
// Cache pixels (glyph_pixel_formats.cpp)
// ---------------------------------------------------------------------------

// A cache texel of a coverage level in a grey range of 1 (1-bit), 16 or 64 levels
uint32_t CacheTexelOfLevel(const ColorFormatDesc &format, int level, int range);
// The pixel a memory-cache value of a font type writes into a target of 32, 16 or 8
// bits, from the text colour c and edge colour k in the target's format; false for
// a value that writes nothing (left as it is, or 0 without the transparent flag)
bool TargetPixelOfCacheValue(int type, int bits, int value, uint32_t c, uint32_t k, uint32_t *out);

// ---------------------------------------------------------------------------
// Rasterising work buffers (glyph_buffers.cpp); both end the process when they cannot be had
// ---------------------------------------------------------------------------

// A zeroed buffer for a fetched glyph of glyphBytes and (rows + 2) spare rows of rowBytes
uint8_t *AllocGlyphBitmapBuffer(size_t glyphBytes, int rows, int rowBytes);
// A zeroed buffer of (height + 2) rows for the coverage of an oversampled glyph; its pitch
uint8_t *AllocGlyphResampleBuffer(int width, int height, int *pitch);

// ---------------------------------------------------------------------------
// Records and their builds on load workers (font_record_lookup.cpp, font_build_job.cpp)
// ---------------------------------------------------------------------------

// The live record (kind 8, no pending load) or null
FontHandleRecord *LookupFontRecord(int handle);
// The record for its own build: with async set also while its load is pending
FontHandleRecord *LookupFontRecordForBuild(int handle, int async);
// A job that carries the build's arguments to callback (face cut to the record's
// 255 bytes, as a build on the caller's thread keeps it), or null (logged)
AsyncLoadJob *PackFontBuildJob(const FontBuildParams &params, AsyncLoadCallback callback);
// The arguments back from a packed job; face points into the job
void UnpackFontBuildJob(const AsyncLoadJob *job, FontBuildParams *params);

// ---------------------------------------------------------------------------
// Records (win32/font_handles.cpp, win32/font_async_build.cpp)
// ---------------------------------------------------------------------------

int InitFontHandleSystem();
int TermFontHandleSystem();
int ResetStandardFontState(int endFlag);
int CreateFontToHandle(int size, const FontCacheSettings *settings, int handle, const char *face, int thickness,
                       int type, int charSet, int edgeSize, int italic, int async);
// Queue the build of a new record on a load worker; 0, or -1 (the job is not queued)
int QueueAsyncFontBuild(const FontBuildParams &params);
// The worker's side: build, then release the handle, or delete it when the build failed
int RunAsyncFontBuild(AsyncLoadJob *job);
// The checkpoints (PassAsyncJobCheckpoint) a build on a load worker passes:
// before it builds, and once it is built (not yet released)
enum FontBuildStage { FONT_BUILD_STARTING = 0, FONT_BUILD_BUILT = 1 };
void CopyFontCacheSettings(FontCacheSettings *out);
int RefreshStandardFont();
int RecreateAllFontHandles();

// Cache (win32/glyph_raster.cpp)
int ResetFontGlyphCache(int handle, int async);
int RestoreFontCacheTexture(int handle, int async);
GlyphCacheSlot *RasterizeGlyphsToCache(int handle, int count, const GlyphCharEntry *entries);
int CacheStringGlyphsToHandle(int maxBytes, const char *text, int handle, GlyphCharEntry *entries, int *count);

// Strings (win32/text_draw.cpp)
struct MEMIMG;
int RenderTextRun(int draw, int x, int y, int scaled, double scaleX, double scaleY, const char *text, int colour,
                  MEMIMG *target, const RECT *clip, int transparent, int fontHandle, int edgeColour, int byteCount,
                  int vertical, int *sizeOut);

} // namespace Korvo

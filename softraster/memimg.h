// MEMIMG: system-memory images that the software rasteriser draws from and into.
//
// A MEMIMG is a small view record (size and first-pixel pointers) over a shared,
// reference-counted MemImgBody that owns the pixels, the palette, the
// premultiplied copy and the transparent-run table, so that a whole image and
// rectangles cut out of it share one set of buffers.
#pragma once

#include <cstdint>

#include "core/korvo_types.h"

namespace Korvo {

struct ColorFormatDesc;
struct RasterImage;

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

// Pixel kinds of a MemImgBody.
typedef int MemImgPixelKind;
constexpr MemImgPixelKind MEMIMG_KIND_RGB565 = 0;   // 2 bytes; 4 with alpha (alpha in byte 2)
constexpr MemImgPixelKind MEMIMG_KIND_XRGB32 = 1;   // 4 bytes, 0xAARRGGBB / 0xXXRRGGBB
constexpr MemImgPixelKind MEMIMG_KIND_GRAY8 = 2;    // 1 byte, blend images
constexpr MemImgPixelKind MEMIMG_KIND_GRAY16 = 3;   // 2 bytes

constexpr int MEMIMG_VALID_MARK = 0x12345678;

// Transparent-run table codes: type in the top two bits, length - 1 below.
constexpr uint8_t MEMIMG_RUN_SKIP = 0;
constexpr uint8_t MEMIMG_RUN_OPAQUE = 1;
constexpr uint8_t MEMIMG_RUN_PARTIAL = 2;
constexpr uint8_t MEMIMG_RUN_ROW_END = 0xC0;   // any byte >= 0xC0 ends a row
constexpr int MEMIMG_RUN_MAX_LENGTH = 64;

constexpr int MEMIMG_PALETTE_BLOCK_SIZE = 2048;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// Shared body of one image; allocated zeroed, freed when the last view goes.
struct MemImgBody {
    int referenceCount;
    int width;
    int height;
    int pitch;
    int pitchLog2;                      // log2 of the pitch when a power of two, else -1
    const ColorFormatDesc *format;
    uint32_t transparentColor;          // pixel value in the body's format (palette: index)
    MemImgPixelKind pixelKind;
    int hasPalette;
    int paletteCount;                   // largest index imported + 1
    int hasAlpha;
    int premultipliedValid;
    int runTableValid;
    int callerOwnsPixels;
    uint8_t *paletteBlock;              // 2,048 bytes: entries, then a copy of them
    uint8_t *paletteCopy;               // paletteBlock + 1,024
    uint8_t *pixels;                    // pitch * height bytes
    uint8_t *premultiplied;             // pitch * height bytes, or null
    uint8_t *runTable;                  // MemImgRunTable, (width + 5) * height bytes, or null
};

// A view: the whole image or a rectangle of it.
struct MEMIMG {
    int validMark;                      // MEMIMG_VALID_MARK while valid
    int width;
    int height;
    uint8_t *pixels;                    // the view's first pixel
    uint8_t *premultiplied;             // first premultiplied pixel, or null
    MemImgBody *body;
};

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Create an image (pitch -1 = packed rows rounded up to 16 bytes); 0 or -1.
int AllocateMemImg(MEMIMG *record, int width, int height, int pitch, uint32_t transparentColor,
                   MemImgPixelKind kind, int paletteFlag, int alphaFlag, int extrasFlag,
                   void *callerPixels);

// Create an image for the software screen (kind -1 = the draw state's default).
int CreateScreenMemImg(MEMIMG *record, int width, int height, int kind);

// Create a work image of packed rows, zero transparent colour; 0, or -1 with
// nothing left allocated (unlike AllocateMemImg, which keeps the body for a retry).
int CreateWorkMemImg(MEMIMG *record, int width, int height, MemImgPixelKind kind, int alphaFlag);

// Make out a view of a rectangle of source; does nothing when it does not fit.
void CreateMemImgSubView(MEMIMG *out, const MEMIMG *source, int x, int y, int width, int height);

// 1 when the record is a live view, else 0.
int IsMemImgValid(const MEMIMG *image);

// End a view; the body goes with its last view.
void DisposeMemImg(MEMIMG *image);

// Convert a rectangle of a RasterImage into the image; negative on failure.
int ImportImageIntoMemImg(const RasterImage *source, const RasterImage *alphaImage, MEMIMG *destination,
                          int sourceX, int sourceY, int width, int height,
                          int destinationX, int destinationY, int transparentFlag);

// Shared colour-format descriptor of a kind, or null.
const ColorFormatDesc *LookupMemImgFormatDesc(MemImgPixelKind kind, int alphaFlag, int paletteFlag);

// Set every pixel of a rectangle (null = whole view) to a raw pixel value.
void FillMemImgRectRaw(MEMIMG *image, const RECT *rect, uint32_t value);

// Copy a rectangle (null = whole source) between images through format conversion.
int CopyMemImgRect(MEMIMG *destination, const MEMIMG *source, const RECT *sourceRect,
                   int destinationX, int destinationY);

// Bytes per pixel of a body: 1 for palettes and kind 2, 4 for kind 1 and kind 0 with alpha.
int MemImgBytesPerPixel(const MemImgBody *body);

// Rebuild the transparent-run table of a whole image from its pixels.
void BuildMemImgRunTable(MEMIMG *image);

// Mark the run table and premultiplied copy stale after the pixels changed.
void InvalidateMemImgDerivedData(MEMIMG *image);

}  // namespace Korvo

// PNG decoder over libpng. libpng errors unwind with longjmp to the decoder's
// setjmp point, so the frames in between hold no objects with destructors and
// everything to release is kept in one state record.
#include <png.h>

#include <climits>
#include <csetjmp>
#include <cstring>

#include "core/memory/tracked_alloc.h"
#include "image/image_loaders.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr png_alloc_size_t kPngChunkMemoryLimit = 8000000;
// Most bytes one byte of a deflate stream can expand to: a 258-byte match costs
// at least 2 bits.
constexpr int64_t kDeflateMaxExpansion = 1032;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// What one decode holds and must release, also after an error.
struct PngDecodeState {
    const ImageStreamSource *source;
    int start;
    int length;
    png_structp png;
    png_infop info;
    png_bytepp rows;
    uint8_t *pixels;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// libpng's read callback: fails the decode when the stream holds fewer bytes than asked for.
static void ReadPngStreamBytes(png_structp png, png_bytep data, png_size_t count)
{
    PngDecodeState *state = (PngDecodeState *)png_get_io_ptr(png);
    const ImageStreamSource *source = state->source;
    int position = source->Tell(source->data);
    int64_t left = (int64_t)state->start + state->length - position;
    if (position < 0 || (int64_t)count > left || !ReadSourceBytes(source, data, count))
        png_error(png, "Read Error");
}

static void AttachPngStreamSource(PngDecodeState *state, const ImageStreamSource *source)
{
    state->source = source;
    if (!MeasureSourceLength(source, &state->start, &state->length)) {
        state->start = 0;
        state->length = 0;
    }
    png_set_read_fn(state->png, state, ReadPngStreamBytes);
}

// libpng's messages go nowhere (every other format passes through this decoder
// on the way to its own); an error still ends the decode at the jump point.
static void StopPngDecodeQuietly(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

static void DiscardPngWarning(png_structp, png_const_charp)
{
}

// A tiny file may claim a chunk of a gigabyte, which libpng would allocate
// before finding the data missing. The chunks this decoder does not read
// (everything but IHDR, PLTE, tRNS, IDAT and IEND) are skipped unread, and the
// rest may not make libpng allocate more than its chunk limit.
static void LimitPngChunkMemory(png_structp png)
{
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_chunk_malloc_max(png, kPngChunkMemoryLimit);
}

// Whether the rest of the stream can hold the image data: the compressed rows
// carry every pixel's bits, and deflate expands a byte to at most 1032. A tiny
// file claiming a huge image is refused before its pixel block is allocated.
static bool PngDataCanFill(const PngDecodeState *state, png_uint_32 width, png_uint_32 height, int bitsPerPixel)
{
    const ImageStreamSource *source = state->source;
    int position = source->Tell(source->data);
    int64_t left = (int64_t)state->start + state->length - position;
    if (position < 0 || left <= 0 || bitsPerPixel <= 0)
        return false;
    // Every group of eight pixels takes bitsPerPixel bytes of the expanded rows.
    int64_t pixelGroups = (int64_t)width * height / 8;
    return pixelGroups <= left * kDeflateMaxExpansion / bitsPerPixel;
}

static void ReleasePngState(PngDecodeState *state)
{
    if (state->rows)
        TrackedFree(state->rows);
    if (state->pixels)
        TrackedFree(state->pixels);
    png_destroy_read_struct(&state->png, &state->info, nullptr);
}

// The format of the decoded rows.
static void SetPngFormat(RasterImage *out, const PngDecodeState *state, int colorType, bool expanded, int channels)
{
    ColorFormatDesc *f = &out->format;
    std::memset(f, 0, sizeof(*f));
    if (colorType == PNG_COLOR_TYPE_PALETTE && !expanded) {
        InitPaletteFormat(f);
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(state->png, state->info, &palette, &count) != PNG_INFO_PLTE)
            count = 0;
        for (int i = 0; i < count && i < 256; i++) {
            f->palette[i].blue = palette[i].blue;
            f->palette[i].green = palette[i].green;
            f->palette[i].red = palette[i].red;
            f->palette[i].alpha = 0;
        }
        return;
    }
    if (channels == 1) {
        InitGray8Format(f);
        return;
    }
    InitRgb24Format(f);
    if (channels == 4) {
        f->bytesPerPixel = 4;
        f->bitsPerPixel = 32;
        f->maskA = 0xff000000u;
        f->shiftA = 24;
        f->widthA = 8;
    }
}

// Everything between the jump point and the end; kept out of the frame that calls setjmp.
static int DecodePngRows(PngDecodeState *state, RasterImage *out)
{
    png_structp png = state->png;
    png_infop info = state->info;
    png_set_sig_bytes(png, 0);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    if (!PngDataCanFill(state, width, height, png_get_channels(png, info) * bitDepth))
        return -1;

    png_set_strip_16(png);
    png_set_packing(png);
    png_set_packswap(png);
    bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    bool expanded = false;
    if ((colorType == PNG_COLOR_TYPE_GRAY && bitDepth <= 8) || hasTrns) {
        png_set_expand(png);
        expanded = true;
    }
    // Grey with alpha, from the file or from tRNS, becomes ARGB like the colour
    // types do: a grey format has no alpha channel to carry it.
    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA || (colorType == PNG_COLOR_TYPE_GRAY && hasTrns))
        png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    png_size_t rowBytes = png_get_rowbytes(png, info);
    int channels = png_get_channels(png, info);
    if (width == 0 || height == 0 || rowBytes == 0 || rowBytes > (png_size_t)INT_MAX ||
        CheckedImageBytes((int64_t)rowBytes, height) < 0)
        return -1;
    size_t total = rowBytes * height;
    state->rows = (png_bytepp)KORVO_TRACKED_ALLOC(sizeof(png_bytep) * height);
    state->pixels = (uint8_t *)KORVO_TRACKED_ALLOC(total);
    if (!state->rows || !state->pixels)
        return -1;
    // Rows go straight into the image's own block: no intermediate buffer to copy from.
    for (png_uint_32 y = 0; y < height; y++)
        state->rows[y] = state->pixels + (size_t)y * rowBytes;
    png_read_image(png, state->rows);
    TrackedFree(state->rows);
    state->rows = nullptr;
    png_read_end(png, nullptr);

    SetPngFormat(out, state, colorType, expanded, channels);
    out->width = (int)width;
    out->height = (int)height;
    out->pitch = (int)rowBytes;
    out->pixels = state->pixels;
    out->mipLevelCount = 0;
    state->pixels = nullptr;
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Decode a PNG file
int DecodePngStream(const ImageStreamSource *source, RasterImage *out)
{
    // The state lives on the heap and the pointer is never changed after setjmp,
    // so nothing the jump point reads is an indeterminate local.
    PngDecodeState *const state = (PngDecodeState *)KORVO_TRACKED_ALLOC_ZEROED(sizeof(PngDecodeState));
    if (!state)
        return -1;
    state->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!state->png) {
        TrackedFree(state);
        return -1;
    }
    state->info = png_create_info_struct(state->png);
    if (!state->info) {
        png_destroy_read_struct(&state->png, nullptr, nullptr);
        TrackedFree(state);
        return -1;
    }
    png_set_error_fn(state->png, nullptr, StopPngDecodeQuietly, DiscardPngWarning);
    LimitPngChunkMemory(state->png);
    AttachPngStreamSource(state, source);
    int result;
    if (setjmp(png_jmpbuf(state->png)))
        result = -1;
    else
        result = DecodePngRows(state, out);
    if (result != 0)
        std::memset(out, 0, sizeof(*out));
    ReleasePngState(state);
    TrackedFree(state);
    return result;
}

} // namespace Korvo

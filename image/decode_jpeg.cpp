// JPEG decoder over libjpeg. Errors unwind with longjmp to the decoder's
// setjmp point; the decompression record lives on the heap and the frames in
// between hold no objects with destructors.
#include <cstdio>
#include <csetjmp>
#include <cstring>

extern "C" {
#include <jpeglib.h>
#include <jerror.h>
}

#include "core/memory/tracked_alloc.h"
#include "image/image_loaders.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr int kJpegInputBufferBytes = 4096;

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

// Error manager with the jump point right after it.
struct JpegErrorManager {
    jpeg_error_mgr manager;
    jmp_buf jumpPoint;
};

// Source manager reading an ImageStreamSource 4,096 bytes at a time.
struct JpegStreamSourceManager {
    jpeg_source_mgr manager;
    const ImageStreamSource *source;
    int start;
    int length;
    int atStartOfFile;
    JOCTET *buffer;
};

struct JpegDecodeState {
    jpeg_decompress_struct decompress;
    JpegErrorManager errors;
    int created;
    uint8_t *pixels;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void ExitJpegOnError(j_common_ptr info)
{
    JpegErrorManager *errors = (JpegErrorManager *)info->err;
    errors->manager.output_message(info);
    longjmp(errors->jumpPoint, 1);
}

// libjpeg's messages go nowhere: every other format passes through this decoder
// on the way to its own, and its "Not a JPEG file" would land on stderr each time.
static void DiscardJpegMessage(j_common_ptr)
{
}

static void InitJpegSource(j_decompress_ptr info)
{
    JpegStreamSourceManager *src = (JpegStreamSourceManager *)info->src;
    src->atStartOfFile = 1;
}

static boolean FillJpegInputBuffer(j_decompress_ptr info)
{
    JpegStreamSourceManager *src = (JpegStreamSourceManager *)info->src;
    const ImageStreamSource *source = src->source;
    int position = source->Tell(source->data);
    int64_t left = position < 0 ? 0 : (int64_t)src->start + src->length - position;
    size_t n = left < kJpegInputBufferBytes ? (size_t)(left > 0 ? left : 0) : (size_t)kJpegInputBufferBytes;
    if (n > 0 && ReadSourceBytes(source, src->buffer, n)) {
        src->manager.next_input_byte = src->buffer;
        src->manager.bytes_in_buffer = n;
        src->atStartOfFile = 0;
        return TRUE;
    }
    if (src->atStartOfFile)
        ERREXIT(info, JERR_INPUT_EMPTY);
    WARNMS(info, JWRN_JPEG_EOF);
    src->buffer[0] = (JOCTET)0xFF;
    src->buffer[1] = (JOCTET)JPEG_EOI;
    src->manager.next_input_byte = src->buffer;
    src->manager.bytes_in_buffer = 2;
    return TRUE;
}

static void SkipJpegInputData(j_decompress_ptr info, long count)
{
    JpegStreamSourceManager *src = (JpegStreamSourceManager *)info->src;
    if (count <= 0)
        return;
    while (count > (long)src->manager.bytes_in_buffer) {
        count -= (long)src->manager.bytes_in_buffer;
        FillJpegInputBuffer(info);
    }
    src->manager.next_input_byte += count;
    src->manager.bytes_in_buffer -= (size_t)count;
}

static void TermJpegSource(j_decompress_ptr)
{
}

// Each colour is what its ink and the black leave of the paper: (255 - C) x
// (255 - K) / 255, rounded; inverted samples already hold 255 - C and 255 - K.
static void StoreCmykRowAsBgr(const JSAMPLE *cmyk, uint8_t *bgr, JDIMENSION width, bool inverted)
{
    int flip = inverted ? 0 : 255;
    for (JDIMENSION x = 0; x < width; x++, cmyk += 4, bgr += 3) {
        int paperLeft = flip ^ cmyk[3];
        for (int c = 0; c < 3; c++)
            bgr[2 - c] = (uint8_t)(((flip ^ cmyk[c]) * paperLeft + 127) / 255);
    }
}

static void AttachJpegStreamSource(j_decompress_ptr info, const ImageStreamSource *source)
{
    if (!info->src) {
        info->src = (jpeg_source_mgr *)(*info->mem->alloc_small)((j_common_ptr)info, JPOOL_PERMANENT,
                                                                 sizeof(JpegStreamSourceManager));
        JpegStreamSourceManager *src = (JpegStreamSourceManager *)info->src;
        src->buffer = (JOCTET *)(*info->mem->alloc_small)((j_common_ptr)info, JPOOL_PERMANENT, kJpegInputBufferBytes);
    }
    JpegStreamSourceManager *src = (JpegStreamSourceManager *)info->src;
    src->manager.init_source = InitJpegSource;
    src->manager.fill_input_buffer = FillJpegInputBuffer;
    src->manager.skip_input_data = SkipJpegInputData;
    src->manager.resync_to_restart = jpeg_resync_to_restart;
    src->manager.term_source = TermJpegSource;
    src->manager.bytes_in_buffer = 0;
    src->manager.next_input_byte = nullptr;
    src->source = source;
    if (!MeasureSourceLength(source, &src->start, &src->length)) {
        src->start = 0;
        src->length = 0;
    }
}

// Everything between the jump point and the end.
static int DecodeJpegRows(JpegDecodeState *state, const ImageStreamSource *source, RasterImage *out)
{
    j_decompress_ptr info = &state->decompress;
    jpeg_create_decompress(info);
    state->created = 1;
    // A progressive (or multi-scan) file keeps every coefficient of the image, two
    // bytes per sample, allocated before any scan data are read. libjpeg has no
    // backing store, so with this limit it refuses such arrays instead of
    // allocating them: they are held to the pixel block's limit.
    info->mem->max_memory_to_use = (long)kMaxImagePixelBytes;
    AttachJpegStreamSource(info, source);
    jpeg_read_header(info, TRUE);
    // Refused before libjpeg sets up its buffers (a progressive frame holds the
    // whole image's coefficients): the header alone may claim any size.
    if (CheckedImageBytes((int64_t)info->image_width * info->num_components, info->image_height) < 0)
        return -1;
    // CMYK and YCCK (which libjpeg turns into CMYK) are given as CMYK and then
    // turned into RGB; components that name no colour space (two, or more than
    // four) have no RGB to become and are refused.
    bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    if (cmyk)
        info->out_color_space = JCS_CMYK;
    jpeg_start_decompress(info);

    int components = info->output_components;
    if (cmyk ? components != 4 : (components != 1 && components != 3))
        return -1;
    int outBytes = components == 1 ? 1 : 3;
    int64_t stride = (int64_t)outBytes * info->output_width;
    int64_t bytes = CheckedImageBytes(stride, info->output_height);
    if (bytes <= 0)
        return -1;
    JDIMENSION sampleRow = (JDIMENSION)components * info->output_width;
    JSAMPARRAY row = (*info->mem->alloc_sarray)((j_common_ptr)info, JPOOL_IMAGE, sampleRow, 1);
    // Adobe's writers store CMYK inverted and say so with their marker; a file
    // without the marker holds plain ink amounts.
    bool inverted = info->saw_Adobe_marker != 0;
    state->pixels = (uint8_t *)KORVO_TRACKED_ALLOC((size_t)bytes);
    if (!state->pixels)
        return -1;
    while (info->output_scanline < info->output_height) {
        uint8_t *d = state->pixels + (size_t)info->output_scanline * stride;
        if (jpeg_read_scanlines(info, row, 1) != 1)
            return -1;
        if (components == 1) {
            std::memcpy(d, row[0], (size_t)stride);
        } else if (cmyk) {
            StoreCmykRowAsBgr(row[0], d, info->output_width, inverted);
        } else {
            // R, G, B become B, G, R.
            const JSAMPLE *s = row[0];
            for (JDIMENSION x = 0; x < info->output_width; x++, s += 3, d += 3) {
                d[0] = s[2];
                d[1] = s[1];
                d[2] = s[0];
            }
        }
    }
    jpeg_finish_decompress(info);

    std::memset(&out->format, 0, sizeof(out->format));
    if (components == 1)
        InitGray8Format(&out->format);
    else
        InitRgb24Format(&out->format);
    out->width = (int)info->output_width;
    out->height = (int)info->output_height;
    out->pitch = (int)stride;
    out->pixels = state->pixels;
    out->mipLevelCount = 0;
    state->pixels = nullptr;
    return 0;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Decode a JPEG file
int DecodeJpegStream(const ImageStreamSource *source, RasterImage *out)
{
    JpegDecodeState *const state = (JpegDecodeState *)KORVO_TRACKED_ALLOC_ZEROED(sizeof(JpegDecodeState));
    if (!state)
        return -1;
    state->decompress.err = jpeg_std_error(&state->errors.manager);
    state->errors.manager.error_exit = ExitJpegOnError;
    state->errors.manager.output_message = DiscardJpegMessage;
    int result;
    if (setjmp(state->errors.jumpPoint))
        result = -1;
    else
        result = DecodeJpegRows(state, source, out);
    if (result != 0)
        std::memset(out, 0, sizeof(*out));
    if (state->created)
        jpeg_destroy_decompress(&state->decompress);
    if (state->pixels)
        TrackedFree(state->pixels);
    TrackedFree(state);
    return result;
}

} // namespace Korvo

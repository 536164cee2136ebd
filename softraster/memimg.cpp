// MEMIMG creation, views, release, raw fills and the transparent-run table.
#include "softraster/memimg.h"

#include <cstring>

#include "core/memory/tracked_alloc.h"
#include "softraster/blit_common.h"
#include "softraster/draw_state.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

namespace {

// Smallest power of two not below value, and its exponent.
int CeilLog2(int value)
{
    int exponent = 0;
    while ((1 << exponent) < value && exponent < 30)
        ++exponent;
    return exponent;
}

// Run type of one pixel for the run table.
int PixelRunType(const MemImgBody *body, const uint8_t *pixel)
{
    if (body->hasPalette)
        return pixel[0] == body->transparentColor ? MEMIMG_RUN_SKIP : MEMIMG_RUN_OPAQUE;
    if (body->hasAlpha) {
        const uint8_t alpha = body->pixelKind == MEMIMG_KIND_RGB565 ? pixel[2] : pixel[3];
        if (alpha == 0)
            return MEMIMG_RUN_SKIP;
        return alpha == 255 ? MEMIMG_RUN_OPAQUE : MEMIMG_RUN_PARTIAL;
    }
    const uint32_t value = body->pixelKind == MEMIMG_KIND_RGB565 ? LoadU16(pixel) : LoadU32(pixel);
    return value == body->transparentColor ? MEMIMG_RUN_SKIP : MEMIMG_RUN_OPAQUE;
}

// Free the buffers a body owns and clear their pointers.
void ReleaseBodyBuffers(MemImgBody *body)
{
    if (!body->callerOwnsPixels)
        TrackedFree(body->pixels);
    body->pixels = nullptr;
    TrackedFree(body->premultiplied);
    body->premultiplied = nullptr;
    TrackedFree(body->runTable);
    body->runTable = nullptr;
    TrackedFree(body->paletteBlock);
    body->paletteBlock = body->paletteCopy = nullptr;
}

// Fill the premultiplied copy of a whole alpha image.
void BuildPremultipliedCopy(MEMIMG *image)
{
    MemImgBody *body = image->body;
    for (int y = 0; y < image->height; ++y) {
        const uint8_t *src = image->pixels + y * body->pitch;
        uint8_t *dst = image->premultiplied + y * body->pitch;
        for (int x = 0; x < image->width; ++x, src += 4, dst += 4) {
            if (body->pixelKind == MEMIMG_KIND_XRGB32) {
                const uint32_t alpha = src[3];
                dst[0] = static_cast<uint8_t>(src[0] * alpha >> 8);
                dst[1] = static_cast<uint8_t>(src[1] * alpha >> 8);
                dst[2] = static_cast<uint8_t>(src[2] * alpha >> 8);
                dst[3] = static_cast<uint8_t>(alpha);
            } else {
                const uint32_t color = LoadU16(src);
                const uint32_t alpha = src[2];
                const uint32_t scaled = (((color & 0xF800) * alpha) & 0xF80000) |
                                        (((color & 0x07E0) * alpha) & 0x07E000) |
                                        (((color & 0x001F) * alpha) & 0x1F00);
                StoreU16(dst, static_cast<uint16_t>(scaled >> 8));
                dst[2] = static_cast<uint8_t>(alpha);
                dst[3] = 0;
            }
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Bytes per pixel of a body.
int MemImgBytesPerPixel(const MemImgBody *body)
{
    if (body->hasPalette)
        return 1;
    switch (body->pixelKind) {
    case MEMIMG_KIND_RGB565: return body->hasAlpha ? 4 : 2;
    case MEMIMG_KIND_XRGB32: return 4;
    case MEMIMG_KIND_GRAY8: return 1;
    default: return 2;
    }
}

// Create an image; 0 or -1.
int AllocateMemImg(MEMIMG *record, int width, int height, int pitch, uint32_t transparentColor,
                   MemImgPixelKind kind, int paletteFlag, int alphaFlag, int extrasFlag,
                   void *callerPixels)
{
    if (record->validMark == MEMIMG_VALID_MARK)
        return -1;
    if (width < 0 || height < 0 || kind < MEMIMG_KIND_RGB565 || kind > MEMIMG_KIND_GRAY16)
        return -1;

    // A body left behind by a failed creation is emptied and reused.
    MemImgBody *body = record->body;
    if (body != nullptr) {
        ReleaseBodyBuffers(body);
        std::memset(body, 0, sizeof(*body));
    } else {
        body = static_cast<MemImgBody *>(KORVO_TRACKED_ALLOC_ZEROED(sizeof(MemImgBody)));
        if (body == nullptr)
            return -1;
        record->body = body;
    }

    if (paletteFlag)
        alphaFlag = 0;
    if (kind == MEMIMG_KIND_GRAY8 || kind == MEMIMG_KIND_GRAY16)
        paletteFlag = alphaFlag = 0;
    paletteFlag = paletteFlag ? 1 : 0;
    alphaFlag = alphaFlag ? 1 : 0;

    body->referenceCount = 1;
    body->width = width;
    body->height = height;
    body->transparentColor = transparentColor;
    body->pixelKind = kind;
    body->hasPalette = paletteFlag;
    body->hasAlpha = alphaFlag;
    body->premultipliedValid = 0;
    body->runTableValid = 0;

    if (paletteFlag) {
        body->paletteBlock = static_cast<uint8_t *>(KORVO_TRACKED_ALLOC_ZEROED(MEMIMG_PALETTE_BLOCK_SIZE));
        if (body->paletteBlock == nullptr)
            return -1;
        body->paletteCopy = body->paletteBlock + MEMIMG_PALETTE_BLOCK_SIZE / 2;
    }

    const int bytesPerPixel = MemImgBytesPerPixel(body);
    const int packed = width * bytesPerPixel;
    const int usedPitch = pitch == -1 ? (packed + 15) & ~15 : pitch;
    const int log2 = CeilLog2(pitch == -1 ? packed : pitch);
    body->pitch = usedPitch;
    body->pitchLog2 = (1 << log2) == usedPitch ? log2 : -1;
    body->format = LookupMemImgFormatDesc(kind, alphaFlag, paletteFlag);

    const size_t imageBytes = static_cast<size_t>(usedPitch) * static_cast<size_t>(height);
    if (callerPixels != nullptr) {
        body->pixels = static_cast<uint8_t *>(callerPixels);
        body->callerOwnsPixels = 1;
    } else {
        body->pixels = static_cast<uint8_t *>(KORVO_TRACKED_ALLOC(imageBytes));
        if (body->pixels == nullptr)
            return -1;
    }

    if (extrasFlag) {
        if (alphaFlag) {
            body->premultiplied = static_cast<uint8_t *>(KORVO_TRACKED_ALLOC(imageBytes));
            if (body->premultiplied == nullptr)
                return -1;
        }
        if (kind != MEMIMG_KIND_GRAY8) {
            body->runTable = static_cast<uint8_t *>(
                KORVO_TRACKED_ALLOC(static_cast<size_t>(width + 5) * static_cast<size_t>(height)));
            if (body->runTable == nullptr)
                return -1;
        }
    }

    record->validMark = MEMIMG_VALID_MARK;
    record->width = width;
    record->height = height;
    record->pixels = body->pixels;
    record->premultiplied = body->premultiplied;
    return 0;
}

// Create an image for the software screen.
int CreateScreenMemImg(MEMIMG *record, int width, int height, int kind)
{
    std::memset(record, 0, sizeof(*record));
    if (kind == -1)
        kind = MemImgState.defaultScreenKind;
    return AllocateMemImg(record, width, height, -1, 0, kind, 0, 0, 0, nullptr);
}

// Create a work image of packed rows; on failure nothing is left allocated.
int CreateWorkMemImg(MEMIMG *record, int width, int height, MemImgPixelKind kind, int alphaFlag)
{
    std::memset(record, 0, sizeof(*record));
    if (AllocateMemImg(record, width, height, -1, 0, kind, 0, alphaFlag, 0, nullptr) == 0)
        return 0;
    // A failed creation keeps its body for a retry: a work image is not retried.
    if (record->body != nullptr) {
        record->validMark = MEMIMG_VALID_MARK;
        DisposeMemImg(record);
    }
    return -1;
}

// Make out a view of a rectangle of source.
void CreateMemImgSubView(MEMIMG *out, const MEMIMG *source, int x, int y, int width, int height)
{
    if (x < 0 || y < 0 || x + width > source->width || y + height > source->height)
        return;
    MemImgBody *body = source->body;
    const int offset = x * MemImgBytesPerPixel(body) + y * body->pitch;
    out->validMark = MEMIMG_VALID_MARK;
    out->width = width;
    out->height = height;
    out->pixels = source->pixels + offset;
    out->premultiplied = body->premultiplied != nullptr ? source->premultiplied + offset : nullptr;
    out->body = body;
    ++body->referenceCount;
}

// 1 when the record is a live view.
int IsMemImgValid(const MEMIMG *image)
{
    return image->validMark == MEMIMG_VALID_MARK && image->body != nullptr ? 1 : 0;
}

// End a view; the body goes with its last view.
void DisposeMemImg(MEMIMG *image)
{
    if (image->validMark != MEMIMG_VALID_MARK)
        return;
    MemImgBody *body = image->body;
    if (body != nullptr && --body->referenceCount == 0) {
        ReleaseBodyBuffers(body);
        TrackedFree(body);
    }
    image->body = nullptr;
    image->validMark = 0;
}

// Set every pixel of a rectangle (null = whole view) to a raw pixel value.
void FillMemImgRectRaw(MEMIMG *image, const RECT *rect, uint32_t value)
{
    RECT area = rect != nullptr ? *rect : RECT{0, 0, image->width, image->height};
    const RECT bounds = {0, 0, image->width, image->height};
    ClipRectToRect(&area, &bounds);
    if (area.right <= area.left || area.bottom <= area.top)
        return;
    MemImgBody *body = image->body;
    const int bytesPerPixel = MemImgBytesPerPixel(body);
    for (int y = area.top; y < area.bottom; ++y) {
        uint8_t *pixel = image->pixels + y * body->pitch + area.left * bytesPerPixel;
        for (int x = area.left; x < area.right; ++x, pixel += bytesPerPixel)
            std::memcpy(pixel, &value, static_cast<size_t>(bytesPerPixel));   // little-endian low bytes
    }
    InvalidateMemImgDerivedData(image);
}

// Mark the run table and premultiplied copy stale after the pixels changed.
void InvalidateMemImgDerivedData(MEMIMG *image)
{
    if (image->body != nullptr) {
        image->body->runTableValid = 0;
        image->body->premultipliedValid = 0;
    }
}

// Rebuild the run table (and premultiplied copy) of a whole image from its pixels.
void BuildMemImgRunTable(MEMIMG *image)
{
    MemImgBody *body = image->body;
    if (body->runTable == nullptr ||
        (body->pixelKind != MEMIMG_KIND_RGB565 && body->pixelKind != MEMIMG_KIND_XRGB32))
        return;
    if (body->hasAlpha && body->premultiplied != nullptr) {
        BuildPremultipliedCopy(image);
        body->premultipliedValid = 1;
    }
    const int bytesPerPixel = MemImgBytesPerPixel(body);
    uint8_t *code = body->runTable;
    for (int y = 0; y < image->height; ++y) {
        const uint8_t *pixel = image->pixels + y * body->pitch;
        int x = 0;
        while (x < image->width) {
            const int type = PixelRunType(body, pixel);
            int length = 1;
            pixel += bytesPerPixel;
            while (x + length < image->width && length < MEMIMG_RUN_MAX_LENGTH &&
                   PixelRunType(body, pixel) == type) {
                ++length;
                pixel += bytesPerPixel;
            }
            *code++ = static_cast<uint8_t>(type << 6 | (length - 1));
            x += length;
        }
        *code++ = MEMIMG_RUN_ROW_END;
    }
    body->runTableValid = 1;
}

}  // namespace Korvo

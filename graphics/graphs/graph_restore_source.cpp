// What each graph was loaded from, kept so that its pixels can be loaded again
// after the device lost its textures. One block holds the record and its
// payload; graphs of one load share it by counting.

#include "graphics/graphs/graph_record.h"

#include "core/log/error_log.h"
#include "core/memory/tracked_alloc.h"
#include "image/raster_image.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static size_t AlignedSize(size_t size)
{
    return (size + 15) & ~static_cast<size_t>(15);
}

static size_t ImagePixelBytes(const RasterImage *image)
{
    if (image == nullptr || image->pixels == nullptr) {
        return 0;
    }
    int bytes = CalcImagePixelDataBytes(image);
    return bytes > 0 ? static_cast<size_t>(bytes) : 0;
}

// A private copy of an image record and its pixels at 'at'; the next free byte.
static uint8_t *CopyImageInto(uint8_t *at, const RasterImage *image, RasterImage **out)
{
    RasterImage *copy = reinterpret_cast<RasterImage *>(at);
    *copy = *image;
    at += AlignedSize(sizeof(RasterImage));
    size_t bytes = ImagePixelBytes(image);
    copy->pixels = bytes != 0 ? at : nullptr;
    if (bytes != 0) {
        std::memcpy(at, image->pixels, bytes);
    }
    *out = copy;
    return at + AlignedSize(bytes);
}

// A new source from the first kind of origin given; null when there is none or memory fails (logged).
static GraphRestoreSource *MakeRestoreSource(const char *fileName, const void *memoryImage, int memoryImageSize,
                                             const void *alphaMemoryImage, int alphaMemoryImageSize,
                                             const RasterImage *colorImage, const RasterImage *alphaImage,
                                             int mirror, int *failed)
{
    const size_t head = AlignedSize(sizeof(GraphRestoreSource));
    GraphRestoreSource *source = nullptr;
    if (fileName != nullptr) {
        size_t length = std::strlen(fileName) + 1;
        source = static_cast<GraphRestoreSource *>(KORVO_TRACKED_ALLOC_ZEROED(head + length));
        if (source == nullptr) {
            *failed = AppendLogText("転送する画像ファイルのファイル名を保存するメモリ領域の確保に失敗しました\n");
            return nullptr;
        }
        source->fileName = reinterpret_cast<char *>(source) + head;
        std::memcpy(source->fileName, fileName, length);
    } else if (memoryImage != nullptr) {
        size_t colourBytes = static_cast<size_t>(memoryImageSize > 0 ? memoryImageSize : 0);
        size_t alphaBytes = alphaMemoryImage != nullptr && alphaMemoryImageSize > 0
                                ? static_cast<size_t>(alphaMemoryImageSize) : 0;
        source = static_cast<GraphRestoreSource *>(KORVO_TRACKED_ALLOC_ZEROED(head + colourBytes + alphaBytes));
        if (source == nullptr) {
            *failed = AppendLogText("転送する画像データを保存するメモリ領域の確保に失敗しました\n");
            return nullptr;
        }
        uint8_t *payload = reinterpret_cast<uint8_t *>(source) + head;
        std::memcpy(payload, memoryImage, colourBytes);
        source->memoryImage = payload;
        source->memoryImageSize = static_cast<int>(colourBytes);
        if (alphaBytes != 0) {
            std::memcpy(payload + colourBytes, alphaMemoryImage, alphaBytes);
            source->alphaMemoryImage = payload + colourBytes;
            source->alphaMemoryImageSize = static_cast<int>(alphaBytes);
        }
    } else if (colorImage != nullptr) {
        size_t bytes = head + AlignedSize(sizeof(RasterImage)) + AlignedSize(ImagePixelBytes(colorImage));
        if (alphaImage != nullptr) {
            bytes += AlignedSize(sizeof(RasterImage)) + AlignedSize(ImagePixelBytes(alphaImage));
        }
        source = static_cast<GraphRestoreSource *>(KORVO_TRACKED_ALLOC_ZEROED(bytes));
        if (source == nullptr) {
            *failed = AppendLogText("転送する基本イメージを保存するメモリ領域の確保に失敗しました\n");
            return nullptr;
        }
        uint8_t *at = CopyImageInto(reinterpret_cast<uint8_t *>(source) + head, colorImage, &source->colorImage);
        if (alphaImage != nullptr) {
            CopyImageInto(at, alphaImage, &source->alphaImage);
        }
    } else {
        return nullptr;
    }
    source->mirror = mirror;
    source->useCount = 1;
    return source;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

void ReleaseGraphRestoreSource(GraphRestoreSource *source)
{
    if (source != nullptr && --source->useCount <= 0) {
        TrackedFree(source);
    }
}

int SetGraphRestoreSource(const int *noRestoreFlag, int handle, const char *fileName, const void *memoryImage,
                          int memoryImageSize, const void *alphaMemoryImage, int alphaMemoryImageSize,
                          const RasterImage *colorImage, const RasterImage *alphaImage, int mirror,
                          int shareFromHandle, void *asyncContext)
{
    GraphRecord *record = GetGraphRecordInContext(handle, asyncContext);
    if (record == nullptr) {
        return -1;
    }
    ReleaseGraphRestoreSource(record->restoreSource);
    record->restoreSource = nullptr;
    if (noRestoreFlag != nullptr && *noRestoreFlag != 0) {
        return 0;
    }
    if (shareFromHandle < 0) {
        int failed = 0;
        record->restoreSource = MakeRestoreSource(fileName, memoryImage, memoryImageSize, alphaMemoryImage,
                                                  alphaMemoryImageSize, colorImage, alphaImage, mirror, &failed);
        return failed;
    }
    GraphRecord *share = GetGraphRecord(shareFromHandle, 1);
    if (share != nullptr && share->restoreSource != nullptr) {
        record->restoreSource = share->restoreSource;
        ++record->restoreSource->useCount;
    }
    return 0;
}

int ShareGraphRestoreSource(int handle, const char *fileName, int mirror, int shareFromHandle, void *asyncContext)
{
    return SetGraphRestoreSource(nullptr, handle, fileName, nullptr, 0, nullptr, 0, nullptr, nullptr, mirror,
                                 shareFromHandle, asyncContext);
}

} // namespace Korvo

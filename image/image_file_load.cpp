// Image-file loading: load parameters, the source built over a file or a
// memory image, the decoder walk and the after-steps (mirror, DIB, alpha image).
#include "image/image_file_load.h"

#include <cstring>

#include "core/memory/tracked_alloc.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------

constexpr size_t kAlphaNameBytes = 260;

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

// The library's extra decoders; no operation of this system adds one.
static ImageExtraLoaders g_extraImageLoaders;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static void UseOps(ImageStreamSource *source, const StreamOpsTable &ops, uintptr_t data)
{
    source->Tell = ops.Tell;
    source->Seek = ops.Seek;
    source->Read = ops.Read;
    source->Eof = ops.Eof;
    source->Idle = ops.Idle;
    source->Close = ops.Close;
    source->data = data;
}

// Closes the source once: a memory stream through its own operation, a file through the table copy.
static void CloseImageSource(const ImageLoadParams *params, const ImageStreamSource *source, bool fromMemory)
{
    if (fromMemory)
        source->Close(source->data);
    else
        params->streams.Close((StreamHandle)source->data);
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Copy the global extra-loader list into params
int CopyExtraImageLoaders(ImageLoadParams *params)
{
    int count = g_extraImageLoaders.count;
    params->extra.count = count;
    for (int i = 0; i < count && i < kMaxExtraImageLoaders; i++)
        params->extra.loaders[i] = g_extraImageLoaders.loaders[i];
    return 0;
}

// Fill params with the current defaults
int SetupImageLoadParams(ImageLoadParams *params)
{
    std::memset(params, 0, sizeof(*params));
    CopyExtraImageLoaders(params);
    params->streams = *GetActiveStreamTable();
    params->fileOps = *GetFileStreamOpsTable();
    params->memoryOps = *GetMemoryStreamOpsTable();
    return 0;
}

// Try the decoders of params on a source
int RunImageLoaders(const ImageLoadParams *params, const ImageStreamSource *source, RasterImage *out)
{
    return RunImageLoadersWith(&params->extra, source, out);
}

// Load an image from a file or memory into a RasterImage or a DIB
int LoadImageOrDibWithParams(const ImageLoadParams *params, const char *fileName, const void *memImage, int memSize,
                             int fromMemory, int dibFlag, int mirrorFlag, RasterImage *out, K_BITMAPINFO **infoOut,
                             void **bitsOut)
{
    ImageStreamSource source;
    bool memorySource = fromMemory != 0;
    if (memorySource) {
        MemoryReadStream *stream = OpenMemoryReadStream(memImage, memSize);
        if (!stream)
            return -1;
        UseOps(&source, params->memoryOps, (uintptr_t)stream);
    } else {
        if (!fileName || !params->streams.Open)
            return -1;
        StreamHandle handle = params->streams.Open(fileName, 0, 1, 0);
        if (handle == 0)
            return -1;
        UseOps(&source, params->fileOps, (uintptr_t)handle);
    }

    RasterImage image;
    if (RunImageLoaders(params, &source, &image) != 0) {
        CloseImageSource(params, &source, memorySource);
        return -1;
    }
    if (memorySource)
        CloseImageSource(params, &source, true);

    int result = 0;
    if (mirrorFlag == 1) {
        if (ExpandDxtImageToArgb32(&image) != 0)
            result = -1;
        else
            MirrorImageLeftRight(&image);
    }
    if (result == 0 && dibFlag == 0) {
        *out = image;
    } else if (result == 0) {
        K_BITMAPINFO *info = nullptr;
        if (ExpandDxtImageToArgb32(&image) == 0)
            info = (K_BITMAPINFO *)KORVO_TRACKED_ALLOC(kDibInfoBlockBytes);
        int converted = info ? ConvertImageToDib(&image, info, bitsOut, 0, 0) : -1;
        if (converted < 0) {
            if (info)
                TrackedFree(info);
            result = -1;
        } else {
            *infoOut = info;
            if (converted == 0)
                image.pixels = nullptr;  // the caller owns the pixel block as the DIB bits now
        }
    }
    if (result != 0 || dibFlag != 0)
        FreeImageRecord(&image);
    if (!memorySource)
        CloseImageSource(params, &source, false);
    return result;
}

// Load with the current defaults
int LoadImageOrDib(const char *fileName, const void *memImage, int memSize, int fromMemory, int dibFlag,
                   int mirrorFlag, RasterImage *out, K_BITMAPINFO **infoOut, void **bitsOut)
{
    ImageLoadParams params;
    SetupImageLoadParams(&params);
    return LoadImageOrDibWithParams(&params, fileName, memImage, memSize, fromMemory, dibFlag, mirrorFlag, out,
                                    infoOut, bitsOut);
}

// Load an image into a RasterImage with the current defaults
int LoadImageRecord(const char *fileName, const void *memImage, int memSize, int fromMemory, RasterImage *out,
                    int mirrorFlag)
{
    return LoadImageOrDib(fileName, memImage, memSize, fromMemory, 0, mirrorFlag, out, nullptr, nullptr);
}

// Load an image and its alpha image
int LoadImageAndAlphaWithParams(const ImageLoadParams *params, const char *fileName, const void *memImage, int memSize,
                                int fromMemory, const void *alphaMemImage, int alphaMemSize, int alphaMode,
                                RasterImage *colorOut, RasterImage *alphaOut, int mirrorFlag)
{
    if (LoadImageOrDibWithParams(params, fileName, memImage, memSize, fromMemory, 0, mirrorFlag, colorOut, nullptr,
                                 nullptr) != 0)
        return -1;
    if (alphaMode == 0) {
        // A memory image has no name to derive an alpha file from; a name too long
        // for the alpha-name buffer has no alpha file either.
        if (!fileName || std::strlen(fileName) + 3 > kAlphaNameBytes)
            return 1;
        char alphaName[kAlphaNameBytes];
        MakeAlphaImageFileName(alphaName, fileName);
        return LoadImageOrDibWithParams(params, alphaName, nullptr, 0, 0, 0, mirrorFlag, alphaOut, nullptr, nullptr) == 0
                   ? 0
                   : 1;
    }
    if (alphaMode == 1)
        return LoadImageOrDibWithParams(params, nullptr, alphaMemImage, alphaMemSize, 1, 0, mirrorFlag, alphaOut,
                                        nullptr, nullptr) == 0
                   ? 0
                   : 1;
    return 1;
}

// Load an image and its alpha image with the current defaults
int LoadImageAndAlpha(const char *fileName, const void *memImage, int memSize, int fromMemory,
                      const void *alphaMemImage, int alphaMemSize, int alphaMode, RasterImage *colorOut,
                      RasterImage *alphaOut, int mirrorFlag)
{
    ImageLoadParams params;
    SetupImageLoadParams(&params);
    return LoadImageAndAlphaWithParams(&params, fileName, memImage, memSize, fromMemory, alphaMemImage, alphaMemSize,
                                       alphaMode, colorOut, alphaOut, mirrorFlag);
}

} // namespace Korvo

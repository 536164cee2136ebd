// Image-file loading: one image source (a file through the stream function
// table, or memory) decoded into a RasterImage or a DIB, with optional
// mirroring and a separate "_a" alpha image.
#pragma once

#include "image/public_api.h"

#include "core/streams/stream_table.h"
#include "image/dib_format.h"
#include "image/image_loaders.h"

namespace Korvo {

// The parameters of one load: extra decoders and the stream operations to read with.
struct ImageLoadParams {
    ImageExtraLoaders extra;
    StreamFunctionTable streams;
    StreamOpsTable fileOps;
    StreamOpsTable memoryOps;
};

// Fill params with the current defaults
int SetupImageLoadParams(ImageLoadParams *params);
// Copy the global extra-loader list into params
int CopyExtraImageLoaders(ImageLoadParams *params);
// Try the decoders of params on a source; 0 when one accepted the data
int RunImageLoaders(const ImageLoadParams *params, const ImageStreamSource *source, RasterImage *out);

// Load an image from a file or memory into a RasterImage or (dibFlag) a DIB; 0 or -1
int LoadImageOrDibWithParams(const ImageLoadParams *params, const char *fileName, const void *memImage, int memSize,
                             int fromMemory, int dibFlag, int mirrorFlag, RasterImage *out, K_BITMAPINFO **infoOut,
                             void **bitsOut);
// LoadImageOrDibWithParams with the current defaults
int LoadImageOrDib(const char *fileName, const void *memImage, int memSize, int fromMemory, int dibFlag,
                   int mirrorFlag, RasterImage *out, K_BITMAPINFO **infoOut, void **bitsOut);
// Load an image and its alpha image; -1 colour failed, 1 no alpha image, 0 both loaded
int LoadImageAndAlphaWithParams(const ImageLoadParams *params, const char *fileName, const void *memImage, int memSize,
                                int fromMemory, const void *alphaMemImage, int alphaMemSize, int alphaMode,
                                RasterImage *colorOut, RasterImage *alphaOut, int mirrorFlag);

} // namespace Korvo

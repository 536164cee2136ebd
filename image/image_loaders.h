// Image loader table: the stream source every decoder reads, the load
// parameters, the walk over the decoders and the six built-in decoders.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/raster_image.h"

namespace Korvo {

// The opaque word a stream operation works on: a stream handle or a MemoryReadStream.
typedef uintptr_t ImageStreamData;

// Input of every decoder: six stream operations and their data word.
struct ImageStreamSource {
    int (*Tell)(ImageStreamData data);
    int (*Seek)(ImageStreamData data, int offset, int origin);
    size_t (*Read)(void *buffer, size_t elementSize, size_t count, ImageStreamData data);
    int (*Eof)(ImageStreamData data);
    int (*Idle)(ImageStreamData data);
    int (*Close)(ImageStreamData data);
    ImageStreamData data;
};

// 0: recognised and decoded into out (which owns the pixels); -1: not this format or failed.
typedef int (*ImageLoaderFunc)(const ImageStreamSource *source, RasterImage *out);

constexpr int kMaxExtraImageLoaders = 10;

// Reads count bytes; true only when all of them arrived.
bool ReadSourceBytes(const ImageStreamSource *source, void *buffer, size_t count);
// Position and total length of the source (Tell, Seek to the end, Tell, Seek back); false on failure.
bool MeasureSourceLength(const ImageStreamSource *source, int *start, int *length);

// Decoders of the built-in table, in table order.
int DecodeBmpStream(const ImageStreamSource *source, RasterImage *out);
int DecodeJpegStream(const ImageStreamSource *source, RasterImage *out);
int DecodePngStream(const ImageStreamSource *source, RasterImage *out);
int DecodeRawBgraStream(const ImageStreamSource *source, RasterImage *out);
int DecodeTgaStream(const ImageStreamSource *source, RasterImage *out);
int DecodeDdsStream(const ImageStreamSource *source, RasterImage *out);

// Extra decoders tried before the built-in ones.
struct ImageExtraLoaders {
    ImageLoaderFunc loaders[kMaxExtraImageLoaders];
    int32_t count;
};

// Try the extra decoders, then the built-in ones, each after a seek to 0; 0 when one accepted the data
int RunImageLoadersWith(const ImageExtraLoaders *extra, const ImageStreamSource *source, RasterImage *out);
// The name of an image's separate alpha image ("_a" before the extension)
int MakeAlphaImageFileName(char *out, const char *name);


} // namespace Korvo

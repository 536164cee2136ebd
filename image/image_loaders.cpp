// Image loader table: the walk over the decoders, stream-source helpers shared
// by the decoders and the alpha-image file name.
#include "image/image_loaders.h"

#include <cstring>

namespace Korvo {

// ---------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------

// Tried in this order after the extra decoders; ended by a null entry.
static const ImageLoaderFunc BuiltinImageLoaders[] = {
    DecodeBmpStream, DecodeJpegStream, DecodePngStream, DecodeRawBgraStream, DecodeTgaStream, DecodeDdsStream, nullptr,
};

// ---------------------------------------------------------------------------
// Shared helpers
// ---------------------------------------------------------------------------

bool ReadSourceBytes(const ImageStreamSource *source, void *buffer, size_t count)
{
    if (count == 0)
        return true;
    // Whole bytes as elements: a short tail can never pass for a complete read.
    return source->Read(buffer, 1, count, source->data) == count;
}

bool MeasureSourceLength(const ImageStreamSource *source, int *start, int *length)
{
    int begin = source->Tell(source->data);
    if (begin < 0)
        return false;
    if (source->Seek(source->data, 0, 2) != 0)
        return false;
    int end = source->Tell(source->data);
    if (source->Seek(source->data, begin, 0) != 0 || end < begin)
        return false;
    *start = begin;
    *length = end - begin;
    return true;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Try the extra decoders, then the built-in ones
int RunImageLoadersWith(const ImageExtraLoaders *extra, const ImageStreamSource *source, RasterImage *out)
{
    std::memset(out, 0, sizeof(*out));
    int extraCount = extra ? extra->count : 0;
    if (extraCount > kMaxExtraImageLoaders)
        extraCount = kMaxExtraImageLoaders;
    for (int i = 0; i < extraCount; i++) {
        if (!extra->loaders[i])
            continue;
        source->Seek(source->data, 0, 0);
        std::memset(out, 0, sizeof(*out));
        if (extra->loaders[i](source, out) == 0)
            return 0;
    }
    for (int i = 0; BuiltinImageLoaders[i]; i++) {
        source->Seek(source->data, 0, 0);
        std::memset(out, 0, sizeof(*out));
        if (BuiltinImageLoaders[i](source, out) == 0)
            return 0;
    }
    std::memset(out, 0, sizeof(*out));
    return -1;
}

// The name of an image's separate alpha image
int MakeAlphaImageFileName(char *out, const char *name)
{
    // '.' never occurs as the second byte of a double-byte character, so the last
    // '.' byte found is a real one; the bytes before it are copied as they stand.
    const char *dot = std::strrchr(name, '.');
    if (!dot) {
        std::strcpy(out, name);
        std::strcat(out, "_a");
        return 0;
    }
    size_t head = (size_t)(dot - name);
    std::memcpy(out, name, head);
    std::memcpy(out + head, "_a", 2);
    std::strcpy(out + head + 2, dot);
    return 0;
}

} // namespace Korvo

// Test images made by the tests themselves: PNG through libpng's writer, JPEG
// through libjpeg's compressor, hand-built BMP, TGA, DDS and BGRA bytes, and a
// memory stream source to decode them from.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "image/image_loaders.h"

namespace ImageSamples {

typedef std::vector<uint8_t> Bytes;

// An ImageStreamSource over a byte vector with the memory-stream reading rules
// (a tail shorter than one element still counts as one element read).
struct MemorySource {
    explicit MemorySource(const Bytes &bytes);
    const Korvo::ImageStreamSource *get() const { return &source; }
    Bytes data;
    int position = 0;
    int eof = 0;
    Korvo::ImageStreamSource source;
};

// One decoder (or, without one, the whole loader walk) run over bytes in memory;
// the image is freed with the record.
struct Decoded {
    Korvo::RasterImage image;
    int result;
    explicit Decoded(const Bytes &bytes, Korvo::ImageLoaderFunc decoder = nullptr)
    {
        std::memset(&image, 0, sizeof(image));
        MemorySource source(bytes);
        result = decoder != nullptr ? decoder(source.get(), &image)
                                    : Korvo::RunImageLoadersWith(nullptr, source.get(), &image);
    }
    ~Decoded() { Korvo::FreeImageRecord(&image); }
    const uint8_t *PixelBytes(int x, int y) const
    {
        return (const uint8_t *)image.pixels + (size_t)y * image.pitch + (size_t)x * image.format.bytesPerPixel;
    }
    uint32_t Pixel32(int x, int y) const
    {
        uint32_t v;
        std::memcpy(&v, PixelBytes(x, y), 4);
        return v;
    }
};

struct PngRecipe {
    int width = 7;
    int height = 5;
    int colorType = 0;  // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    bool withTrns = false;
    bool blank = false;  // every sample 0, written at zlib's best compression
};

// Samples of pixel (x, y), channel c, within the bit depth: deterministic.
uint32_t PngSample(const PngRecipe &recipe, int x, int y, int c);
// The tRNS colour (grey or RGB samples) used for non-palette images.
uint32_t PngTrnsSample(const PngRecipe &recipe, int c);
Bytes MakePng(const PngRecipe &recipe);
// The recipe's signature and header, then one IDAT chunk of the given bytes and
// IEND, with right CRCs: a file that claims more rows than it holds.
Bytes MakePngClaiming(const PngRecipe &recipe, const Bytes &imageData);

// A JPEG of a smooth gradient; components 1 (grey), 2 (no colour space), 3 (RGB)
// or 4 (CMYK with libjpeg's Adobe marker, stored as YCCK on request).
Bytes MakeJpeg(int width, int height, int components, int quality, bool progressive = false, bool asYcck = false);
uint8_t JpegSourceSample(int x, int y, int c);

Bytes MakeBmp(int width, int height, int bits, uint32_t compression, const Bytes &table, const Bytes &pixelData,
              uint32_t clrUsed = 0);
Bytes MakeTga(const uint8_t header[18], const Bytes &id, const Bytes &map, const Bytes &pixels, bool footer);
Bytes MakeDds(int width, int height, uint32_t flags, uint32_t pitch, uint32_t mipCount, uint32_t pfFlags,
              const char *fourCC, uint32_t bits, const uint32_t masks[4], uint32_t caps, const Bytes &data);
Bytes MakeBgra(int width, int height, bool wide, const Bytes &pixels);

// One valid sample file of each decoder's format, for the mutation test.
std::vector<std::pair<std::string, Bytes>> SampleFilesOfEveryFormat();

void PutLe16(Bytes &b, size_t at, uint32_t v);
void PutLe32(Bytes &b, size_t at, uint32_t v);

} // namespace ImageSamples

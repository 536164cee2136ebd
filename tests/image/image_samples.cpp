// Test images made by the tests themselves (see image_samples.h).
#include "image_samples.h"

#include <png.h>

#include <cstdio>
#include <cstring>

extern "C" {
#include <jpeglib.h>
}

namespace ImageSamples {

// ---------------------------------------------------------------------------
// Memory source
// ---------------------------------------------------------------------------

static MemorySource *Of(Korvo::ImageStreamData data)
{
    return (MemorySource *)data;
}

MemorySource::MemorySource(const Bytes &bytes) : data(bytes)
{
    source.Tell = [](Korvo::ImageStreamData d) { return Of(d)->position; };
    source.Seek = [](Korvo::ImageStreamData d, int offset, int origin) {
        MemorySource *m = Of(d);
        int64_t size = (int64_t)m->data.size();
        int64_t p = origin == 0 ? offset : origin == 1 ? m->position + (int64_t)offset : origin == 2 ? size + offset : 0;
        m->position = (int)(p < 0 ? 0 : p > size ? size : p);
        m->eof = 0;
        return 0;
    };
    source.Read = [](void *buffer, size_t elementSize, size_t count, Korvo::ImageStreamData d) -> size_t {
        MemorySource *m = Of(d);
        size_t size = m->data.size();
        if ((size_t)m->position == size) {
            m->eof = 1;
            return 0;
        }
        if (elementSize == 0 || count == 0)
            return 0;
        size_t left = size - m->position;
        size_t bytes, result;
        if (elementSize * count <= left) {
            bytes = elementSize * count;
            result = count;
        } else if (left / elementSize >= 1) {
            result = left / elementSize;
            bytes = result * elementSize;
        } else {
            bytes = left;
            result = 1;
        }
        std::memcpy(buffer, m->data.data() + m->position, bytes);
        m->position += (int)bytes;
        m->eof = 0;
        return result;
    };
    source.Eof = [](Korvo::ImageStreamData d) { return Of(d)->eof; };
    source.Idle = [](Korvo::ImageStreamData) { return 1; };
    source.Close = [](Korvo::ImageStreamData) { return 0; };
    source.data = (Korvo::ImageStreamData)this;
}

// ---------------------------------------------------------------------------
// Byte helpers
// ---------------------------------------------------------------------------

void PutLe16(Bytes &b, size_t at, uint32_t v)
{
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}

void PutLe32(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = (uint8_t)(v >> (8 * i));
}

// ---------------------------------------------------------------------------
// PNG
// ---------------------------------------------------------------------------

static int PngChannels(int colorType)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 1;
    }
}

uint32_t PngSample(const PngRecipe &recipe, int x, int y, int c)
{
    if (recipe.blank)
        return 0;
    uint32_t maxValue = (1u << recipe.bitDepth) - 1;
    if (recipe.colorType == PNG_COLOR_TYPE_PALETTE)
        maxValue = (1u << recipe.bitDepth) - 1 < 11 ? (1u << recipe.bitDepth) - 1 : 11;
    uint32_t v = (uint32_t)(x * 37 + y * 91 + c * 53 + (x * y) * 7) * 2654435761u;
    return (v >> 7) % (maxValue + 1);
}

uint32_t PngTrnsSample(const PngRecipe &recipe, int c)
{
    return PngSample(recipe, 1, 1, c);
}

static void WritePngBytes(png_structp png, png_bytep data, png_size_t length)
{
    Bytes *out = (Bytes *)png_get_io_ptr(png);
    out->insert(out->end(), data, data + length);
}

static void FlushPng(png_structp)
{
}

// The recipe's header and chunks, then its rows, or (imageData given) one IDAT
// chunk of those bytes and IEND.
static Bytes WritePng(const PngRecipe &recipe, png_bytepp rows, const Bytes *imageData)
{
    // Everything with a destructor is made before the jump point.
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out.clear();
        return out;
    }
    png_set_write_fn(png, &out, WritePngBytes, FlushPng);
    if (recipe.blank)
        png_set_compression_level(png, 9);
    png_set_IHDR(png, info, recipe.width, recipe.height, recipe.bitDepth, recipe.colorType,
                 recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color palette[12];
    png_byte alpha[3] = {0, 128, 255};
    png_color_16 trns;
    std::memset(&trns, 0, sizeof(trns));
    if (recipe.colorType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < 12; i++)
            palette[i] = png_color{(png_byte)(i * 20 + 5), (png_byte)(250 - i * 13), (png_byte)(i * i)};
        int count = 1 << recipe.bitDepth;
        png_set_PLTE(png, info, palette, count < 12 ? count : 12);
        if (recipe.withTrns)
            png_set_tRNS(png, info, alpha, count < 3 ? count : 3, nullptr);
    } else if (recipe.withTrns) {
        trns.gray = (png_uint_16)PngTrnsSample(recipe, 0);
        trns.red = (png_uint_16)PngTrnsSample(recipe, 0);
        trns.green = (png_uint_16)PngTrnsSample(recipe, 1);
        trns.blue = (png_uint_16)PngTrnsSample(recipe, 2);
        png_set_tRNS(png, info, nullptr, 0, &trns);
    }
    png_write_info(png, info);
    if (imageData != nullptr) {
        png_write_chunk(png, (png_const_bytep) "IDAT", imageData->data(), imageData->size());
        png_write_chunk(png, (png_const_bytep) "IEND", nullptr, 0);
    } else {
        png_write_image(png, rows);
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes MakePng(const PngRecipe &recipe)
{
    int channels = PngChannels(recipe.colorType);
    int rowBits = recipe.width * channels * recipe.bitDepth;
    std::vector<Bytes> rows(recipe.height, Bytes((rowBits + 7) / 8, 0));
    for (int y = 0; y < recipe.height; y++) {
        int bit = 0;
        for (int x = 0; x < recipe.width; x++)
            for (int c = 0; c < channels; c++) {
                uint32_t s = PngSample(recipe, x, y, c);
                if (recipe.bitDepth == 16) {
                    rows[y][bit / 8] = (uint8_t)(s >> 8);
                    rows[y][bit / 8 + 1] = (uint8_t)s;
                } else {
                    int shift = 8 - recipe.bitDepth - (bit % 8);
                    rows[y][bit / 8] |= (uint8_t)(s << shift);
                }
                bit += recipe.bitDepth;
            }
    }
    std::vector<png_bytep> pointers;
    for (auto &r : rows)
        pointers.push_back(r.data());
    return WritePng(recipe, pointers.data(), nullptr);
}

Bytes MakePngClaiming(const PngRecipe &recipe, const Bytes &imageData)
{
    return WritePng(recipe, nullptr, &imageData);
}

// ---------------------------------------------------------------------------
// JPEG
// ---------------------------------------------------------------------------

uint8_t JpegSourceSample(int x, int y, int c)
{
    return (uint8_t)(40 + x * 4 + y * 3 + c * 30);
}

Bytes MakeJpeg(int width, int height, int components, int quality, bool progressive, bool asYcck)
{
    static const J_COLOR_SPACE spaces[] = {JCS_GRAYSCALE, JCS_UNKNOWN, JCS_RGB, JCS_CMYK};
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = (JDIMENSION)width;
    info.image_height = (JDIMENSION)height;
    info.input_components = components;
    info.in_color_space = spaces[components - 1];
    jpeg_set_defaults(&info);
    if (asYcck)
        jpeg_set_colorspace(&info, JCS_YCCK);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    Bytes row((size_t)width * components);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; x++)
            for (int c = 0; c < components; c++)
                row[(size_t)x * components + c] = JpegSourceSample(x, (int)info.next_scanline, c);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    free(buffer);
    return out;
}

// ---------------------------------------------------------------------------
// BMP, TGA, DDS, BGRA
// ---------------------------------------------------------------------------

Bytes MakeBmp(int width, int height, int bits, uint32_t compression, const Bytes &table, const Bytes &pixelData,
              uint32_t clrUsed)
{
    Bytes b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    uint32_t offBits = (uint32_t)(54 + table.size());
    PutLe32(b, 2, (uint32_t)(offBits + pixelData.size()));
    PutLe32(b, 10, offBits);
    PutLe32(b, 14, 40);
    PutLe32(b, 18, (uint32_t)width);
    PutLe32(b, 22, (uint32_t)height);
    PutLe16(b, 26, 1);
    PutLe16(b, 28, (uint32_t)bits);
    PutLe32(b, 30, compression);
    PutLe32(b, 34, (uint32_t)pixelData.size());
    PutLe32(b, 46, clrUsed);
    b.insert(b.end(), table.begin(), table.end());
    b.insert(b.end(), pixelData.begin(), pixelData.end());
    return b;
}

Bytes MakeTga(const uint8_t header[18], const Bytes &id, const Bytes &map, const Bytes &pixels, bool footer)
{
    Bytes b(header, header + 18);
    b.insert(b.end(), id.begin(), id.end());
    b.insert(b.end(), map.begin(), map.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    if (footer) {
        Bytes f(26, 0);
        std::memcpy(f.data() + 8, "TRUEVISION-XFILE.", 18);
        b.insert(b.end(), f.begin(), f.end());
    }
    return b;
}

Bytes MakeDds(int width, int height, uint32_t flags, uint32_t pitch, uint32_t mipCount, uint32_t pfFlags,
              const char *fourCC, uint32_t bits, const uint32_t masks[4], uint32_t caps, const Bytes &data)
{
    Bytes b(128, 0);
    std::memcpy(b.data(), "DDS ", 4);
    PutLe32(b, 4, 124);
    PutLe32(b, 8, flags);
    PutLe32(b, 12, (uint32_t)height);
    PutLe32(b, 16, (uint32_t)width);
    PutLe32(b, 20, pitch);
    PutLe32(b, 28, mipCount);
    PutLe32(b, 76, 32);
    PutLe32(b, 80, pfFlags);
    if (fourCC)
        std::memcpy(b.data() + 84, fourCC, 4);
    PutLe32(b, 88, bits);
    for (int i = 0; i < 4; i++)
        PutLe32(b, 92 + 4 * i, masks ? masks[i] : 0);
    PutLe32(b, 108, caps);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

Bytes MakeBgra(int width, int height, bool wide, const Bytes &pixels)
{
    Bytes b(16, 0);
    std::memcpy(b.data(), "BGRA", 4);
    PutLe32(b, 4, wide ? 0x10101010u : 0x08080808u);
    PutLe32(b, 8, (uint32_t)width);
    PutLe32(b, 12, (uint32_t)height);
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

std::vector<std::pair<std::string, Bytes>> SampleFilesOfEveryFormat()
{
    std::vector<std::pair<std::string, Bytes>> files;
    // BMP: RLE8 (the decoder with the most state); its palette has 4 entries.
    Bytes table = {0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0};
    Bytes rle = {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 1, 1, 2, 2, 0, 0, 4, 3, 0, 1};
    files.push_back({"bmp-rle8", MakeBmp(6, 4, 8, 1, table, rle, 4)});
    Bytes rgb((size_t)8 * 3 * 3);
    for (size_t i = 0; i < rgb.size(); i++)
        rgb[i] = (uint8_t)(i * 11);
    files.push_back({"bmp-24", MakeBmp(8, 3, 24, 0, Bytes(), rgb)});
    files.push_back({"jpeg", MakeJpeg(16, 8, 3, 75)});
    PngRecipe recipe;
    recipe.colorType = PNG_COLOR_TYPE_PALETTE;
    recipe.withTrns = true;
    files.push_back({"png", MakePng(recipe)});
    Bytes bgra(4 * 3 * 16);
    for (size_t i = 0; i < bgra.size(); i++)
        bgra[i] = (uint8_t)(i * 3);
    files.push_back({"bgra", MakeBgra(4, 3, true, bgra)});
    const uint8_t tgaHeader[18] = {3, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 3, 0, 24, 0x20};
    Bytes packets = {0x84, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x87, 13, 14, 15};
    files.push_back({"tga", MakeTga(tgaHeader, Bytes{'i', 'd', '!'}, Bytes(), packets, true)});
    Bytes dxt(2 * 2 * 16);
    for (size_t i = 0; i < dxt.size(); i++)
        dxt[i] = (uint8_t)(i * 29 + 3);
    files.push_back({"dds", MakeDds(8, 8, 0x1007, 0, 0, 4, "DXT5", 0, nullptr, 0x1000, dxt)});
    return files;
}

} // namespace ImageSamples

// PNG decoding through the library (memory image -> LoadImageRecord) against
// libpng decoding the same file straight into one buffer; prints both times
// and the library's overhead ratio.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "core/streams/stream_table.h"
#include "image/image_file_load.h"

using namespace Korvo;

namespace {

typedef std::vector<unsigned char> Bytes;

void WriteBytes(png_structp png, png_bytep data, png_size_t length)
{
    Bytes *out = (Bytes *)png_get_io_ptr(png);
    out->insert(out->end(), data, data + length);
}

void Flush(png_structp)
{
}

// A photo-like RGBA picture: gradients with noise, so zlib has real work.
Bytes MakeTestPng(int width, int height)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, WriteBytes, Flush);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    Bytes row((size_t)width * 4);
    unsigned seed = 12345;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            seed = seed * 1103515245u + 12345u;
            int noise = (int)((seed >> 16) & 15);
            row[x * 4 + 0] = (unsigned char)(x * 255 / width + noise);
            row[x * 4 + 1] = (unsigned char)(y * 255 / height + noise);
            row[x * 4 + 2] = (unsigned char)((x + y) / 4 + noise);
            row[x * 4 + 3] = 255;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct Cursor {
    const Bytes *data;
    size_t position;
};

void ReadFromCursor(png_structp png, png_bytep out, png_size_t count)
{
    Cursor *c = (Cursor *)png_get_io_ptr(png);
    if (c->position + count > c->data->size())
        png_error(png, "short");
    std::memcpy(out, c->data->data() + c->position, count);
    c->position += count;
}

// libpng alone: the same transforms as the library, rows straight into one new buffer.
void DecodeWithLibpng(const Bytes &file)
{
    Cursor cursor = {&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &cursor, ReadFromCursor);
    png_read_info(png, info);
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_bgr(png);
    png_read_update_info(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    // A new (uninitialised) block each time, as the library allocates a new image each time.
    unsigned char *pixels = (unsigned char *)std::malloc(rowBytes * height);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; y++)
        rows[y] = pixels + y * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(pixels);
}

double Seconds()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

} // namespace

int main()
{
    InstallStreamFunctionTable(nullptr);
    const int width = 1024, height = 768, rounds = 40;
    Bytes file = MakeTestPng(width, height);
    DecodeWithLibpng(file);

    double best[2] = {1e9, 1e9};
    for (int pass = 0; pass < 3; pass++) {
        double start = Seconds();
        for (int i = 0; i < rounds; i++)
            DecodeWithLibpng(file);
        double libpng = (Seconds() - start) / rounds;
        start = Seconds();
        for (int i = 0; i < rounds; i++) {
            RasterImage image;
            if (LoadImageRecord(nullptr, file.data(), (int)file.size(), 1, &image, 0) != 0) {
                std::printf("library decode failed\n");
                return 1;
            }
            FreeImageRecord(&image);
        }
        double library = (Seconds() - start) / rounds;
        best[0] = libpng < best[0] ? libpng : best[0];
        best[1] = library < best[1] ? library : best[1];
    }
    std::printf("PNG %dx%d RGBA, %zu bytes\n", width, height, file.size());
    std::printf("libpng straight into a buffer: %.3f ms\n", best[0] * 1e3);
    std::printf("library (decoder walk from memory): %.3f ms\n", best[1] * 1e3);
    std::printf("overhead ratio: %.3f\n", best[1] / best[0]);
    return 0;
}

// PNG files made by the graph tests: 8-bit RGB from a pixel function, written
// through libpng's writer.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace GraphTest {

// Write a width x height RGB PNG whose pixel (x, y) is colour(x, y) as 0x00RRGGBB; true on success.
inline bool WriteRgbPng(const std::string &path, int width, int height,
                        const std::function<uint32_t(int, int)> &colour)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row(static_cast<size_t>(width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t c = colour(x, y);
            row[static_cast<size_t>(x) * 3] = static_cast<png_byte>(c >> 16);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<png_byte>(c >> 8);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<png_byte>(c);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return true;
}

// A colour that differs for every pixel of a picture up to 4096 x 4096.
inline uint32_t DistinctColour(int x, int y)
{
    return (static_cast<uint32_t>(x & 0xFF) << 16) | (static_cast<uint32_t>(y & 0xFF) << 8) |
           static_cast<uint32_t>(((x >> 8) << 4) | (y >> 8));
}

} // namespace GraphTest

// Pictures as other tools write them: PIL, ImageMagick and jpegtran write a
// matrix of small files when the test starts (make_foreign_pictures.py, beside
// this file), and each one is loaded and read back through the pixel reads,
// colour and alpha, against the pixels PIL (or ImageMagick) reads from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/image_file_load.h"
#include "image/pixel_access.h"

using namespace Korvo;

namespace {

typedef std::vector<uint8_t> Bytes;

struct Row {
    const char *name;
    bool decodes;   // false: the loaders refuse the file (-1)
    int tolerance;  // largest difference of one channel from the reference
};

const char kFolder[] = "foreign_pictures";

const Row kRows[] = {
    {"png_grey1", true, 0},
    {"png_grey1_trns", true, 0},
    {"png_grey2", true, 0},
    {"png_grey2_interlaced", true, 0},
    {"png_grey2_trns", true, 0},
    {"png_grey4", true, 0},
    {"png_grey8", true, 0},
    {"png_grey8_trns", true, 0},
    {"png_grey16", true, 0},
    {"png_grey16_trns", true, 0},
    {"png_grey_alpha8", true, 0},
    {"png_grey_alpha8_interlaced", true, 0},
    {"png_grey_alpha16", true, 0},
    {"png_rgb8", true, 0},
    {"png_rgb8_trns", true, 0},
    {"png_rgb16", true, 0},
    {"png_rgb16_trns", true, 0},
    {"png_rgba8", true, 0},
    {"png_rgba8_interlaced", true, 0},
    {"png_rgba16", true, 0},
    {"png_palette1", true, 0},
    {"png_palette2", true, 0},
    {"png_palette4", true, 0},
    {"png_palette4_trns", true, 0},
    {"png_palette8", true, 0},
    {"png_palette8_interlaced_trns", true, 0},
    // Both sides run libjpeg's decoder; CMYK is turned into RGB by each alone.
    {"jpeg_grey", true, 0},
    {"jpeg_444", true, 0},
    {"jpeg_422", true, 0},
    {"jpeg_420", true, 0},
    {"jpeg_progressive", true, 0},
    {"jpeg_restart_markers", true, 0},
    {"jpeg_cmyk", true, 1},
    {"jpeg_cmyk_imagemagick", true, 1},
    // 1-bit BMPs take the GDI road, which the host build does not have.
    {"bmp_1bit", false, 0},
    {"bmp_4bit", true, 0},
    {"bmp_8bit", true, 0},
    {"bmp_8bit_grey", true, 0},
    {"bmp_8bit_v5", true, 0},
    {"bmp_8bit_top_down", true, 0},
    {"bmp_rle4", true, 0},
    {"bmp_rle8", true, 0},
    {"bmp_rle8_v5", true, 0},
    {"bmp_16bit_565", true, 1},
    {"bmp_16bit_555", true, 1},
    {"bmp_16bit_565_v3", true, 1},
    {"bmp_24bit", true, 0},
    {"bmp_24bit_v5", true, 0},
    {"bmp_24bit_top_down", true, 0},
    {"bmp_32bit", true, 0},
    {"bmp_32bit_v4_alpha", true, 0},
    {"bmp_32bit_v5_alpha", true, 0},
    {"bmp_32bit_v5_alpha_top_down", true, 0},
    // An OS/2 header (12 bytes) holds none of the fields a Windows one does.
    {"bmp_os2", false, 0},
    {"tga_rgb", true, 0},
    {"tga_rgb_top_left", true, 0},
    {"tga_rgb_rle", true, 0},
    {"tga_rgb_rle_top_left", true, 0},
    {"tga_rgba", true, 0},
    {"tga_rgba_top_left", true, 0},
    {"tga_rgba_rle", true, 0},
    {"tga_rgba_rle_top_left", true, 0},
    {"tga_palette", true, 0},
    {"tga_palette_top_left", true, 0},
    {"tga_palette_rle", true, 0},
    {"tga_palette_rle_top_left", true, 0},
    // Grey TGAs (types 3 and 11) are no type the TGA decoder reads.
    {"tga_grey", false, 0},
    {"tga_grey_top_left", false, 0},
    {"tga_grey_rle", false, 0},
    {"tga_grey_rle_top_left", false, 0},
    // DXT colours are expanded by each decoder's own rounding.
    {"dds_dxt1", true, 2},
    {"dds_dxt5", true, 2},
    {"dds_plain_rgb", true, 0},
    {"dds_plain_argb", true, 0},
};

Bytes ReadWholeFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Le32(const Bytes &b, size_t at)
{
    return (uint32_t)b[at] | ((uint32_t)b[at + 1] << 8) | ((uint32_t)b[at + 2] << 16) | ((uint32_t)b[at + 3] << 24);
}

// The largest difference of one channel from the reference; -1 when the sizes
// differ or a pixel cannot be read. Colour is not compared where both sides see
// a pixel as wholly transparent. An image with no alpha channel is opaque.
int WorstDifference(RasterImage *image, const Bytes &reference)
{
    int width = (int)Le32(reference, 0), height = (int)Le32(reference, 4);
    if (image->width != width || image->height != height || reference.size() != 8 + (size_t)width * height * 4)
        return -1;
    bool hasAlpha = image->format.widthA != 0;
    int worst = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            int got[4];
            if (ReadImagePixelRgba(image, x, y, &got[0], &got[1], &got[2], &got[3]) != 0)
                return -1;
            if (!hasAlpha)
                got[3] = 255;
            const uint8_t *want = reference.data() + 8 + ((size_t)y * width + x) * 4;
            int first = got[3] == 0 && want[3] == 0 ? 3 : 0;
            for (int c = first; c < 4; c++)
                worst = std::max(worst, std::abs(got[c] - want[c]));
        }
    return worst;
}

class ForeignPictureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string command = std::string("/usr/bin/python3 -B '") + KORVO_FOREIGN_PICTURE_MAKER + "' " + kFolder;
        for (const Row &row : kRows)
            command += std::string(" ") + row.name;
        makerStatus_ = std::system(command.c_str());
    }
    static int makerStatus_;
};

int ForeignPictureTest::makerStatus_ = -1;

TEST_F(ForeignPictureTest, EachDecodeMatchesTheIndependentReading)
{
    ASSERT_EQ(0, makerStatus_) << "the pictures could not be made (PIL, ImageMagick and jpegtran come with the set-up)";
    for (const Row &row : kRows) {
        SCOPED_TRACE(row.name);
        std::string base = std::string(kFolder) + "/" + row.name;
        Bytes file = ReadWholeFile(base + ".img");
        Bytes reference = ReadWholeFile(base + ".ref");
        ASSERT_FALSE(file.empty());
        ASSERT_GE(reference.size(), 8u);
        RasterImage image;
        std::memset(&image, 0, sizeof(image));
        int result = LoadImageRecord(nullptr, file.data(), (int)file.size(), 1, &image, 0);
        int worst = result == 0 ? WorstDifference(&image, reference) : -1;
        std::printf("%-30s %s", row.name, result == 0 ? "decoded" : "refused");
        if (result == 0)
            std::printf(", worst difference %d", worst);
        std::printf("\n");
        if (!row.decodes) {
            EXPECT_EQ(-1, result);
        } else {
            EXPECT_EQ(0, result);
            EXPECT_GE(worst, result == 0 ? 0 : -1) << "size or pixel read";
            EXPECT_LE(worst, row.tolerance);
        }
        FreeImageRecord(&image);
    }
}

} // namespace

// Model texture images: the built-in files, height maps turned into normal maps,
// power-of-two sizes, mirroring, matched colour and alpha sizes.

#include "tests/model/model_test_records.h"

#include "graphics/device/graphics_state.h"
#include "image/pixel_access.h"
#include "image/public_api.h"
#include "model/model_module.h"
#include "tests/core/log_capture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

using namespace Korvo;

namespace {

// An uncompressed 32-bit TGA, top row first.
std::vector<unsigned char> MakeTga(int width, int height, const std::function<uint32_t(int, int)> &pixel)
{
    std::vector<unsigned char> bytes(18, 0);
    bytes[2] = 2;
    bytes[12] = static_cast<unsigned char>(width);
    bytes[13] = static_cast<unsigned char>(width >> 8);
    bytes[14] = static_cast<unsigned char>(height);
    bytes[15] = static_cast<unsigned char>(height >> 8);
    bytes[16] = 32;
    bytes[17] = 0x28;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t value = pixel(x, y);
            for (int i = 0; i < 4; ++i) {
                bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
            }
        }
    }
    return bytes;
}

uint32_t Rgb(const RasterImage &image, int x, int y)
{
    return ReadImagePixelAsArgb(&image, x, y) & 0xFFFFFF;
}

// Each channel as 0 or 0xFF: bilinear scaling may take a bit off a full channel.
uint32_t Coarse(uint32_t rgb)
{
    uint32_t out = 0;
    for (int shift : {0, 8, 16}) {
        out |= ((rgb >> shift) & 0xFF) >= 0x80 ? 0xFFu << shift : 0;
    }
    return out;
}

TEST(ModelTextureTest, BuiltInFilesAreRunLengthTgasOfTheirPictures)
{
    struct Case {
        const char *what;
        const unsigned char *(*file)(int *);
        int size, width, height;
        std::vector<std::pair<int, uint32_t>> columns;  // x and its colour in every row
    };
    const Case cases[] = {
        {"white", GetWhiteTextureTga, 84, 8, 8, {{0, 0xFFFFFF}, {7, 0xFFFFFF}}},
        {"grey steps", GetGreyStepTextureTga, 172, 256, 8,
         {{0, 0x000000}, {63, 0x000000}, {64, 0x555555}, {127, 0x555555}, {128, 0xAAAAAA}, {192, 0xFFFFFF}, {255, 0xFFFFFF}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        int size = 0;
        const unsigned char *bytes = c.file(&size);
        ASSERT_EQ(size, c.size);
        EXPECT_EQ(bytes[2], 10) << "run-length true colour";
        EXPECT_EQ(std::memcmp(bytes + size - 18, "TRUEVISION-XFILE.", 18), 0);
        RasterImage image = {};
        ASSERT_EQ(LoadImageRecord(nullptr, bytes, size, 1, &image, 0), 0);
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        for (int y = 0; y < c.height; ++y) {
            for (const auto &[x, colour] : c.columns) {
                EXPECT_EQ(Rgb(image, x, y), colour) << x << "," << y;
            }
        }
        if (c.size == 84) {
            EXPECT_EQ(ReadImagePixelAsArgb(&image, 3, 3) >> 24, 0xFFu) << "opaque";
        }
        FreeImageRecord(&image);
    }
}

TEST(ModelTextureTest, HeightMapBecomesNormalMapFromRightAndLowerNeighbours)
{
    struct Case {
        const char *what;
        int width, height;
        std::vector<int> heights;  // row by row
        float scale;
        std::vector<uint32_t> normals;
    };
    const Case cases[] = {
        {"flat", 2, 2, {90, 90, 90, 90}, 1.0f, {0x7F7FFF, 0x7F7FFF, 0x7F7FFF, 0x7F7FFF}},
        {"step to the right, wrapping back", 2, 1, {0, 255}, 1.0f, {0x257FD9, 0xD97FD9}},
        {"steeper with scale 2", 2, 1, {0, 255}, 2.0f, {0x467FF1, 0xB87FF1}},
        {"step downward, wrapping back", 1, 2, {0, 255}, 1.0f, {0x7F25D9, 0x7FD9D9}},
        {"scale 0 is raised to a millionth", 2, 1, {0, 255}, 0.0f, {0x007F7F, 0xFF7F7F}},
        {"half step", 3, 1, {0, 51, 51}, 1.0f, {0x667FFC, 0x7F7FFF, 0x987FFC}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        RasterImage image = {};
        ASSERT_EQ(AllocXrgb32Image(c.width, c.height, &image), 0);
        for (int i = 0; i < c.width * c.height; ++i) {
            int h = c.heights[i];
            WriteImagePixelRgba(&image, i % c.width, i / c.width, h, 255 - h, 7, 255);
        }
        ASSERT_EQ(ConvertHeightMapToNormalMap(&image, c.scale), 0);
        for (int i = 0; i < c.width * c.height; ++i) {
            EXPECT_EQ(Rgb(image, i % c.width, i / c.width), c.normals[i]) << "pixel " << i;
        }
        FreeImageRecord(&image);
    }
}

TEST(ModelTextureTest, PreparedImagesArePowersOfTwoMirroredAndOfOneSize)
{
    auto top = [](int, int y) { return y == 0 ? 0xFFFF0000u : 0xFF0000FFu; };
    struct Case {
        const char *what;
        int colorW, colorH;  // 0: no colour file
        int alphaW, alphaH;  // 0: no alpha file
        int mirror;
        int deviceMax;
        int width, height;   // of both images
        uint32_t topLeft;    // colour image's first pixel
    };
    const Case cases[] = {
        {"power of two kept", 4, 2, 0, 0, 0, 0, 4, 2, 0xFF0000},
        {"scaled up to powers of two", 3, 5, 0, 0, 0, 0, 4, 8, 0xFF0000},
        {"limited to half the device's largest side", 9, 3, 0, 0, 0, 8, 4, 4, 0xFF0000},
        {"mirrored top to bottom", 4, 2, 0, 0, 1, 0, 4, 2, 0x0000FF},
        {"mirrored after scaling", 3, 3, 0, 0, 1, 0, 4, 4, 0x0000FF},
        {"smaller alpha scaled to the colour", 4, 4, 2, 2, 0, 0, 4, 4, 0xFF0000},
        {"smaller colour scaled to the alpha", 2, 2, 8, 4, 0, 0, 8, 4, 0xFF0000},
        {"white colour made for an alpha alone", 0, 0, 2, 4, 0, 0, 2, 4, 0xFFFFFF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        DeviceCaps.maxTextureWidth = c.deviceMax;
        DeviceCaps.maxTextureHeight = c.deviceMax;
        std::vector<unsigned char> color = c.colorW != 0 ? MakeTga(c.colorW, c.colorH, top) : std::vector<unsigned char>{};
        std::vector<unsigned char> alpha = c.alphaW != 0 ? MakeTga(c.alphaW, c.alphaH, top) : std::vector<unsigned char>{};
        RasterImage colorImage;
        RasterImage alphaImage;
        ASSERT_EQ(PrepareModelTextureImages(&colorImage, &alphaImage, color.empty() ? nullptr : color.data(),
                                            static_cast<int>(color.size()), alpha.empty() ? nullptr : alpha.data(),
                                            static_cast<int>(alpha.size()), 0, 1.0f, c.mirror),
                  0);
        EXPECT_EQ(colorImage.width, c.width);
        EXPECT_EQ(colorImage.height, c.height);
        EXPECT_EQ(Coarse(Rgb(colorImage, 0, 0)), c.topLeft);
        if (c.alphaW != 0) {
            EXPECT_EQ(alphaImage.width, c.width);
            EXPECT_EQ(alphaImage.height, c.height);
        } else {
            EXPECT_EQ(alphaImage.pixels, nullptr);
        }
        FreeImageRecord(&colorImage);
        FreeImageRecord(&alphaImage);
    }
    DeviceCaps.maxTextureWidth = 0;
    DeviceCaps.maxTextureHeight = 0;
}

TEST(ModelTextureTest, UnreadableFilesGiveNoImages)
{
    const int blocksBefore = KorvoTest::LiveTrackedBlocks();
    std::vector<unsigned char> good = MakeTga(2, 2, [](int, int) { return 0xFF102030u; });
    const unsigned char junk[16] = {1, 2, 3};
    struct Case {
        const char *what;
        const void *color;
        int colorSize;
        const void *alpha;
        int alphaSize;
    };
    const Case cases[] = {
        {"no files", nullptr, 0, nullptr, 0},
        {"colour unreadable", junk, 16, nullptr, 0},
        {"alpha unreadable after a good colour", good.data(), static_cast<int>(good.size()), junk, 16},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        RasterImage colorImage;
        RasterImage alphaImage;
        EXPECT_EQ(PrepareModelTextureImages(&colorImage, &alphaImage, c.color, c.colorSize, c.alpha, c.alphaSize, 0,
                                            1.0f, 0),
                  -1);
        EXPECT_EQ(colorImage.pixels, nullptr);
        EXPECT_EQ(alphaImage.pixels, nullptr);
    }
    EXPECT_EQ(KorvoTest::LiveTrackedBlocks(), blocksBefore);
}

} // namespace

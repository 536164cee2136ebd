// PNG and JPEG decoding through the loader table: every PNG colour type and
// depth (interlaced, with tRNS) pixel for pixel, JPEG within a tolerance.
#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/image_loaders.h"
#include "image_samples.h"

using namespace Korvo;
using namespace ImageSamples;

namespace {

uint8_t To8(const PngRecipe &recipe, uint32_t sample)
{
    if (recipe.bitDepth == 16)
        return (uint8_t)(sample >> 8);
    return (uint8_t)(sample * 255 / ((1u << recipe.bitDepth) - 1));
}

// The bytes the decoder must produce for one pixel.
Bytes ExpectedPngPixel(const PngRecipe &recipe, int x, int y)
{
    auto s = [&](int c) { return PngSample(recipe, x, y, c); };
    switch (recipe.colorType) {
    case PNG_COLOR_TYPE_GRAY: {
        uint8_t grey = To8(recipe, s(0));
        if (recipe.withTrns)
            return {grey, grey, grey, (uint8_t)(s(0) == PngTrnsSample(recipe, 0) ? 0 : 255)};
        return {grey};
    }
    case PNG_COLOR_TYPE_GRAY_ALPHA: {
        uint8_t grey = To8(recipe, s(0));
        return {grey, grey, grey, To8(recipe, s(1))};
    }
    case PNG_COLOR_TYPE_RGB: {
        Bytes bgr = {To8(recipe, s(2)), To8(recipe, s(1)), To8(recipe, s(0))};
        if (recipe.withTrns) {
            bool transparent = s(0) == PngTrnsSample(recipe, 0) && s(1) == PngTrnsSample(recipe, 1) &&
                               s(2) == PngTrnsSample(recipe, 2);
            bgr.push_back(transparent ? 0 : 255);
        }
        return bgr;
    }
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return {To8(recipe, s(2)), To8(recipe, s(1)), To8(recipe, s(0)), To8(recipe, s(3))};
    default: {
        uint32_t index = s(0);
        if (!recipe.withTrns)
            return {(uint8_t)index};
        const uint8_t alpha[3] = {0, 128, 255};
        int entries = 1 << recipe.bitDepth;
        int transparent = entries < 3 ? entries : 3;
        return {0, 0, 0, (uint8_t)((int)index < transparent ? alpha[index] : 255)};
    }
    }
}

class PngDecodeTest : public ::testing::TestWithParam<PngRecipe> {};

TEST_P(PngDecodeTest, DecodesEveryPixel)
{
    PngRecipe recipe = GetParam();
    Bytes file = MakePng(recipe);
    ASSERT_FALSE(file.empty());
    Decoded d(file);
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(recipe.width, d.image.width);
    EXPECT_EQ(recipe.height, d.image.height);
    int bytes = (int)ExpectedPngPixel(recipe, 0, 0).size();
    ASSERT_EQ(bytes, d.image.format.bytesPerPixel);
    // Four bytes carry alpha, grey ones included; the others have none.
    EXPECT_EQ(bytes == 4 ? 0xff000000u : 0u, d.image.format.maskA);
    EXPECT_EQ(recipe.width * bytes, d.image.pitch);
    for (int y = 0; y < recipe.height; y++)
        for (int x = 0; x < recipe.width; x++) {
            Bytes expected = ExpectedPngPixel(recipe, x, y);
            if (recipe.colorType == PNG_COLOR_TYPE_PALETTE && recipe.withTrns) {
                // Palette entries: red i*20+5, green 250-i*13, blue i*i; stored B, G, R, A.
                uint32_t i = PngSample(recipe, x, y, 0);
                expected = {(uint8_t)(i * i), (uint8_t)(250 - i * 13), (uint8_t)(i * 20 + 5), expected[3]};
            }
            ASSERT_EQ(0, std::memcmp(expected.data(), d.PixelBytes(x, y), expected.size())) << x << "," << y;
        }
}

std::vector<PngRecipe> AllPngRecipes()
{
    std::vector<PngRecipe> recipes;
    const int types[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_PALETTE, PNG_COLOR_TYPE_GRAY_ALPHA,
                         PNG_COLOR_TYPE_RGB_ALPHA};
    for (int type : types) {
        for (int depth : {1, 2, 4, 8, 16}) {
            bool valid = type == PNG_COLOR_TYPE_PALETTE ? depth <= 8 : (type == PNG_COLOR_TYPE_GRAY || depth >= 8);
            if (!valid)
                continue;
            for (int variant = 0; variant < 3; variant++) {
                PngRecipe recipe;
                recipe.colorType = type;
                recipe.bitDepth = depth;
                recipe.interlaced = variant == 1;
                recipe.withTrns = variant == 2;
                if (recipe.withTrns && (type == PNG_COLOR_TYPE_GRAY_ALPHA || type == PNG_COLOR_TYPE_RGB_ALPHA))
                    continue;
                recipes.push_back(recipe);
            }
        }
    }
    return recipes;
}

INSTANTIATE_TEST_SUITE_P(ColourTypesAndDepths, PngDecodeTest, ::testing::ValuesIn(AllPngRecipes()),
                         [](const auto &info) {
                             const PngRecipe &s = info.param;
                             return "type" + std::to_string(s.colorType) + "_depth" + std::to_string(s.bitDepth) +
                                    (s.interlaced ? "_interlaced" : "") + (s.withTrns ? "_trns" : "");
                         });

TEST(PngDecode, PaletteFormatCarriesTheFilePaletteAndZeroesTheRest)
{
    PngRecipe recipe;
    recipe.colorType = PNG_COLOR_TYPE_PALETTE;
    recipe.bitDepth = 1;
    Decoded d(MakePng(recipe));
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(1, d.image.format.bytesPerPixel);
    EXPECT_EQ(5, d.image.format.palette[0].red);
    EXPECT_EQ(250, d.image.format.palette[0].green);
    EXPECT_EQ(25, d.image.format.palette[1].red);
    for (int i = 2; i < 256; i++) {
        const PaletteEntry &e = d.image.format.palette[i];
        ASSERT_EQ(0, e.red | e.green | e.blue | e.alpha) << i;
    }
}

TEST(PngDecode, TruncatedFileIsRefused)
{
    PngRecipe recipe;
    recipe.colorType = PNG_COLOR_TYPE_RGB;
    Bytes file = MakePng(recipe);
    file.resize(file.size() - 20);
    MemorySource source(file);
    RasterImage image;
    std::memset(&image, 0, sizeof(image));
    EXPECT_EQ(-1, DecodePngStream(source.get(), &image));
    EXPECT_EQ(nullptr, image.pixels);
}

TEST(JpegDecode, ColourAndGreyWithinTolerance)
{
    for (int components : {1, 3}) {
        for (bool progressive : {false, true}) {
            SCOPED_TRACE(progressive ? "progressive" : "baseline");
            Decoded d(MakeJpeg(24, 16, components, 95, progressive));
            ASSERT_EQ(0, d.result);
            EXPECT_EQ(components, d.image.format.bytesPerPixel);
            EXPECT_EQ(24 * components, d.image.pitch);
            int worst = 0;
            for (int y = 0; y < 16; y++)
                for (int x = 0; x < 24; x++)
                    for (int c = 0; c < components; c++) {
                        // Stored B, G, R: byte c holds source channel components-1-c.
                        int expected = JpegSourceSample(x, y, components - 1 - c);
                        int diff = std::abs(expected - d.PixelBytes(x, y)[c]);
                        worst = diff > worst ? diff : worst;
                    }
            // Quality 95 on a smooth gradient: every sample within 6 levels.
            EXPECT_LE(worst, 6) << components << " components";
            if (components == 1) {
                EXPECT_EQ(200, d.image.format.palette[200].red);  // the grey palette format
            }
        }
    }
}

TEST(JpegDecode, CmykAndYcckBecomeRgbAndTwoComponentsAreRefused)
{
    // libjpeg's writer puts the Adobe marker in, so the samples are read as
    // Adobe's inverted ink: each colour is sample x black sample / 255.
    for (bool ycck : {false, true}) {
        SCOPED_TRACE(ycck ? "YCCK" : "CMYK");
        Decoded d(MakeJpeg(24, 16, 4, 95, false, ycck));
        ASSERT_EQ(0, d.result);
        ASSERT_EQ(3, d.image.format.bytesPerPixel);
        EXPECT_EQ(24 * 3, d.image.pitch);
        int worst = 0;
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 24; x++)
                for (int c = 0; c < 3; c++) {
                    int expected = JpegSourceSample(x, y, 2 - c) * JpegSourceSample(x, y, 3) / 255;
                    worst = std::max(worst, std::abs(expected - d.PixelBytes(x, y)[c]));
                }
        EXPECT_LE(worst, 6);
    }
    // Two components name no colour space: there is nothing to turn into RGB.
    EXPECT_EQ(-1, Decoded(MakeJpeg(24, 16, 2, 90)).result);
}

TEST(JpegDecode, TruncatedFileDecodesAndEmptyStreamFails)
{
    Bytes file = MakeJpeg(32, 32, 3, 90);
    file.resize(file.size() * 2 / 3);
    MemorySource truncated(file);
    RasterImage image;
    std::memset(&image, 0, sizeof(image));
    ASSERT_EQ(0, DecodeJpegStream(truncated.get(), &image));
    EXPECT_EQ(32, image.height);
    FreeImageRecord(&image);
    MemorySource empty(Bytes{});
    EXPECT_EQ(-1, DecodeJpegStream(empty.get(), &image));
    EXPECT_EQ(nullptr, image.pixels);
}

int g_extraCalls = 0;
int ConsumingExtraLoader(const ImageStreamSource *source, RasterImage *)
{
    uint8_t scratch[7];
    g_extraCalls++;
    ReadSourceBytes(source, scratch, sizeof(scratch));
    return -1;
}

TEST(ImageLoaders, EveryDecoderStartsAtTheBeginning)
{
    ImageExtraLoaders extra;
    std::memset(&extra, 0, sizeof(extra));
    extra.loaders[0] = ConsumingExtraLoader;
    extra.loaders[1] = ConsumingExtraLoader;
    extra.count = 2;
    g_extraCalls = 0;
    PngRecipe recipe;
    MemorySource source(MakePng(recipe));
    RasterImage image;
    ASSERT_EQ(0, RunImageLoadersWith(&extra, source.get(), &image));
    EXPECT_EQ(2, g_extraCalls);
    EXPECT_EQ(7, image.width);
    // The PNG decoder measures its data from where it starts: it only succeeds
    // because the walk went back to 0 after the extra loaders had read.
    FreeImageRecord(&image);

    Bytes junk(300, 0x5A);
    MemorySource junkSource(junk);
    EXPECT_EQ(-1, RunImageLoadersWith(nullptr, junkSource.get(), &image));
    EXPECT_EQ(nullptr, image.pixels);
}

TEST(ImageLoaders, AlphaImageFileName)
{
    char out[260];
    MakeAlphaImageFileName(out, "img/back.png");
    EXPECT_STREQ("img/back_a.png", out);
    MakeAlphaImageFileName(out, "dir.v2/name");
    EXPECT_STREQ("dir_a.v2/name", out);
    MakeAlphaImageFileName(out, "noext");
    EXPECT_STREQ("noext_a", out);
    MakeAlphaImageFileName(out, "画像\\表.bmp");
    EXPECT_STREQ("画像\\表_a.bmp", out);
}

} // namespace

// In-memory images: sizes, reversals, box-filter halving and pixel reads.
#include <gtest/gtest.h>

#include <cstring>

#include "image/raster_image.h"

using namespace Korvo;

namespace {

RasterImage MakeImage(int width, int height, int bitsPerPixel)
{
    RasterImage image;
    std::memset(&image, 0, sizeof(image));
    ColorFormatDesc f;
    if (bitsPerPixel == 32) {
        std::memset(&f, 0, sizeof(f));
        InitArgb32Format(&f);
    } else if (bitsPerPixel == 24) {
        std::memset(&f, 0, sizeof(f));
        InitRgb24Format(&f);
    } else if (bitsPerPixel == 16) {
        InitColorFormatFromMasks(&f, 16, 0xF800, 0x07E0, 0x001F, 0, 0, 0, 0);
    } else {
        std::memset(&f, 0, sizeof(f));
        InitGray8Format(&f);
    }
    EXPECT_EQ(0, AllocImageInFormat(width, height, &f, &image));
    return image;
}

TEST(RasterImage, PitchRoundsUpToFourBytes)
{
    RasterImage a = MakeImage(3, 2, 24);
    EXPECT_EQ(12, a.pitch);
    EXPECT_EQ(24, CalcImagePixelDataBytes(&a));
    RasterImage b = MakeImage(5, 1, 8);
    EXPECT_EQ(8, b.pitch);
    FreeImageRecord(&a);
    FreeImageRecord(&b);
    EXPECT_EQ(nullptr, a.pixels);
    EXPECT_EQ(0, a.width);
    // Freeing an empty record is safe.
    EXPECT_EQ(0, FreeImageRecord(&a));
}

TEST(RasterImage, OverflowingSizesAreRefused)
{
    ColorFormatDesc f;
    std::memset(&f, 0, sizeof(f));
    InitArgb32Format(&f);
    RasterImage image;
    std::memset(&image, 0, sizeof(image));
    EXPECT_EQ(-1, AllocImageInFormat(70000, 70000, &f, &image));
    EXPECT_EQ(nullptr, image.pixels);
    EXPECT_EQ(-1, AllocImageInFormat(-4, 4, &f, &image));
}

TEST(RasterImage, MipLevelsAreAQuarterOfTheOneBeforeWithAFloor)
{
    // Cases where a quarter of the level before differs from the level's own size.
    struct Case {
        int blockFormat, width, height, pitch, levels, bytes;
    } cases[] = {
        {kBlockPlain, 4, 4, 4, 3, 16 + 8 + 8},     // 4 and 1 bytes become 8
        {kBlockPlain, 8, 2, 32, 4, 64 + 16 + 8 + 8},
        {kBlockDxt1, 16, 4, 0, 3, 32 + 8 + 8},     // 8x2 pixels hold two blocks, yet a quarter of 32
        {kBlockDxt1, 12, 12, 0, 2, 72 + 18},
        {kBlockDxt3, 8, 8, 0, 4, 64 + 16 + 16 + 16},   // never below one 16-byte block
    };
    for (const Case &c : cases) {
        RasterImage image;
        std::memset(&image, 0, sizeof(image));
        image.format.blockFormat = (uint8_t)c.blockFormat;
        image.width = c.width;
        image.height = c.height;
        image.pitch = c.pitch;
        image.mipLevelCount = c.levels;
        EXPECT_EQ(c.bytes, CalcImagePixelDataBytes(&image)) << c.blockFormat << " " << c.width << "x" << c.height;
    }
}

TEST(RasterImage, DxtSizesCountWholeBlocksPerLevel)
{
    RasterImage image;
    std::memset(&image, 0, sizeof(image));
    image.format.blockFormat = kBlockDxt1;
    image.width = 64;
    image.height = 64;
    image.mipLevelCount = 7;
    EXPECT_EQ(2744, CalcImagePixelDataBytes(&image));
    image.mipLevelCount = 1;
    EXPECT_EQ(2048, CalcImagePixelDataBytes(&image));
    // A 6x6 DXT5 image needs 2x2 blocks; its 3x3 and 1x1 levels one block each.
    image.format.blockFormat = kBlockDxt5;
    image.width = 6;
    image.height = 6;
    image.mipLevelCount = 3;
    EXPECT_EQ(64 + 16 + 16, CalcImagePixelDataBytes(&image));
    image.format.blockFormat = 6;
    EXPECT_EQ(-1, CalcImagePixelDataBytes(&image));
}

TEST(RasterImage, HalvingAveragesChannelsAndRejectsOddSizes)
{
    ColorFormatDesc f;
    std::memset(&f, 0, sizeof(f));
    InitArgb32Format(&f);
    uint32_t src[4] = {0xFF000000u, 0xFF000003u, 0x01000000u, 0x01000001u};
    uint32_t dst[2] = {0xDEADBEEF, 0xDEADBEEF};
    EXPECT_EQ(0, HalveImageByBoxFilter(&f, dst, 8, src, 8, 0, 0, 0, 0, 2, 2));
    EXPECT_EQ(0x80000001u, dst[0]);
    EXPECT_EQ(0xDEADBEEFu, dst[1]);
    EXPECT_EQ(-1, HalveImageByBoxFilter(&f, dst, 8, src, 8, 0, 0, 0, 0, 3, 2));
    // A column of two pixels halves vertically.
    uint32_t column[2] = {0x00000010u, 0x00000020u};
    EXPECT_EQ(0, HalveImageByBoxFilter(&f, dst, 8, column, 4, 1, 0, 0, 0, 1, 2));
    EXPECT_EQ(0x00000018u, dst[1]);
    ColorFormatDesc rgb;
    std::memset(&rgb, 0, sizeof(rgb));
    InitRgb24Format(&rgb);
    EXPECT_EQ(-1, HalveImageByBoxFilter(&rgb, dst, 8, src, 8, 0, 0, 0, 0, 2, 2));
}

TEST(RasterImage, HalfTurnAndMirror)
{
    RasterImage image = MakeImage(2, 3, 8);
    uint8_t *p = (uint8_t *)image.pixels;
    const char rows[3][2] = {{'a', 'b'}, {'c', 'd'}, {'e', 'f'}};
    for (int y = 0; y < 3; y++)
        std::memcpy(p + y * image.pitch, rows[y], 2);
    EXPECT_EQ(0, RotateImageHalfTurn(&image));
    EXPECT_EQ('f', p[0]);
    EXPECT_EQ('e', p[1]);
    EXPECT_EQ('d', p[image.pitch]);
    EXPECT_EQ('c', p[image.pitch + 1]);
    EXPECT_EQ('b', p[2 * image.pitch]);
    EXPECT_EQ('a', p[2 * image.pitch + 1]);
    EXPECT_EQ(0, MirrorImageLeftRight(&image));
    EXPECT_EQ('e', p[0]);
    EXPECT_EQ('f', p[1]);
    FreeImageRecord(&image);

    RasterImage rgb = MakeImage(3, 1, 24);
    uint8_t *q = (uint8_t *)rgb.pixels;
    for (int i = 0; i < 9; i++)
        q[i] = (uint8_t)i;
    MirrorImageLeftRight(&rgb);
    const uint8_t mirrored[9] = {6, 7, 8, 3, 4, 5, 0, 1, 2};
    EXPECT_EQ(0, std::memcmp(q, mirrored, 9));
    rgb.width = 0;
    EXPECT_EQ(-1, MirrorImageLeftRight(&rgb));
    EXPECT_EQ(3, q[3]);
    FreeImageRecord(&rgb);

    RasterImage block;
    std::memset(&block, 0, sizeof(block));
    block.format.blockFormat = kBlockDxt1;
    EXPECT_EQ(-1, RotateImageHalfTurn(&block));
}

TEST(RasterImage, ReadPixelAsArgbPutsNarrowChannelsInTopBits)
{
    RasterImage image = MakeImage(2, 1, 16);
    uint16_t *p = (uint16_t *)image.pixels;
    p[0] = 0xFFFF;
    p[1] = 0x0821;  // 1, 1, 1
    EXPECT_EQ(0x00F8FCF8u, ReadImagePixelAsArgb(&image, 0, 0));
    EXPECT_EQ(0x00080408u, ReadImagePixelAsArgb(&image, 1, 0));
    FreeImageRecord(&image);
    RasterImage argb = MakeImage(1, 1, 32);
    *(uint32_t *)argb.pixels = 0x80112233u;
    EXPECT_EQ(0x80112233u, ReadImagePixelAsArgb(&argb, 0, 0));
    FreeImageRecord(&argb);
    EXPECT_EQ(0u, ReadImagePixelAsArgb(&argb, 0, 0));
}

TEST(RasterImage, ReadPixelAsArgbLooksUpThePalette)
{
    RasterImage image = MakeImage(2, 1, 8);
    image.format.palette[7] = PaletteEntry{0x30, 0x20, 0x10, 0x80};   // blue, green, red, alpha
    uint8_t *p = (uint8_t *)image.pixels;
    p[0] = 7;
    p[1] = 0xC8;
    EXPECT_EQ(0x80102030u, ReadImagePixelAsArgb(&image, 0, 0));
    EXPECT_EQ(0x00C8C8C8u, ReadImagePixelAsArgb(&image, 1, 0));   // a grey level
    FreeImageRecord(&image);
}

TEST(RasterImage, ZeroRectClearsOnlyTheRectangle)
{
    RasterImage image = MakeImage(4, 3, 32);
    std::memset(image.pixels, 0xAB, (size_t)image.pitch * 3);
    ZeroImageRect(&image, 1, 1, 2, 1);
    uint32_t *p = (uint32_t *)image.pixels;
    EXPECT_EQ(0xABABABABu, p[4]);
    EXPECT_EQ(0u, p[5]);
    EXPECT_EQ(0u, p[6]);
    EXPECT_EQ(0xABABABABu, p[7]);
    EXPECT_EQ(0xABABABABu, p[1]);
    FreeImageRecord(&image);
}

TEST(RasterImage, ModuleFlagRefusesDoubleStartAndEnd)
{
    EXPECT_EQ(0, InitImageDataModule());
    EXPECT_EQ(-1, InitImageDataModule());
    EXPECT_EQ(0, TermImageDataModule());
    EXPECT_EQ(-1, TermImageDataModule());
}

} // namespace

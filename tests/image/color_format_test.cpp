// Colour-format descriptors: standard formats, masks, packing and splitting.
#include <gtest/gtest.h>

#include <cstring>

#include "image/color_format.h"

using namespace Korvo;

namespace {

ColorFormatDesc Zeroed()
{
    ColorFormatDesc f;
    std::memset(&f, 0, sizeof(f));
    return f;
}

TEST(ColorFormat, StandardFormatsPackAsDocumented)
{
    ColorFormatDesc f = Zeroed();
    InitXrgb32Format(&f);
    EXPECT_EQ(0xFF123456u, PackColorInFormat(&f, 0x12, 0x34, 0x56, 0x78));
    EXPECT_EQ(24, f.unusedShift);
    EXPECT_EQ(8, f.unusedWidth);
    InitArgb32Format(&f);
    EXPECT_EQ(0x78123456u, PackColorInFormat(&f, 0x12, 0x34, 0x56, 0x78));
    InitRgb24Format(&f);
    EXPECT_EQ(0x00123456u, PackColorInFormat(&f, 0x12, 0x34, 0x56, 0x78));
    EXPECT_EQ(3, f.bytesPerPixel);
}

TEST(ColorFormat, Rgb565FromMasks)
{
    ColorFormatDesc f;
    InitColorFormatFromMasks(&f, 16, 0xF800, 0x07E0, 0x001F, 0, 0, 0, 0);
    EXPECT_EQ(11, f.shiftR);
    EXPECT_EQ(5, f.shiftG);
    EXPECT_EQ(0, f.shiftB);
    EXPECT_EQ(5, f.widthR);
    EXPECT_EQ(6, f.widthG);
    EXPECT_EQ(5, f.widthB);
    EXPECT_EQ(0u, f.unusedMask);
    EXPECT_EQ(0xFFFFu, PackColorInFormat(&f, 255, 255, 255, 0));
    int r = -1, g = -1, b = -1, a = -1;
    SplitColorInFormat(&f, 0xF800, &r, &g, &b, &a);
    EXPECT_EQ(255, r);
    EXPECT_EQ(0, g);
    EXPECT_EQ(0, b);
    EXPECT_EQ(0, a);
    // Null pointers are allowed.
    EXPECT_EQ(0, SplitColorInFormat(&f, 0x07E0, nullptr, &g, nullptr, nullptr));
    EXPECT_EQ(255, g);
}

TEST(ColorFormat, X1R5G5B5SetsTheUnusedBitWhenPacking)
{
    ColorFormatDesc f;
    InitColorFormatFromMasks(&f, 16, 0x7C00, 0x03E0, 0x001F, 0, 0, 0, 0);
    EXPECT_EQ(0x8000u, f.unusedMask);
    EXPECT_EQ(15, f.unusedShift);
    EXPECT_EQ(1, f.unusedWidth);
    for (int c = 0; c < 256; c += 17)
        EXPECT_EQ(0x8000u, PackColorInFormat(&f, c, 255 - c, c / 2, 0) & 0x8000u);
}

TEST(ColorFormat, GreyPaletteFindsNearestEntryLowestFirst)
{
    ColorFormatDesc f = Zeroed();
    InitGray8Format(&f);
    EXPECT_EQ(10u, PackColorInFormat(&f, 10, 10, 10, 0));
    EXPECT_EQ(85u, PackColorInFormat(&f, 0, 0, 255, 0));
    EXPECT_EQ(10u, PackColorInFormat(&f, 10, 11, 10, 0));
    EXPECT_EQ(10u, PackColorInFormat(&f, 10, 10, 11, 0));
}

TEST(ColorFormat, ChannelsWiderThanEightBitsScaleInsteadOfShiftingNegatively)
{
    // A2R10G10B10: 10-bit channels.
    ColorFormatDesc f;
    InitColorFormatFromMasks(&f, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000, 0, 0, 0);
    uint32_t white = PackColorInFormat(&f, 255, 255, 255, 255);
    EXPECT_EQ(0xFFFFFFFFu, white);
    uint32_t mid = PackColorInFormat(&f, 0, 128, 0, 0);
    EXPECT_EQ(128u * 1023 / 255, (mid >> 10) & 0x3ff);
    int r, g, b, a;
    SplitColorInFormat(&f, white, &r, &g, &b, &a);
    EXPECT_EQ(255, r);
    EXPECT_EQ(255, a);
}

TEST(ColorFormat, UpdateUnusedBitsAfterChangingChannels)
{
    ColorFormatDesc f;
    InitColorFormatFromMasks(&f, 16, 0x7C00, 0x03E0, 0x001F, 0, 0, 0, 0);
    f.maskA = 0x8000;
    f.widthA = 1;
    f.shiftA = 15;
    UpdateFormatUnusedBits(&f);
    EXPECT_EQ(0u, f.unusedMask);
    f.maskA = 0;
    f.widthA = 0;
    UpdateFormatUnusedBits(&f);
    EXPECT_EQ(0x8000u, f.unusedMask);
}

} // namespace

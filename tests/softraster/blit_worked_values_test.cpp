// Worked values of the pixel rules as fixed oracles: one source pixel over one
// destination pixel, through each path that has its own rule.
#include <gtest/gtest.h>

#include <cstring>

#include "softraster/draw_state.h"
#include "softraster/memimg_blit.h"

using namespace Korvo;

namespace {

struct OnePixel {
    MEMIMG src{};
    MEMIMG dst{};
    OnePixel(MemImgPixelKind kind, int palette, int alpha, int width = 1)
    {
        AllocateMemImg(&src, width, 1, -1, 0, kind, palette, alpha, 1, nullptr);
        AllocateMemImg(&dst, width, 1, -1, 0, kind, 0, 0, 0, nullptr);
        src.body->paletteCount = 256;
    }
    ~OnePixel()
    {
        DisposeMemImg(&src);
        DisposeMemImg(&dst);
    }
    void SetSource(int x, uint32_t v) { std::memcpy(src.pixels + x * MemImgBytesPerPixel(src.body), &v, MemImgBytesPerPixel(src.body)); }
    void SetDest(int x, uint32_t v) { std::memcpy(dst.pixels + x * MemImgBytesPerPixel(dst.body), &v, MemImgBytesPerPixel(dst.body)); }
    uint32_t Dest(int x = 0) const
    {
        uint32_t v = 0;
        std::memcpy(&v, dst.pixels + x * MemImgBytesPerPixel(dst.body), MemImgBytesPerPixel(dst.body));
        return v;
    }
    void SetPalette(int index, uint32_t v)
    {
        std::memcpy(src.body->paletteBlock + index * (src.body->pixelKind ? 4 : 2), &v, src.body->pixelKind ? 4 : 2);
    }
    // Plain blit at (0,0) with the given flag; runTable chooses whether the table is in force.
    void Blit(int flag, bool runTable = false)
    {
        if (runTable)
            BuildMemImgRunTable(&src);
        else
            src.body->runTableValid = 0;
        BlendBlitMemImg(&dst, &src, 0, 0, flag, nullptr);
    }
    // Mirrored stretch of the same size: the stretched loops, not the plain hand-off.
    void Stretch(int flag)
    {
        const int rect[4] = {src.width, 0, 0, 1};
        StretchBlendBlitMemImg(&dst, &src, rect, flag, nullptr);
    }
};

class WorkedValues : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildMemImgLookupTables();
        RECT clip = {0, 0, 100, 100};
        SetMemImgClipRect(&clip);
        SetMemImgBrightColor(0xFFFFFF);
        SetMemImgMmxOverride(0);
    }
    void TearDown() override { SetMemImgMmxOverride(-1); }
};

TEST_F(WorkedValues, AlphaSource32Copy)
{
    OnePixel t(MEMIMG_KIND_XRGB32, 0, 1);
    SetMemImgBlendState(0, 0);
    t.SetSource(0, 0x00FFFFFF);   // alpha 0
    t.SetDest(0, 0x11223344);
    t.Blit(1);
    EXPECT_EQ(t.Dest(), 0x11223344u);
    t.SetSource(0, 0xFF123456);
    t.Blit(1);
    EXPECT_EQ(t.Dest(), 0xFF123456u);   // whole pixel, byte 3 included
    t.SetSource(0, 0x80FF0000);
    t.SetDest(0, 0x77000000);
    t.Blit(2);
    EXPECT_EQ(t.Dest(), 0x777F0000u);   // (0 * 256 + 255 * 128) >> 8 in red
    t.SetSource(0, 0x00FF00FF);
    t.Blit(0);
    EXPECT_EQ(t.Dest(), 0x00FF00FFu);   // flag off: copied whole, alpha ignored
    SetMemImgBrightColor(0xFEFEFE);
    t.SetDest(0, 0x01020304);
    t.Blit(0);
    EXPECT_EQ(t.Dest(), 0x01020304u);   // with bright on it is weighted by alpha 0
}

TEST_F(WorkedValues, RunTablePixels32)
{
    OnePixel t(MEMIMG_KIND_XRGB32, 0, 1);
    SetMemImgBlendState(0, 0);
    t.SetSource(0, 0xFF123456);
    t.Blit(1, true);
    EXPECT_EQ(t.Dest(), 0xFF123456u);
    t.SetSource(0, 0x80123456);
    t.SetDest(0, 0);
    t.Blit(1, true);
    EXPECT_EQ(t.Dest(), 0x00091A2Bu);
}

TEST_F(WorkedValues, Multiply32ZeroAlphaBlackens)
{
    OnePixel t(MEMIMG_KIND_XRGB32, 0, 1);
    SetMemImgBlendState(4, 0);
    t.SetSource(0, 0x00FFFFFF);
    for (int flag : {0, 2}) {
        t.SetDest(0, 0x55AABBCC);
        t.Blit(flag);
        EXPECT_EQ(t.Dest(), 0x55000000u) << flag;
    }
    t.SetDest(0, 0x55AABBCC);
    t.Stretch(1);   // the stretched blit skips alpha 0 when keyed
    EXPECT_EQ(t.Dest(), 0x55AABBCCu);
}

TEST_F(WorkedValues, HalvingAgainstInterpolation32)
{
    OnePixel t(MEMIMG_KIND_XRGB32, 1, 0);
    t.SetPalette(1, 0x000101);
    t.SetSource(0, 1);
    SetMemImgBlendState(1, 128);
    t.SetDest(0, 0x000101);
    t.Blit(0);
    EXPECT_EQ(t.Dest(), 0u);
    SetMemImgBlendState(1, 127);
    t.SetDest(0, 0x000101);
    t.Blit(0);
    EXPECT_EQ(t.Dest(), 0x000101u);
    SetMemImgBlendState(1, 128);
    t.SetDest(0, 0x000101);
    t.Stretch(0);   // the stretched blit interpolates
    EXPECT_EQ(t.Dest(), 0x000101u);
}

TEST_F(WorkedValues, AddLowBitTerm32)
{
    OnePixel t(MEMIMG_KIND_XRGB32, 1, 0);
    t.SetPalette(1, 0x000000);
    t.SetSource(0, 1);
    SetMemImgBlendState(2, 255);
    t.SetDest(0, 0x000100);
    t.Blit(0);
    EXPECT_EQ(t.Dest(), 0u);             // without MMX: no low-bit term
    SetMemImgBlendState(2, 254);
    t.SetDest(0, 0x000100);
    t.Blit(0);
    EXPECT_EQ(t.Dest(), 0x000100u);
    SetMemImgMmxOverride(1);
    SetMemImgBlendState(2, 255);
    t.SetPalette(1, 0x01F0F0F0);
    t.SetDest(0, 0xFF203040);
    t.Blit(0);
    EXPECT_EQ(t.Dest(), 0xFFFFFFFFu);    // bytewise saturation, byte 3 included
}

TEST_F(WorkedValues, SubtractWithParameterZero32)
{
    OnePixel t(MEMIMG_KIND_XRGB32, 1, 0);
    t.SetSource(0, 1);
    SetMemImgBlendState(3, 0);
    t.SetDest(0, 0x12345678);
    t.Blit(0);
    EXPECT_EQ(t.Dest(), 0x00355778u);
    t.SetDest(0, 0x12345678);
    t.Blit(1, true);
    EXPECT_EQ(t.Dest(), 0x00355778u);
    OnePixel direct(MEMIMG_KIND_XRGB32, 0, 0);
    direct.SetDest(0, 0x12345678);
    direct.Blit(0);
    EXPECT_EQ(direct.Dest(), 0x12345678u);   // direct sources refuse p = 0
}

TEST_F(WorkedValues, BytewiseSubtractKeepsByte3OnlyWithMmx)
{
    OnePixel t(MEMIMG_KIND_XRGB32, 0, 0);
    SetMemImgBlendState(3, 255);
    t.SetSource(0, 0x00102030);
    t.SetDest(0, 0x80405060);
    SetMemImgMmxOverride(1);
    t.Stretch(0);
    EXPECT_EQ(t.Dest(), 0x80303030u);
    t.SetDest(0, 0x80405060);
    SetMemImgMmxOverride(0);
    t.Stretch(0);
    EXPECT_EQ(t.Dest(), 0x00313130u);   // packed form: guard bits set the low bits of green and red
}

TEST_F(WorkedValues, PaletteKeyAbove255)
{
    OnePixel t(MEMIMG_KIND_XRGB32, 1, 0, 2);
    t.src.body->transparentColor = 0x105;
    t.SetPalette(5, 0x00ABCDEF);
    t.SetSource(0, 0x0505);
    SetMemImgBlendState(0, 0);
    t.SetDest(0, 7);
    t.SetDest(1, 7);
    t.Blit(2);   // the copy loop compares the low byte
    EXPECT_EQ(t.Dest(0), 7u);
    SetMemImgBrightColor(0x808080);
    t.Blit(2);   // the per-pixel loops compare the whole value
    EXPECT_NE(t.Dest(0), 7u);
}

TEST_F(WorkedValues, Rules16)
{
    OnePixel t(MEMIMG_KIND_RGB565, 0, 0);
    SetMemImgBlendState(1, 128);
    t.SetSource(0, 0x0001);
    t.SetDest(0, 0x0001);
    t.Blit(0);
    EXPECT_EQ(t.Dest(), 0x0000u);        // halving
    t.SetDest(0, 0x0001);
    t.Blit(1, true);
    EXPECT_EQ(t.Dest(), 0x0001u);        // run table: d + SLerp(128, 0)
    SetMemImgBlendState(1, 127);
    t.SetDest(0, 0x0001);
    t.Blit(0);
    EXPECT_EQ(t.Dest(), 0x0001u);        // Lerp6(31, 1, 1)
    SetMemImgBlendState(1, 253);
    t.SetSource(0, 0xF81F);
    t.SetDest(0, 0x07E0);
    t.Blit(0);
    EXPECT_EQ(t.Dest(), 0xF81Fu);        // block 63 gives the source

    SetMemImgBlendState(4, 0);
    t.SetSource(0, 0xFFFF);
    t.SetDest(0, 0xFFFF);
    t.Blit(0);
    EXPECT_EQ(t.Dest(), (30u << 11) | (62u << 5) | 30u);

    SetMemImgBlendState(1, 128);
    t.SetSource(0, 31u << 11);
    t.SetDest(0, 0);
    t.Stretch(0);
    EXPECT_EQ(t.Dest() >> 11, 15u);
    t.SetSource(0, 0);
    t.SetDest(0, 31u << 11);
    t.Stretch(0);
    EXPECT_EQ(t.Dest() >> 11, 16u);
}

TEST_F(WorkedValues, Add16PairDropsTheLowBit)
{
    OnePixel t(MEMIMG_KIND_RGB565, 0, 0, 2);
    SetMemImgBlendState(2, 255);
    t.SetSource(0, 0);
    t.SetSource(1, 0);
    t.SetDest(0, 0x0020);
    t.SetDest(1, 0x0020);
    t.Blit(0);
    EXPECT_EQ(t.Dest(0), 0u);
    EXPECT_EQ(t.Dest(1), 0u);
    SetMemImgBlendState(2, 254);
    t.SetDest(0, 0x0020);
    t.Blit(0);
    EXPECT_EQ(t.Dest(0), 0x0020u);
}

TEST_F(WorkedValues, Subtract16)
{
    OnePixel palette(MEMIMG_KIND_RGB565, 1, 0);
    SetMemImgBlendState(3, 0);
    palette.src.body->transparentColor = 9;
    palette.SetSource(0, 0);
    palette.SetDest(0, 0xB07D);
    palette.Blit(0);
    EXPECT_EQ(palette.Dest(), 0xB85Du);
    palette.SetDest(0, 0xB07D);
    palette.Blit(1, true);
    EXPECT_EQ(palette.Dest(), 0xB85Du);
    OnePixel direct(MEMIMG_KIND_RGB565, 0, 0);
    direct.SetDest(0, 0xB07D);
    direct.Blit(1, true);
    EXPECT_EQ(direct.Dest(), 0xB07Du);
    SetMemImgBlendState(3, 255);
    direct.SetSource(0, 0x1234);
    direct.SetDest(0, 0x1234);
    direct.Stretch(0);
    EXPECT_EQ(direct.Dest(), 0x0800u);   // only the lowest red bit stays
}

TEST_F(WorkedValues, AlphaSource16)
{
    OnePixel t(MEMIMG_KIND_RGB565, 0, 1);
    SetMemImgBlendState(4, 0);
    t.SetSource(0, 0x0000FFFF);          // alpha 0
    t.SetDest(0, 0xFFFF);
    t.Blit(2);
    EXPECT_EQ(t.Dest(), 0u);
    t.SetDest(0, 0xFFFF);
    t.Blit(1, true);
    EXPECT_EQ(t.Dest(), 0xFFFFu);        // the run table skips it

    SetMemImgBlendState(11, 255);
    t.SetSource(0, 0x00FF0420);          // green 33, alpha 255
    t.SetDest(0, 0x07C0);                // green 62
    t.Blit(0);
    EXPECT_EQ(t.Dest(), 0x0400u);
    t.SetDest(0, 0x07C0);
    t.Blit(2);
    EXPECT_EQ(t.Dest(), 0x03E0u);

    SetMemImgBlendState(0, 0);
    t.SetSource(0, 0x00FFF800);          // red 31, alpha 255
    t.SetDest(0, 0);
    t.Stretch(0);
    EXPECT_EQ(t.Dest() >> 11, 30u);
    t.SetDest(0, 0);
    t.Stretch(1);
    EXPECT_EQ(t.Dest() >> 11, 31u);
}

TEST_F(WorkedValues, RefusedModesDrawNothing)
{
    OnePixel t(MEMIMG_KIND_XRGB32, 0, 0);
    t.SetSource(0, 0x00FFFFFF);
    for (int mode : {5, 7, 9, 12, -1, -100}) {
        SetMemImgBlendState(mode, 255);
        t.SetDest(0, 0x01020304);
        t.Blit(0);
        t.Stretch(0);
        EXPECT_EQ(t.Dest(), 0x01020304u) << mode;
    }
}

}  // namespace

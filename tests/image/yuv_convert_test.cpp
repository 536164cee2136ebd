// YUV frame converters: the fixed-point formula and each layout's chroma placement.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/pixel_access.h"
#include "image/yuv_convert.h"

using namespace Korvo;

namespace {

struct Frame {
    RasterImage image;
    Frame(int w, int h)
    {
        std::memset(&image, 0, sizeof(image));
        AllocXrgb32Image(w, h, &image);
        std::memset(image.pixels, 0x11, (size_t)image.pitch * h);
    }
    ~Frame() { FreeImageRecord(&image); }
    uint32_t At(int x, int y) const { return ((const uint32_t *)image.pixels)[(size_t)y * image.pitch / 4 + x]; }
};

// 0xAARRGGBB from the formula, computed independently.
uint32_t Expected(int y, int u, int v)
{
    auto clamp = [](long long sum) -> uint32_t { return sum < 0 ? 0 : sum > 255 * 32768 ? 255 : (uint32_t)(sum >> 15); };
    uint32_t b = clamp(y * 32768LL + (u - 128) * 58064LL);
    uint32_t g = clamp(y * 32768LL - (u - 128) * 11272LL - (v - 128) * 23396LL);
    uint32_t r = clamp(y * 32768LL + (v - 128) * 45940LL);
    return 0xff000000u | r << 16 | g << 8 | b;
}

TEST(YuvConvert, WorkedValues)
{
    EXPECT_EQ(0xffffffffu, Expected(255, 128, 128));
    Frame f(2, 1);
    const uint8_t yuy2[4] = {255, 128, 0, 128};
    DecodeYUY2FrameToImage(yuy2, 2, 1, &f.image);
    EXPECT_EQ(0xffffffffu, f.At(0, 0));
    EXPECT_EQ(0xff000000u, f.At(1, 0));
    const uint8_t red[4] = {76, 85, 76, 255};
    DecodeYUY2FrameToImage(red, 2, 1, &f.image);
    EXPECT_EQ(0xfffe0000u, f.At(0, 0));
}

TEST(YuvConvert, PlanarLayoutsPlaceChromaPerTwoByTwoBlock)
{
    // YV12 4x2: 8 luma bytes, then V (2 bytes), then U (2 bytes).
    uint8_t yv12[12] = {10, 20, 30, 40, 50, 60, 70, 80, 200, 210, 60, 70};
    Frame f(4, 2);
    DecodeYV12FrameToImage(yv12, 4, 2, &f.image);
    EXPECT_EQ(Expected(10, 60, 200), f.At(0, 0));
    EXPECT_EQ(Expected(60, 60, 200), f.At(1, 1));
    EXPECT_EQ(Expected(40, 70, 210), f.At(3, 0));

    uint8_t nv12[12] = {10, 20, 30, 40, 50, 60, 70, 80, 60, 200, 70, 210};
    Frame g(4, 2);
    DecodeNV12FrameToImage(nv12, 4, 2, &g.image);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(f.At(x, y), g.At(x, y));

    uint8_t nv11[12] = {10, 20, 30, 40, 50, 60, 70, 80, 60, 200, 90, 100};
    Frame h(4, 2);
    DecodeNV11FrameToImage(nv11, 4, 2, &h.image);
    EXPECT_EQ(Expected(40, 60, 200), h.At(3, 0));
    EXPECT_EQ(Expected(50, 90, 100), h.At(0, 1));
}

TEST(YuvConvert, PackedLayoutsAgree)
{
    const uint8_t yuy2[4] = {90, 30, 160, 220};
    const uint8_t uyvy[4] = {30, 90, 220, 160};
    const uint8_t yvyu[4] = {90, 220, 160, 30};
    Frame a(2, 1), b(2, 1), c(2, 1);
    DecodeYUY2FrameToImage(yuy2, 2, 1, &a.image);
    DecodeUYVYFrameToImage(uyvy, 2, 1, &b.image);
    DecodeYVYUFrameToImage(yvyu, 2, 1, &c.image);
    EXPECT_EQ(Expected(90, 30, 220), a.At(0, 0));
    EXPECT_EQ(Expected(160, 30, 220), a.At(1, 0));
    EXPECT_EQ(a.At(0, 0), b.At(0, 0));
    EXPECT_EQ(a.At(1, 0), c.At(1, 0));
}

TEST(YuvConvert, OddEdgesAndEmptyFramesAreNotWritten)
{
    std::vector<uint8_t> frame(3 * 3 + 2, 100);
    Frame f(3, 3);
    DecodeYV12FrameToImage(frame.data(), 3, 3, &f.image);
    EXPECT_EQ(0x11111111u, f.At(2, 0));
    EXPECT_EQ(0x11111111u, f.At(0, 2));
    EXPECT_NE(0x11111111u, f.At(1, 1));
    Frame g(2, 2);
    EXPECT_EQ(0, DecodeYUY2FrameToImage(frame.data(), 2, 0, &g.image));
    EXPECT_EQ(0x11111111u, g.At(0, 0));
}

} // namespace

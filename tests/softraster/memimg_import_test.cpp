// Import of RasterImages into MEMIMGs and converting copies between MEMIMGs.
#include <gtest/gtest.h>

#include <cstring>

#include "image/color_format.h"
#include "image/raster_image.h"
#include "softraster/memimg.h"

using namespace Korvo;

namespace {

struct Argb32Image {
    RasterImage image{};
    Argb32Image(int width, int height, const uint32_t *pixels)
    {
        ColorFormatDesc format;
        InitArgb32Format(&format);
        AllocImageInFormat(width, height, &format, &image);
        for (int y = 0; y < height; ++y)
            std::memcpy(static_cast<uint8_t *>(image.pixels) + y * image.pitch, pixels + y * width,
                        static_cast<size_t>(width * 4));
    }
    ~Argb32Image() { FreeImageRecord(&image); }
};

uint32_t Pixel32(const MEMIMG &m, int x, int y)
{
    uint32_t v;
    std::memcpy(&v, m.pixels + y * m.body->pitch + 4 * x, 4);
    return v;
}

TEST(MemImgImport, WholeImageBuildsRunTableAndPremultipliedCopy)
{
    const uint32_t pixels[] = {0x00102030, 0xFF405060, 0x80708090, 0x80FFFFFF};
    Argb32Image source(4, 1, pixels);
    MEMIMG m{};
    ASSERT_EQ(AllocateMemImg(&m, 4, 1, -1, 0, MEMIMG_KIND_XRGB32, 0, 1, 1, nullptr), 0);
    ASSERT_EQ(ImportImageIntoMemImg(&source.image, nullptr, &m, 0, 0, 4, 1, 0, 0, 0), 0);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(Pixel32(m, x, 0), pixels[x]);
    EXPECT_EQ(m.body->runTableValid, 1);
    EXPECT_EQ(m.body->premultipliedValid, 1);
    EXPECT_EQ(m.body->runTable[0], 0x00);   // one transparent pixel
    EXPECT_EQ(m.body->runTable[1], 0x40);   // one opaque
    EXPECT_EQ(m.body->runTable[2], 0x81);   // two partly transparent
    EXPECT_EQ(m.body->runTable[3], 0xC0);
    EXPECT_EQ(m.premultiplied[8 + 2], 0x70 * 0x80 >> 8);

    // A partial import leaves no run table in force.
    ASSERT_EQ(ImportImageIntoMemImg(&source.image, nullptr, &m, 1, 0, 2, 1, 0, 0, 0), 0);
    EXPECT_EQ(m.body->runTableValid, 0);
    EXPECT_EQ(Pixel32(m, 0, 0), pixels[1]);
    DisposeMemImg(&m);
}

TEST(MemImgImport, ConvertsTo16BitAndCopiesBetweenImages)
{
    const uint32_t pixels[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    Argb32Image source(2, 2, pixels);
    MEMIMG m{};
    ASSERT_EQ(AllocateMemImg(&m, 2, 2, -1, 0, MEMIMG_KIND_RGB565, 0, 0, 1, nullptr), 0);
    ASSERT_EQ(ImportImageIntoMemImg(&source.image, nullptr, &m, 0, 0, 2, 2, 0, 0, 0), 0);
    uint16_t words[4];
    for (int i = 0; i < 4; ++i)
        std::memcpy(&words[i], m.pixels + (i / 2) * m.body->pitch + 2 * (i % 2), 2);
    EXPECT_EQ(words[0], 0xF800);
    EXPECT_EQ(words[1], 0x07E0);
    EXPECT_EQ(words[2], 0x001F);
    EXPECT_EQ(words[3], 0xFFFF);
    EXPECT_EQ(m.body->runTableValid, 1);

    MEMIMG copy{};
    ASSERT_EQ(AllocateMemImg(&copy, 3, 3, -1, 0, MEMIMG_KIND_XRGB32, 0, 0, 0, nullptr), 0);
    std::memset(copy.pixels, 0, static_cast<size_t>(copy.body->pitch * 3));
    RECT one = {1, 1, 2, 2};
    CopyMemImgRect(&copy, &m, &one, 2, 0);
    const uint32_t white = Pixel32(copy, 2, 0);   // 5- and 6-bit fields widened to at least their top bits
    EXPECT_GE(white & 0xFF, 0xF8u);
    EXPECT_GE((white >> 8) & 0xFF, 0xFCu);
    EXPECT_GE((white >> 16) & 0xFF, 0xF8u);
    EXPECT_EQ(Pixel32(copy, 1, 0), 0u);
    DisposeMemImg(&copy);
    DisposeMemImg(&m);
}

TEST(MemImgFormats, SharedDescriptors)
{
    const ColorFormatDesc *rgb = LookupMemImgFormatDesc(MEMIMG_KIND_RGB565, 0, 0);
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(rgb->bytesPerPixel, 2);
    EXPECT_EQ(rgb, LookupMemImgFormatDesc(MEMIMG_KIND_RGB565, 0, 0));
    EXPECT_EQ(LookupMemImgFormatDesc(MEMIMG_KIND_RGB565, 1, 0)->bytesPerPixel, 4);
    EXPECT_EQ(LookupMemImgFormatDesc(MEMIMG_KIND_RGB565, 1, 0)->maskA, 0x00FF0000u);
    EXPECT_EQ(LookupMemImgFormatDesc(MEMIMG_KIND_XRGB32, 0, 1)->bytesPerPixel, 1);
    EXPECT_EQ(LookupMemImgFormatDesc(MEMIMG_KIND_XRGB32, 1, 0)->maskA, 0xFF000000u);
    EXPECT_EQ(LookupMemImgFormatDesc(MEMIMG_KIND_GRAY16, 0, 0)->maskR, 0xFFFFu);
    EXPECT_EQ(LookupMemImgFormatDesc(4, 0, 0), nullptr);
}

}  // namespace

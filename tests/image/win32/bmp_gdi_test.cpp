// The GDI road of the bitmap importers: layouts GDI draws into 24-bit images.
#include <gtest/gtest.h>

#include <cstring>

#include "image/dib_format.h"
#include "image/image_loaders.h"
#include "../image_samples.h"

using namespace Korvo;
using namespace ImageSamples;

namespace {

TEST(BmpGdi, OneBitFileUsesItsPalette)
{
    Bytes table = {0, 0, 0, 0, 0x10, 0x20, 0x30, 0};
    Bytes data = {0x80, 0, 0, 0};  // 2x1: pixel 0 index 1, pixel 1 index 0
    Bytes file = MakeBmp(2, 1, 1, 0, table, data);
    MemorySource source(file);
    RasterImage image;
    ASSERT_EQ(0, RunImageLoadersWith(nullptr, source.get(), &image));
    const uint8_t *p = (const uint8_t *)image.pixels;
    EXPECT_EQ(0x10, p[0]);
    EXPECT_EQ(0x30, p[2]);
    EXPECT_EQ(0, p[3]);
    FreeImageRecord(&image);
}

TEST(DibImportGdi, BottomUpEightBitDibIsDrawnInto24Bit)
{
    K_BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = 2;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 8;
    info.bmiColors[5] = PaletteEntry{1, 2, 3, 0};
    uint8_t bits[8] = {5, 0, 0, 0, 0, 5, 0, 0};
    RasterImage image;
    ASSERT_EQ(1, ImportDibToImage(&info, bits, &image, 0));
    EXPECT_EQ(24, image.format.bitsPerPixel);
    const uint8_t *p = (const uint8_t *)image.pixels;
    EXPECT_EQ(1, p[3]);                   // top row (stored second): index 5 at x = 1
    EXPECT_EQ(3, p[image.pitch + 2]);     // bottom row: index 5 at x = 0
    FreeImageRecord(&image);
}

} // namespace

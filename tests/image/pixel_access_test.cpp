// Pixel access and image blits: single pixels, clipped copies, scaling, DIB
// export and import, and the soft-image handle kind.
#include <gtest/gtest.h>

#include <cstring>

#include "core/memory/tracked_alloc.h"
#include "image/dib_format.h"
#include "image/image_loaders.h"
#include "image/pixel_access.h"
#include "image/soft_image_handles.h"

using namespace Korvo;

namespace {

struct Image {
    RasterImage r;
    Image() { std::memset(&r, 0, sizeof(r)); }
    ~Image() { FreeImageRecord(&r); }
    uint32_t At(int x, int y) const
    {
        uint32_t v;
        std::memcpy(&v, (const uint8_t *)r.pixels + (size_t)y * r.pitch + (size_t)x * 4, 4);
        return v;
    }
    void Fill(uint32_t value)
    {
        for (int y = 0; y < r.height; y++)
            for (int x = 0; x < r.width; x++)
                std::memcpy((uint8_t *)r.pixels + (size_t)y * r.pitch + (size_t)x * 4, &value, 4);
    }
};

TEST(PixelAccess, WriteAndReadThroughTheFormat)
{
    Image img;
    ASSERT_EQ(0, AllocArgb32Image(3, 2, &img.r));
    EXPECT_EQ(0, WriteImagePixelRgba(&img.r, 2, 1, 10, 20, 30, 40));
    EXPECT_EQ(0x280a141eu, img.At(2, 1));
    int r, g, b, a;
    EXPECT_EQ(0, ReadImagePixelRgba(&img.r, 2, 1, &r, &g, &b, &a));
    EXPECT_EQ(10, r);
    EXPECT_EQ(40, a);
    EXPECT_EQ(-1, ReadImagePixelRgba(&img.r, 3, 0, &r, nullptr, nullptr, nullptr));
    EXPECT_EQ(-1, ReadImagePixelRgba(&img.r, -1, 0, &r, nullptr, nullptr, nullptr));
    EXPECT_EQ(-1, WriteImagePixelRgba(&img.r, 0, 2, 1, 1, 1, 1));
}

TEST(PixelAccess, WritingADxtImageExpandsItFirst)
{
    Image img;
    img.r.format.blockFormat = kBlockDxt1;
    img.r.width = 4;
    img.r.height = 4;
    img.r.pixels = KORVO_TRACKED_ALLOC_ZEROED(8);
    ASSERT_EQ(0, WriteImagePixelRgba(&img.r, 1, 1, 255, 0, 0, 255));
    EXPECT_EQ(kBlockPlain, img.r.format.blockFormat);
    EXPECT_EQ(16, img.r.pitch);
    EXPECT_EQ(0xffff0000u, img.At(1, 1));
}

TEST(PixelAccess, ClippedBlitMovesTheDestinationWithANegativeSource)
{
    Image src, dst;
    AllocXrgb32Image(4, 4, &src.r);
    AllocXrgb32Image(4, 4, &dst.r);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            WriteImagePixelRgba(&src.r, x, y, x * 10, y * 10, 0, 0);
    dst.Fill(0x12345678);
    EXPECT_EQ(0, BlitImageRectClipped(-1, 0, 3, 2, 0, 0, &src.r, &dst.r));
    EXPECT_EQ(0x12345678u, dst.At(0, 0));
    EXPECT_EQ(src.At(0, 0), dst.At(1, 0));
    EXPECT_EQ(src.At(1, 1), dst.At(2, 1));
    EXPECT_EQ(0x12345678u, dst.At(3, 0));
    // Wholly outside: nothing written, result 0.
    EXPECT_EQ(0, BlitImageRectClipped(10, 10, 3, 3, 0, 0, &src.r, &dst.r));
    EXPECT_EQ(0, BlitWholeImageAt(-4, 0, &src.r, &dst.r));
    EXPECT_EQ(0x12345678u, dst.At(0, 3));
    EXPECT_EQ(0, BlitWholeImageAt(2, 2, &src.r, &dst.r));
    EXPECT_EQ(src.At(1, 1), dst.At(3, 3));
}

TEST(PixelAccess, ScaleBlitChecksRectanglesAndFilters)
{
    Image src, dst;
    AllocArgb32Image(4, 4, &src.r);
    AllocArgb32Image(8, 8, &dst.r);
    src.Fill(0xffffffff);
    EXPECT_EQ(0, ScaleBlitImageRect(0, 0, 4, 4, &src.r, 0, 0, 8, 8, &dst.r, 1));
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            ASSERT_EQ(0xfefefefeu, dst.At(x, y));
    EXPECT_EQ(-1, ScaleBlitImageRect(0, 0, 5, 4, &src.r, 0, 0, 8, 8, &dst.r, 0));
    EXPECT_EQ(-1, ScaleBlitImageRect(2, 0, 2, 4, &src.r, 0, 0, 8, 8, &dst.r, 0));
    // Nearest: each source pixel covers a 2x2 block.
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            WriteImagePixelRgba(&src.r, x, y, x * 60, y * 60, 7, 255);
    EXPECT_EQ(0, ScaleBlitImageRect(0, 0, 4, 4, &src.r, 0, 0, 8, 8, &dst.r, 0));
    EXPECT_EQ(src.At(1, 2), dst.At(3, 5));
    EXPECT_EQ(src.At(3, 3), dst.At(7, 7));
}

TEST(DibExport, HandsOutOrCopiesPixels)
{
    Image rgb;
    ColorFormatDesc f;
    std::memset(&f, 0, sizeof(f));
    InitRgb24Format(&f);
    ASSERT_EQ(0, AllocImageInFormat(4, 2, &f, &rgb.r));
    std::memset(rgb.r.pixels, 0x33, 24);
    K_BITMAPINFO info;
    void *bits = nullptr;
    EXPECT_EQ(0, ConvertImageToDib(&rgb.r, &info, &bits, 0, 0));
    EXPECT_EQ(rgb.r.pixels, bits);
    EXPECT_EQ(-2, info.bmiHeader.biHeight);
    EXPECT_EQ(24, info.bmiHeader.biBitCount);
    EXPECT_EQ(1, ConvertImageToDib(&rgb.r, &info, &bits, 1, 0));
    EXPECT_NE(rgb.r.pixels, bits);
    TrackedFree(bits);

    Image argb;
    AllocArgb32Image(3, 1, &argb.r);
    argb.Fill(0x80102030);
    EXPECT_EQ(1, ConvertImageToDib(&argb.r, &info, &bits, 0, 0));
    const uint8_t expected[9] = {0x30, 0x20, 0x10, 0x30, 0x20, 0x10, 0x30, 0x20, 0x10};
    EXPECT_EQ(0, std::memcmp(expected, bits, 9));
    TrackedFree(bits);
}

TEST(DibImport, TopDownDibSharesTheCallersBits)
{
    K_BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = -2;
    info.bmiHeader.biBitCount = 24;
    uint8_t bits[16] = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    RasterImage image;
    EXPECT_EQ(0, ImportDibToImage(&info, bits, &image, 0));
    EXPECT_EQ(bits, image.pixels);
    EXPECT_EQ(8, image.pitch);
    EXPECT_EQ(1, ImportDibToImage(&info, bits, &image, 1));
    EXPECT_NE(bits, image.pixels);
    EXPECT_EQ(0, std::memcmp(bits, image.pixels, 16));
    FreeImageRecord(&image);
    info.bmiHeader.biBitCount = 32;
    EXPECT_EQ(-1, ImportDibToImage(&info, bits, &image, 0));
}

TEST(SoftImageKind, RegistersOnceAndFreesImagesOnDelete)
{
    EXPECT_EQ(-1, TermSoftImageHandleType());
    ASSERT_EQ(0, InitSoftImageHandleType());
    EXPECT_EQ(-1, InitSoftImageHandleType());
    HandleValue handle = CreateHandleRecord(kSoftImageHandleKind, -1);
    ASSERT_NE(-1, handle);
    SoftImageItem *item = (SoftImageItem *)LookupHandleRecord(handle);
    ASSERT_NE(nullptr, item);
    ASSERT_EQ(0, AllocArgb32Image(8, 8, &item->image));
    EXPECT_EQ(0, DeleteAllSoftImageHandles());
    EXPECT_EQ(nullptr, LookupHandleRecord(handle));
    EXPECT_EQ(0, TermSoftImageHandleType());
}

} // namespace

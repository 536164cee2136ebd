// MEMIMG creation, views, release, raw fills and run tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "softraster/draw_state.h"
#include "softraster/memimg.h"

using namespace Korvo;

namespace {

TEST(MemImgAllocate, PitchAndItsLog2)
{
    MEMIMG a{}, b{}, c{};
    ASSERT_EQ(AllocateMemImg(&a, 800, 600, -1, 0, MEMIMG_KIND_XRGB32, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(a.body->pitch, 3200);
    EXPECT_EQ(a.body->pitchLog2, -1);
    ASSERT_EQ(AllocateMemImg(&b, 256, 256, -1, 0, MEMIMG_KIND_RGB565, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(b.body->pitch, 512);
    EXPECT_EQ(b.body->pitchLog2, 9);
    ASSERT_EQ(AllocateMemImg(&c, 4, 4, -1, 0, MEMIMG_KIND_XRGB32, 1, 0, 0, nullptr), 0);
    EXPECT_EQ(c.body->pitch, 16);
    EXPECT_EQ(c.body->pitchLog2, -1);
    DisposeMemImg(&a);
    DisposeMemImg(&b);
    DisposeMemImg(&c);
}

TEST(MemImgAllocate, FlagsAreNormalised)
{
    MEMIMG a{}, b{}, g{};
    ASSERT_EQ(AllocateMemImg(&a, 3, 2, -1, 0, MEMIMG_KIND_RGB565, 0, 1, 0, nullptr), 0);
    EXPECT_EQ(MemImgBytesPerPixel(a.body), 4);
    ASSERT_EQ(AllocateMemImg(&b, 3, 2, -1, 0, MEMIMG_KIND_RGB565, 1, 1, 0, nullptr), 0);
    EXPECT_EQ(b.body->hasPalette, 1);
    EXPECT_EQ(b.body->hasAlpha, 0);
    ASSERT_NE(b.body->paletteBlock, nullptr);
    EXPECT_EQ(b.body->paletteCopy, b.body->paletteBlock + 1024);
    ASSERT_EQ(AllocateMemImg(&g, 3, 2, -1, 0, MEMIMG_KIND_GRAY8, 1, 1, 1, nullptr), 0);
    EXPECT_EQ(g.body->hasPalette + g.body->hasAlpha, 0);
    EXPECT_EQ(g.body->runTable, nullptr);
    EXPECT_EQ(AllocateMemImg(&a, 3, 2, -1, 0, MEMIMG_KIND_RGB565, 0, 0, 0, nullptr), -1);   // already valid
    DisposeMemImg(&a);
    DisposeMemImg(&b);
    DisposeMemImg(&g);
}

TEST(MemImgViews, SubViewsShareTheBodyUntilTheLastDispose)
{
    MEMIMG whole{}, piece{}, outside{};
    ASSERT_EQ(AllocateMemImg(&whole, 8, 6, -1, 0, MEMIMG_KIND_XRGB32, 0, 1, 1, nullptr), 0);
    CreateMemImgSubView(&outside, &whole, 5, 2, 4, 2);   // reaches past the right edge
    EXPECT_EQ(outside.validMark, 0);
    EXPECT_EQ(whole.body->referenceCount, 1);
    CreateMemImgSubView(&piece, &whole, 4, 2, 4, 4);     // fits exactly
    ASSERT_EQ(IsMemImgValid(&piece), 1);
    EXPECT_EQ(whole.body->referenceCount, 2);
    EXPECT_EQ(piece.pixels, whole.pixels + 2 * whole.body->pitch + 16);
    EXPECT_EQ(piece.premultiplied, whole.premultiplied + 2 * whole.body->pitch + 16);
    MemImgBody *body = whole.body;
    DisposeMemImg(&whole);
    EXPECT_EQ(IsMemImgValid(&whole), 0);
    EXPECT_EQ(body->referenceCount, 1);
    FillMemImgRectRaw(&piece, nullptr, 0x11223344);   // the buffers are still alive
    DisposeMemImg(&piece);
    DisposeMemImg(&piece);   // a second dispose of an ended view does nothing
    EXPECT_EQ(piece.body, nullptr);
}

TEST(MemImgFill, ClipsToTheViewAndWritesTheLowBytes)
{
    std::vector<uint8_t> buffer(4 * 16, 0xEE);
    MEMIMG image{};
    ASSERT_EQ(AllocateMemImg(&image, 3, 4, 16, 0, MEMIMG_KIND_RGB565, 0, 0, 0, buffer.data()), 0);
    RECT outside = {10, 10, 20, 20};
    FillMemImgRectRaw(&image, &outside, 0x1234);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xEE), 64);
    RECT r = {-5, 1, 2, 3};
    FillMemImgRectRaw(&image, &r, 0xABCD1234);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = y >= 1 && y < 3 && x < 4;
            EXPECT_EQ(buffer[y * 16 + x], inside ? (x % 2 ? 0x12 : 0x34) : 0xEE) << x << "," << y;
        }
    DisposeMemImg(&image);
    EXPECT_EQ(buffer[0], 0xEE);   // caller-owned pixels survive the dispose
}

// Run-table bytes of row 0.
std::vector<uint8_t> FirstRowCodes(const MEMIMG &image)
{
    std::vector<uint8_t> codes;
    for (const uint8_t *p = image.body->runTable;; ++p) {
        codes.push_back(*p);
        if (*p >= 0xC0)
            return codes;
    }
}

TEST(MemImgRunTable, RowsOfRunsUpTo64Pixels)
{
    MEMIMG palette{};
    ASSERT_EQ(AllocateMemImg(&palette, 70, 2, -1, 9, MEMIMG_KIND_XRGB32, 1, 0, 1, nullptr), 0);
    std::memset(palette.pixels, 9, static_cast<size_t>(palette.body->pitch * 2));
    BuildMemImgRunTable(&palette);
    EXPECT_EQ(palette.body->runTableValid, 1);
    EXPECT_EQ(FirstRowCodes(palette), (std::vector<uint8_t>{0x3F, 0x05, 0xC0}));

    MEMIMG alpha{};
    ASSERT_EQ(AllocateMemImg(&alpha, 5, 1, -1, 0, MEMIMG_KIND_XRGB32, 0, 1, 1, nullptr), 0);
    const uint8_t alphas[] = {0, 0, 255, 128, 128};
    for (int x = 0; x < 5; ++x) {
        uint32_t v = 0x00804020u | static_cast<uint32_t>(alphas[x]) << 24;
        std::memcpy(alpha.pixels + 4 * x, &v, 4);
    }
    BuildMemImgRunTable(&alpha);
    EXPECT_EQ(FirstRowCodes(alpha), (std::vector<uint8_t>{0x01, 0x40, 0x81, 0xC0}));
    EXPECT_EQ(alpha.body->premultipliedValid, 1);
    // Premultiplied pixel of alpha 128: each byte * 128 >> 8, alpha kept.
    EXPECT_EQ(alpha.premultiplied[12], 0x20 * 128 >> 8);
    EXPECT_EQ(alpha.premultiplied[14], 0x80 * 128 >> 8);
    EXPECT_EQ(alpha.premultiplied[15], 128);

    // Drawing into the image makes its table stale.
    FillMemImgRectRaw(&alpha, nullptr, 0);
    EXPECT_EQ(alpha.body->runTableValid, 0);
    DisposeMemImg(&palette);
    DisposeMemImg(&alpha);
}

TEST(MemImgScreen, UsesTheDefaultKind)
{
    SetMemImgDefaultScreenKind(MEMIMG_KIND_RGB565);
    MEMIMG screen;
    std::memset(&screen, 0x5A, sizeof(screen));   // garbage is cleared first
    ASSERT_EQ(CreateScreenMemImg(&screen, 10, 3, -1), 0);
    EXPECT_EQ(screen.body->pixelKind, MEMIMG_KIND_RGB565);
    EXPECT_EQ(screen.body->pitch, 32);
    EXPECT_EQ(screen.body->runTable, nullptr);
    DisposeMemImg(&screen);
}

}  // namespace

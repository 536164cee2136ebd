// BMP and TGA decoding of hand-built files, and refusal of damaged ones.
#include <gtest/gtest.h>

#include <cstring>

#include "image/image_loaders.h"
#include "image_samples.h"

using namespace Korvo;
using namespace ImageSamples;

namespace {

Bytes GreyTable(int entries)
{
    Bytes t;
    for (int i = 0; i < entries; i++) {
        uint8_t v = (uint8_t)(i * 255 / (entries - 1));
        t.insert(t.end(), {v, v, v, 0x77});
    }
    return t;
}

TEST(BmpDecode, BottomUp24BitComesOutTopDown)
{
    // 3x2, rows padded to 12 bytes; the file's first row is the image's last.
    Bytes data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
    Decoded d(MakeBmp(3, 2, 24, 0, Bytes(), data), DecodeBmpStream);
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(12, d.image.pitch);
    EXPECT_EQ(24, d.image.format.bitsPerPixel);
    EXPECT_EQ(11, d.PixelBytes(0, 0)[0]);
    EXPECT_EQ(19, d.PixelBytes(2, 0)[2]);
    EXPECT_EQ(1, d.PixelBytes(0, 1)[0]);
}

TEST(BmpDecode, TopDown32BitKeepsAlpha)
{
    Bytes data = {1, 2, 3, 4, 5, 6, 7, 8};
    Decoded d(MakeBmp(2, -1, 32, 0, Bytes(), data), DecodeBmpStream);
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(1, d.image.height);
    EXPECT_EQ(0xff000000u, d.image.format.maskA);
    EXPECT_EQ(0x08070605u, *(const uint32_t *)d.PixelBytes(1, 0));
}

TEST(BmpDecode, SmallEightBitFileWithShortPaletteLoads)
{
    Bytes data = {0, 1, 2, 3, 3, 2, 1, 0};  // 4x2, rows of 4 bytes
    Decoded d(MakeBmp(4, 2, 8, 0, GreyTable(4), data, 4), DecodeBmpStream);
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(1, d.image.format.bytesPerPixel);
    EXPECT_EQ(3, d.PixelBytes(0, 0)[0]);  // bottom-up: the file's second row first
    EXPECT_EQ(85, d.image.format.palette[1].red);
    EXPECT_EQ(0, d.image.format.palette[1].alpha);  // fourth bytes cleared
    EXPECT_EQ(0, d.image.format.palette[4].red);
}

TEST(BmpDecode, LongerInfoHeadersPutTheColourTableAfterThem)
{
    // A 108-byte header: the colour table starts at 14 + 108.
    Bytes file = MakeBmp(4, 1, 8, 0, Bytes(68, 0xEE), Bytes{1, 1, 1, 1});
    Bytes table = GreyTable(2);
    file.insert(file.begin() + 54 + 68, table.begin(), table.end());
    PutLe32(file, 14, 108);
    PutLe32(file, 10, 54 + 68 + 8);
    PutLe32(file, 46, 2);
    Decoded d(file, DecodeBmpStream);
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(255, d.image.format.palette[1].green);
    EXPECT_EQ(0, d.image.format.palette[2].green);
    EXPECT_EQ(1, d.PixelBytes(3, 0)[0]);
}

TEST(BmpDecode, FourBitBecomesOneBytePerPixel)
{
    Bytes data = {0x12, 0x3F, 0, 0, 0xAB, 0xC0, 0, 0};  // 3x2
    Decoded d(MakeBmp(3, -2, 4, 0, GreyTable(16), data), DecodeBmpStream);
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(4, d.image.pitch);
    const uint8_t row0[3] = {1, 2, 3}, row1[3] = {0xA, 0xB, 0xC};
    EXPECT_EQ(0, std::memcmp(row0, d.PixelBytes(0, 0), 3));
    EXPECT_EQ(0, std::memcmp(row1, d.PixelBytes(0, 1), 3));
    EXPECT_EQ(255, d.image.format.palette[15].green);
}

TEST(BmpDecode, Rle8RunsDeltasAbsoluteRunsAndAMissingEnd)
{
    // 6x4 bottom-up. Row 0 (bottom): 3x1, absolute 2 3 1, end of line.
    // Row 1: delta (2, 1) to row 2 x=2, then 2x7 -> row 2 pixels 2, 3; data end without 0, 1.
    Bytes rle = {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 2, 1, 2, 7};
    Decoded d(MakeBmp(6, 4, 8, 1, GreyTable(8), rle, 8), DecodeBmpStream);
    ASSERT_EQ(0, d.result);
    const uint8_t bottom[6] = {1, 1, 1, 2, 3, 1};
    EXPECT_EQ(0, std::memcmp(bottom, d.PixelBytes(0, 3), 6));
    const uint8_t third[6] = {0, 0, 7, 7, 0, 0};
    EXPECT_EQ(0, std::memcmp(third, d.PixelBytes(0, 1), 6));
    EXPECT_EQ(0, d.PixelBytes(0, 0)[0]);
}

TEST(BmpDecode, RleRunsNeverWritePastTheImage)
{
    // Runs and absolute runs longer than the row, deltas past the last row.
    Bytes rle = {255, 9, 0, 2, 200, 200, 255, 5, 0, 0, 0, 40};
    for (int i = 0; i < 40; i++)
        rle.push_back(6);
    Decoded d(MakeBmp(5, 3, 8, 1, GreyTable(16), rle, 16), DecodeBmpStream);
    ASSERT_EQ(0, d.result);
    for (int x = 0; x < 5; x++)
        EXPECT_EQ(9, d.PixelBytes(x, 2)[0]);

    Bytes rle4 = {7, 0x12, 0, 0, 0, 5, 0x34, 0x50, 0, 1};  // 5x2: 1 2 1 2 1 (2 dropped), then 3 4 5 ...
    Decoded d4(MakeBmp(5, 2, 4, 2, GreyTable(16), rle4, 16), DecodeBmpStream);
    ASSERT_EQ(0, d4.result);
    const uint8_t first[5] = {1, 2, 1, 2, 1}, second[5] = {3, 4, 5, 0, 0};
    EXPECT_EQ(0, std::memcmp(first, d4.PixelBytes(0, 1), 5));
    EXPECT_EQ(0, std::memcmp(second, d4.PixelBytes(0, 0), 5));
}

TEST(BmpDecode, BitFieldsAreReadOnEveryBuildAndLongerHeadersKeepTheirAlphaMask)
{
    struct Case {
        const char *what;
        uint32_t headerBytes;
        int bits;
        uint32_t masks[4];  // the fourth is written only into headers that hold it
        uint32_t pixel;
        int bytesPerPixel;
        uint8_t bgra[4];
    };
    const Case cases[] = {
        {"5-6-5 after a 40-byte header", 40, 16, {0xf800, 0x07e0, 0x001f, 0}, 0xfc08, 3, {65, 129, 255}},
        {"a word after a 40-byte header's masks is no alpha mask", 40, 32, {0xff0000, 0xff00, 0xff, 0xff000000},
         0x80402010, 3, {0x10, 0x20, 0x40}},
        {"8-8-8-8 with alpha in a 124-byte header", 124, 32, {0xff0000, 0xff00, 0xff, 0xff000000}, 0x80402010, 4,
         {0x10, 0x20, 0x40, 0x80}},
        {"4-4-4-4 with alpha in a 108-byte header", 108, 16, {0x0f00, 0x00f0, 0x000f, 0xf000}, 0x8f3c, 4,
         {204, 51, 255, 136}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // The masks, then the rest of a longer header; for a 40-byte header the
        // fourth word follows the masks as the first bytes of the pixel data would.
        Bytes table(c.headerBytes == 40 ? 16 : c.headerBytes - 40, 0);
        for (int i = 0; i < 4; i++)
            PutLe32(table, (size_t)i * 4, c.masks[i]);
        // 1x2 bottom-up: the file's second row is the image's first.
        Bytes data(8, 0);
        PutLe32(data, 4, c.pixel);
        Bytes file = MakeBmp(1, 2, c.bits, 3, table, data);
        PutLe32(file, 14, c.headerBytes);
        Decoded d(file, DecodeBmpStream);
        ASSERT_EQ(0, d.result);
        ASSERT_EQ(c.bytesPerPixel, d.image.format.bytesPerPixel);
        EXPECT_EQ(c.bytesPerPixel == 4 ? 0xff000000u : 0u, d.image.format.maskA);
        EXPECT_EQ(4, d.image.pitch);
        EXPECT_EQ(0, std::memcmp(c.bgra, d.PixelBytes(0, 0), (size_t)c.bytesPerPixel));
        EXPECT_EQ(0, d.PixelBytes(0, 1)[c.bytesPerPixel - 1]);
    }
}

TEST(BmpDecode, TruncatedOrLyingFilesAreRefused)
{
    Bytes data(12 * 4, 0x40);
    Bytes file = MakeBmp(3, 4, 24, 0, Bytes(), data);
    file.resize(file.size() - 5);
    EXPECT_EQ(-1, Decoded(file, DecodeBmpStream).result);
    Bytes huge = MakeBmp(0x7fff0000, 4, 24, 0, Bytes(), data);
    EXPECT_EQ(-1, Decoded(huge, DecodeBmpStream).result);
    Bytes offset = MakeBmp(3, 4, 24, 0, Bytes(), data);
    PutLe32(offset, 10, 100000);
    EXPECT_EQ(-1, Decoded(offset, DecodeBmpStream).result);
    Bytes notBmp = MakeBmp(3, 4, 24, 0, Bytes(), data);
    notBmp[1] = 'X';
    EXPECT_EQ(-1, Decoded(notBmp, DecodeBmpStream).result);
}

TEST(TgaDecode, BottomUpTrueColourSwapsRows)
{
    const uint8_t h[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0};
    Bytes pixels;
    for (int i = 0; i < 18; i++)
        pixels.push_back((uint8_t)i);
    Decoded d(MakeTga(h, Bytes(), Bytes(), pixels, false), DecodeTgaStream);
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(9, d.image.pitch);
    EXPECT_EQ(9, d.PixelBytes(0, 0)[0]);
    EXPECT_EQ(0, d.PixelBytes(0, 1)[0]);
}

TEST(TgaDecode, RunLengthPacketsSkipTheImageIdAndStopAtTheFooter)
{
    const uint8_t h[18] = {4, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 32, 0x20};
    Bytes packets = {0x83, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 10, 11, 12};
    Decoded d(MakeTga(h, Bytes{'n', 'a', 'm', 'e'}, Bytes(), packets, true), DecodeTgaStream);
    ASSERT_EQ(0, d.result);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(0x04030201u, *(const uint32_t *)d.PixelBytes(i % 3, i / 3));
    EXPECT_EQ(0x0c0b0a09u, *(const uint32_t *)d.PixelBytes(2, 1));
    EXPECT_EQ(0xff000000u, d.image.format.maskA);
}

TEST(TgaDecode, ColourMappedWith24BitEntries)
{
    // Map entries 2..4, pixels index them; right-to-left, top-down.
    const uint8_t h[18] = {0, 1, 1, 2, 0, 3, 0, 24, 0, 0, 0, 0, 2, 0, 1, 0, 8, 0x30};
    Bytes map = {10, 11, 12, 20, 21, 22, 30, 31, 32};
    Decoded d(MakeTga(h, Bytes(), map, Bytes{2, 4}, false), DecodeTgaStream);
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(3, d.image.format.bytesPerPixel);
    EXPECT_EQ(30, d.PixelBytes(0, 0)[0]);
    EXPECT_EQ(12, d.PixelBytes(1, 0)[2]);
}

TEST(TgaDecode, TrueColourFileWithAColourMapStepsOverIt)
{
    const uint8_t h[18] = {0, 1, 2, 0, 0, 2, 0, 16, 0, 0, 0, 0, 1, 0, 1, 0, 16, 0x20};
    Decoded d(MakeTga(h, Bytes(), Bytes{9, 9, 9, 9}, Bytes{0x1f, 0x7c}, false), DecodeTgaStream);
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(0x7c1fu, *(const uint16_t *)d.PixelBytes(0, 0));
    EXPECT_EQ(0x8000u, d.image.format.unusedMask);
}

TEST(TgaDecode, RefusesBadHeadersAndShortData)
{
    uint8_t h[18] = {0, 0, 2, 0, 0, 0, 0, 0, 5, 0, 0, 0, 1, 0, 1, 0, 24, 0x20};
    EXPECT_EQ(-1, Decoded(MakeTga(h, Bytes(), Bytes(), Bytes{1, 2, 3}, false), DecodeTgaStream).result);
    h[8] = 0;
    h[2] = 3;  // grey
    EXPECT_EQ(-1, Decoded(MakeTga(h, Bytes(), Bytes(), Bytes{1, 2, 3}, false), DecodeTgaStream).result);
    h[2] = 2;
    EXPECT_EQ(-1, Decoded(MakeTga(h, Bytes(), Bytes(), Bytes{1, 2}, false), DecodeTgaStream).result);
    // A colour map that would run past 256 entries.
    const uint8_t mapped[18] = {0, 1, 1, 0xff, 0, 2, 0, 24, 0, 0, 0, 0, 1, 0, 1, 0, 8, 0x20};
    EXPECT_EQ(-1, Decoded(MakeTga(mapped, Bytes(), Bytes(6, 1), Bytes{0}, false), DecodeTgaStream).result);
    // Run-length data that end early.
    const uint8_t rle[18] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0x20};
    EXPECT_EQ(-1, Decoded(MakeTga(rle, Bytes(), Bytes(), Bytes{0x8f, 1, 2}, false), DecodeTgaStream).result);
}

} // namespace

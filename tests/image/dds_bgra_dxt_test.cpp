// Raw BGRA and DDS decoding and DXT expansion.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "image/image_loaders.h"
#include "image_samples.h"

using namespace Korvo;
using namespace ImageSamples;

namespace {

const uint32_t kNoMasks[4] = {0, 0, 0, 0};

Bytes Dxt1Block(uint16_t c0, uint16_t c1, uint32_t indices)
{
    Bytes b(8);
    PutLe16(b, 0, c0);
    PutLe16(b, 2, c1);
    PutLe32(b, 4, indices);
    return b;
}

TEST(BgraDecode, WideChannelsKeepTheirHighBytes)
{
    Bytes pixel = {0xff, 0x12, 0x00, 0x34, 0x01, 0x56, 0xff, 0xff};
    Decoded d(MakeBgra(1, 1, true, pixel), DecodeRawBgraStream);
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(0xff563412u, d.Pixel32(0, 0));
    EXPECT_EQ(0xff000000u, d.image.format.maskA);
    Decoded narrow(MakeBgra(2, 1, false, Bytes{1, 2, 3, 4, 5, 6, 7, 8}), DecodeRawBgraStream);
    ASSERT_EQ(0, narrow.result);
    EXPECT_EQ(0x08070605u, narrow.Pixel32(1, 0));
    EXPECT_EQ(8, narrow.image.pitch);
}

TEST(BgraDecode, RefusesShortOrOversizedFiles)
{
    EXPECT_EQ(-1, Decoded(MakeBgra(2, 2, false, Bytes(15, 0)), DecodeRawBgraStream).result);
    EXPECT_EQ(-1, Decoded(MakeBgra(0x40000000, 0x40000000, true, Bytes(64, 0)), DecodeRawBgraStream).result);
    Bytes bad = MakeBgra(1, 1, false, Bytes(4, 0));
    PutLe32(bad, 4, 0x08080810);
    EXPECT_EQ(-1, Decoded(bad, DecodeRawBgraStream).result);
}

TEST(DdsDecode, Dxt1StaysCompressedUntilExpanded)
{
    // Colour 0 (black) not above colour 1 (white): three-colour rule, index 3 transparent.
    Bytes block = Dxt1Block(0x0000, 0xffff, 0xE4E4E4E4);  // indices 0 1 2 3 per row
    Decoded d(MakeDds(4, 4, 0x1007, 0, 0, 4, "DXT1", 0, nullptr, 0x1000, block), DecodeDdsStream);
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(kBlockDxt1, d.image.format.blockFormat);
    EXPECT_EQ(0, d.image.pitch);
    EXPECT_EQ(8, CalcImagePixelDataBytes(&d.image));
    ASSERT_EQ(0, ExpandDxtImageToArgb32(&d.image));
    EXPECT_EQ(kBlockPlain, d.image.format.blockFormat);
    EXPECT_EQ(16, d.image.pitch);
    EXPECT_EQ(0xff000000u, d.Pixel32(0, 0));
    EXPECT_EQ(0xffffffffu, d.Pixel32(1, 0));
    EXPECT_EQ(0xff7f7f7fu, d.Pixel32(2, 0));
    EXPECT_EQ(0x007f7f7fu, d.Pixel32(3, 0));  // transparent, keeping the average colour
}

TEST(DdsDecode, ABlockRecordWithoutBlocksIsRefusedAndLeftAsItIs)
{
    RasterImage image = {};
    image.width = 8;
    image.height = 4;
    image.format.blockFormat = kBlockDxt5;
    EXPECT_EQ(-1, ExpandDxtImageToArgb32(&image));
    EXPECT_EQ(kBlockDxt5, image.format.blockFormat);
    EXPECT_EQ(nullptr, image.pixels);
}

TEST(DdsDecode, Dxt5AlphaInterpolation)
{
    Bytes block(16, 0);
    block[0] = 255;
    block[1] = 0;
    // Alpha indices: pixel 0 -> 2, pixel 1 -> 3 (3-bit fields, lowest first).
    block[2] = 2 | (3 << 3);
    Bytes colour = Dxt1Block(0xffff, 0x0000, 0);
    std::copy(colour.begin(), colour.end(), block.begin() + 8);
    Decoded d(MakeDds(4, 4, 0x1007, 0, 0, 4, "DXT5", 0, nullptr, 0x1000, block), DecodeDdsStream);
    ASSERT_EQ(0, d.result);
    ASSERT_EQ(0, ExpandDxtImageToArgb32(&d.image));
    EXPECT_EQ(218u, d.Pixel32(0, 0) >> 24);
    EXPECT_EQ(182u, d.Pixel32(1, 0) >> 24);
    EXPECT_EQ(255u, d.Pixel32(2, 0) >> 24);
}

TEST(DdsDecode, PremultipliedColoursAreClampedAndPartialBlocksFilled)
{
    // DXT2: alpha 1/15 (17) everywhere, white colour: 255 * 255 / 17 would exceed 255.
    Bytes block(16, 0x11);
    Bytes colour = Dxt1Block(0xffff, 0xffff, 0);
    std::copy(colour.begin(), colour.end(), block.begin() + 8);
    Bytes two = block;
    two.insert(two.end(), block.begin(), block.end());
    // A 6x3 image needs two blocks; every pixel must be written.
    Decoded d(MakeDds(6, 3, 0x1007, 0, 0, 4, "DXT2", 0, nullptr, 0x1000, two), DecodeDdsStream);
    ASSERT_EQ(0, d.result);
    ASSERT_EQ(0, ExpandDxtImageToArgb32(&d.image));
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 6; x++)
            ASSERT_EQ(0x11ffffffu, d.Pixel32(x, y)) << x << "," << y;
}

TEST(DdsDecode, MipLevelsAreReadWholeAndCollapseOnExpansion)
{
    // 8x8 DXT3 with 4 levels: 64 + 16 + 16 + 16 bytes.
    Bytes data(112, 0);
    Decoded d(MakeDds(8, 8, 0x21007, 0, 4, 4, "DXT3", 0, nullptr, 0x401008, data), DecodeDdsStream);
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(4, d.image.mipLevelCount);
    EXPECT_EQ(112, CalcImagePixelDataBytes(&d.image));
    ExpandDxtImageToArgb32(&d.image);
    EXPECT_EQ(0, d.image.mipLevelCount);
    EXPECT_EQ(256, CalcImagePixelDataBytes(&d.image));
    data.resize(100);
    EXPECT_EQ(-1, Decoded(MakeDds(8, 8, 0x21007, 0, 4, 4, "DXT3", 0, nullptr, 0x401008, data), DecodeDdsStream).result);
}

TEST(DdsDecode, FormatCodeRowsFollowTheHeaderBitCount)
{
    // Code 21 is 32-bit; the header's bit count sets the row (a count too small for the pixels falls back).
    const struct {
        uint32_t bits;
        int pitch;
    } cases[] = {{64, 16}, {32, 8}, {0, 8}, {24, 8}};
    for (const auto &c : cases) {
        Bytes file = MakeDds(2, 2, 0x1007, 0, 0, 4, nullptr, c.bits, kNoMasks, 0x1000, Bytes(32, 0x5a));
        PutLe32(file, 84, 21);
        Decoded d(file, DecodeDdsStream);
        ASSERT_EQ(0, d.result) << c.bits;
        EXPECT_EQ(c.pitch, d.image.pitch) << c.bits;
    }
}

TEST(DdsDecode, PlainMipLevelsAreReadAsStoredAndSizedWithTheFloor)
{
    // 4x4 8-bit with 3 levels: the file holds 16 + 4 + 1 bytes; the image measures 16 + 8 + 8.
    const uint32_t masks332[4] = {0xe0, 0x1c, 0x3, 0};
    Bytes data(21, 0x77);
    Decoded d(MakeDds(4, 4, 0x21007, 0, 3, 0x40, nullptr, 8, masks332, 0x401008, data), DecodeDdsStream);
    ASSERT_EQ(0, d.result);
    ASSERT_EQ(32, CalcImagePixelDataBytes(&d.image));
    const uint8_t *p = (const uint8_t *)d.image.pixels;
    EXPECT_EQ(0x77, p[20]);
    EXPECT_EQ(0, p[31]);
    // A DXT1 16x4 image with 3 levels reads 32 + 8 + 8 bytes.
    Decoded dxt(MakeDds(16, 4, 0x21007, 0, 3, 4, "DXT1", 0, nullptr, 0x401008, Bytes(48, 1)), DecodeDdsStream);
    ASSERT_EQ(0, dxt.result);
    EXPECT_EQ(48, CalcImagePixelDataBytes(&dxt.image));
}

TEST(DdsDecode, FormatCodesAndMasks)
{
    uint32_t code21 = 21;
    Bytes header = MakeDds(3, 2, 0x1007, 0, 0, 4, nullptr, 32, kNoMasks, 0x1000, Bytes(24, 0x5a));
    PutLe32(header, 84, code21);
    Decoded d(header, DecodeDdsStream);
    ASSERT_EQ(0, d.result);
    EXPECT_EQ(12, d.image.pitch);
    EXPECT_EQ(0xff000000u, d.image.format.maskA);
    EXPECT_EQ(24, d.image.format.shiftA);

    const uint32_t masks565[4] = {0xf800, 0x7e0, 0x1f, 0};
    Decoded rgb(MakeDds(2, 2, 0x100f, 6, 0, 0x40, nullptr, 16, masks565, 0x1000, Bytes(12, 1)), DecodeDdsStream);
    ASSERT_EQ(0, rgb.result);
    EXPECT_EQ(6, rgb.image.pitch);
    EXPECT_EQ(6, rgb.image.format.widthG);

    EXPECT_EQ(-1, Decoded(MakeDds(2, 2, 0x1007, 0, 0, 4, "ABCD", 0, nullptr, 0x1000, Bytes(64, 0)), DecodeDdsStream).result);
    // A pitch shorter than a row is refused.
    EXPECT_EQ(-1, Decoded(MakeDds(2, 2, 0x100f, 2, 0, 0x40, nullptr, 16, masks565, 0x1000, Bytes(12, 1)), DecodeDdsStream).result);
    // Pixel data shorter than announced are refused.
    EXPECT_EQ(-1, Decoded(MakeDds(2, 2, 0x1007, 0, 0, 0x40, nullptr, 16, masks565, 0x1000, Bytes(7, 1)), DecodeDdsStream).result);
}

// A DXT image left red (columns 0-31), right blue, green added in every other
// block row, and each row inside a block at its own level (index = row: the
// colour, black, two thirds and one third of it); still block-compressed.
Bytes HalvedDxtFile(const char *fourCC, int width, int height)
{
    bool dxt1 = std::strcmp(fourCC, "DXT1") == 0;
    Bytes data;
    for (int by = 0; by < (height + 3) / 4; by++) {
        for (int bx = 0; bx < (width + 3) / 4; bx++) {
            if (!dxt1) {
                Bytes opaque = {255, 255, 0, 0, 0, 0, 0, 0};  // both alphas 255, every index 0
                data.insert(data.end(), opaque.begin(), opaque.end());
            }
            uint16_t colour = (bx < 8 ? 0xf800 : 0x001f) | (by % 2 == 1 ? 0x07e0 : 0);
            Bytes block = Dxt1Block(colour, 0x0000, 0xFFAA5500);
            data.insert(data.end(), block.begin(), block.end());
        }
    }
    return MakeDds(width, height, 0x1007, 0, 0, 4, fourCC, 0, nullptr, 0x1000, data);
}

// The pixel HalvedDxtFile stores at (x, y), by the published four-colour rule.
uint32_t HalvedDxtPixel(int x, int y)
{
    const uint32_t levels[4] = {255, 0, 170, 85};
    const uint32_t v = levels[y % 4];
    const uint32_t green = (y / 4) % 2 == 1 ? v : 0;
    return 0xff000000u | (x < 32 ? v << 16 : v) | green << 8;
}

TEST(DdsDecode, PixelReadsAndMirroringOfBlockCompressedImagesStayInsideTheBlocks)
{
    struct Case {
        const char *fourCC;
        int width, height;
    };
    const Case cases[] = {{"DXT1", 64, 4}, {"DXT1", 64, 8}, {"DXT5", 64, 4}, {"DXT5", 62, 6}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.fourCC) + " " + std::to_string(c.width) + "x" + std::to_string(c.height));
        Decoded d(HalvedDxtFile(c.fourCC, c.width, c.height), DecodeDdsStream);
        ASSERT_EQ(0, d.result);
        for (int y = 0; y < c.height; y++) {
            for (int x = 0; x < c.width; x++)
                ASSERT_EQ(HalvedDxtPixel(x, y), ReadImagePixelAsArgb(&d.image, x, y)) << x << "," << y;
        }
        EXPECT_EQ(0u, ReadImagePixelAsArgb(&d.image, c.width, 0));
        EXPECT_EQ(0u, ReadImagePixelAsArgb(&d.image, 0, c.height));
        EXPECT_NE(kBlockPlain, d.image.format.blockFormat) << "reading leaves the blocks as they are";

        ASSERT_EQ(0, MirrorImageLeftRight(&d.image));
        ASSERT_EQ(kBlockPlain, d.image.format.blockFormat);
        for (int y = 0; y < c.height; y++) {
            for (int x = 0; x < c.width; x++)
                ASSERT_EQ(HalvedDxtPixel(c.width - 1 - x, y), d.Pixel32(x, y)) << x << "," << y;
        }
    }
}

} // namespace

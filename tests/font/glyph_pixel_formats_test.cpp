// Cache pixels: the texel of each coverage level in the 1-bit, 16-level and
// 64-level textures, and what a software target receives for each memory-cache
// value of every font type, the expected values worked out by hand.

#include "font/font_record.h"

#include <gtest/gtest.h>

using namespace Korvo;

namespace {

ColorFormatDesc FormatOf(uint32_t a, uint32_t r, uint32_t g, uint32_t b, int shiftA, int widthA)
{
    ColorFormatDesc format = {};
    format.maskA = a;
    format.maskR = r;
    format.maskG = g;
    format.maskB = b;
    format.shiftA = static_cast<uint8_t>(shiftA);
    format.widthA = static_cast<uint8_t>(widthA);
    return format;
}

TEST(GlyphPixels, CacheTexelsAreWhiteWithTheLevelsAlpha)
{
    const ColorFormatDesc argb4444 = FormatOf(0xF000, 0x0F00, 0x00F0, 0x000F, 12, 4);
    const ColorFormatDesc argb8888 = FormatOf(0xFF000000, 0xFF0000, 0xFF00, 0xFF, 24, 8);
    const ColorFormatDesc argb1555 = FormatOf(0x8000, 0x7C00, 0x03E0, 0x001F, 15, 1);
    struct Case {
        const ColorFormatDesc *format;
        int range, level;
        uint32_t texel;
    } cases[] = {
        {&argb1555, 1, 0, 0x7FFF},      {&argb1555, 1, 1, 0xFFFF},
        {&argb4444, 16, 0, 0x0FFF},     {&argb4444, 16, 1, 0x0FFF},     // v x 4096 - 1
        {&argb4444, 16, 8, 0x7FFF},     {&argb4444, 16, 16, 0xFFFF},
        {&argb8888, 64, 0, 0x00FFFFFF}, {&argb8888, 64, 1, 0x00FFFFFF}, // (v - 1) << 26
        {&argb8888, 64, 33, 0x80FFFFFF}, {&argb8888, 64, 64, 0xFCFFFFFF},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(CacheTexelOfLevel(*c.format, c.level, c.range), c.texel) << "range " << c.range << ", level "
                                                                          << c.level;
    }
}

TEST(GlyphPixels, TargetPixelsOfEveryFontType)
{
    // 32 bits: c = 0xFF8040, k = 0x102030. 16 bits (R5G6B5): c red, k blue. 8 bits: low bytes.
    const uint32_t c32 = 0xFF8040, k32 = 0x102030, c16 = 0xF800, k16 = 0x001F;
    struct Case {
        int type, bits, value;
        bool writes;
        uint32_t pixel;
    } cases[] = {
        {0, 32, 0, false, 0},          {0, 32, 1, true, c32},
        {1, 32, 1, true, c32},         {1, 32, 2, true, k32},
        {2, 32, 15, true, 0xF0FF8040}, {18, 32, 8, true, 0x80FF8040}, {34, 32, 1, true, 0x10FF8040},
        {3, 32, 0x0F, true, 0xFFFF8040},  // glyph 15: the text colour, opaque
        {19, 32, 0xF0, true, 0xF0102030}, // edge only: the edge colour at 16 e
        // glyph 8, edge 15: A = 7 x 15 + 128 = 233, s = 32768 / 233 = 140, k + (c - k) x s / 256
        {35, 32, 0xF8, true, 0xE9925438},
        {3, 32, 0x00, false, 0},
        {0, 16, 1, true, c16},         {1, 16, 2, true, k16},
        {2, 16, 4, true, 0x0040F800},  // smoothed: 4-byte pixels, the alpha in the third byte
        {3, 16, 0xF8, true, 0x00E9800F}, // red 0 + 31 x 140 / 256 = 16, blue 31 - 31 x 140 / 256 = 15
        {1, 8, 1, true, 0x12},         {1, 8, 2, true, 0x34},
    };
    for (const Case &c : cases) {
        uint32_t text = c.bits == 32 ? c32 : (c.bits == 16 ? c16 : 0x12);
        uint32_t edge = c.bits == 32 ? k32 : (c.bits == 16 ? k16 : 0x34);
        uint32_t pixel = 0;
        EXPECT_EQ(TargetPixelOfCacheValue(c.type, c.bits, c.value, text, edge, &pixel), c.writes)
            << "type " << c.type << ", " << c.bits << " bits, value " << c.value;
        if (c.writes) {
            EXPECT_EQ(pixel, c.pixel) << "type " << c.type << ", " << c.bits << " bits, value " << c.value;
        }
    }
}

} // namespace

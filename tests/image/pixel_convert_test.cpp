// Pixel-format conversion: the fixed conversions against their formulas (MMX
// forced on and off), the per-channel rule with scaling and both dither modes,
// keys, alpha sources, mirroring and palette handling.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "image/pixel_convert.h"

using namespace Korvo;

namespace {

enum class Fmt { Pal, Gray, Rgb24, Xrgb32, Argb32, Rgb565, X555, A1555, A4444 };

ColorFormatDesc MakeFormat(Fmt fmt)
{
    ColorFormatDesc f;
    std::memset(&f, 0, sizeof(f));
    switch (fmt) {
    case Fmt::Pal:
        InitPaletteFormat(&f);
        for (int i = 0; i < 256; i++)
            f.palette[i] = PaletteEntry{(uint8_t)(i * 7), (uint8_t)(255 - i), (uint8_t)(i * 3 + 1), (uint8_t)(i & 1)};
        break;
    case Fmt::Gray:
        InitGray8Format(&f);
        break;
    case Fmt::Rgb24:
        InitRgb24Format(&f);
        break;
    case Fmt::Xrgb32:
        InitXrgb32Format(&f);
        break;
    case Fmt::Argb32:
        InitArgb32Format(&f);
        break;
    case Fmt::Rgb565:
        InitColorFormatFromMasks(&f, 16, 0xF800, 0x7E0, 0x1F, 0, 0, 0, 0);
        break;
    case Fmt::X555:
        InitColorFormatFromMasks(&f, 16, 0x7C00, 0x3E0, 0x1F, 0, 0, 0, 0);
        break;
    case Fmt::A1555:
        InitColorFormatFromMasks(&f, 16, 0x7C00, 0x3E0, 0x1F, 0x8000, 0, 0, 0);
        break;
    case Fmt::A4444:
        InitColorFormatFromMasks(&f, 16, 0xF00, 0xF0, 0xF, 0xF000, 0, 0, 0);
        break;
    }
    return f;
}

uint32_t LoadValue(const uint8_t *p, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; i++)
        v |= (uint32_t)p[i] << (8 * i);
    return v;
}

void StoreValue(uint8_t *p, int bytes, uint32_t v)
{
    for (int i = 0; i < bytes; i++)
        p[i] = (uint8_t)(v >> (8 * i));
}

uint32_t PaletteWord(const ColorFormatDesc &f, uint32_t index)
{
    const PaletteEntry &e = f.palette[index];
    return e.blue | (e.green << 8) | (e.red << 16) | ((uint32_t)e.alpha << 24);
}

// A source block of random pixels, converted into a destination with a guard border.
struct Conversion {
    int width = 13, height = 5;
    int left = 2, top = 1;      // source rectangle origin
    int dstX = 3, dstY = 2;
    ColorFormatDesc src, dst;
    std::vector<uint8_t> srcPixels, dstPixels;
    int srcPitch = 0, dstPitch = 0;

    Conversion(Fmt s, Fmt d, uint32_t seed) : src(MakeFormat(s)), dst(MakeFormat(d))
    {
        srcPitch = (left + width + 1) * src.bytesPerPixel + 3;
        dstPitch = (dstX + width + 2) * dst.bytesPerPixel + 1;
        srcPixels.resize((size_t)srcPitch * (top + height + 1));
        dstPixels.assign((size_t)dstPitch * (dstY + height + 1), 0xA5);
        std::mt19937 rng(seed);
        for (auto &b : srcPixels)
            b = (uint8_t)rng();
    }
    uint32_t Source(int x, int y) const
    {
        return LoadValue(&srcPixels[(size_t)(top + y) * srcPitch + (size_t)(left + x) * src.bytesPerPixel],
                         src.bytesPerPixel);
    }
    uint32_t Dest(int x, int y) const
    {
        return LoadValue(&dstPixels[(size_t)(dstY + y) * dstPitch + (size_t)(dstX + x) * dst.bytesPerPixel],
                         dst.bytesPerPixel);
    }
    int Run(int keyToAlpha = 0, uint32_t key = 0, int dither = 0, int mirror = 0, int skipKey = 0,
            const uint8_t *alpha = nullptr, int alphaPitch = 0, const ColorFormatDesc *alphaFormat = nullptr)
    {
        RECT rect = {left, top, left + width, top + height};
        return ConvertPixelBlock(dstPixels.data(), dstPitch, &dst, srcPixels.data(), srcPitch, &src, alpha, alphaPitch,
                                 alphaFormat, dstX, dstY, &rect, mirror, keyToAlpha, key, dither, 0, 0, skipKey, 0);
    }
    // Bytes outside the written rectangle keep the fill.
    bool GuardIntact() const
    {
        for (int y = 0; y < (int)(dstPixels.size() / dstPitch); y++)
            for (int x = 0; x < dstPitch; x++) {
                bool inside = y >= dstY && y < dstY + height && x >= dstX * dst.bytesPerPixel &&
                              x < (dstX + width) * dst.bytesPerPixel;
                if (!inside && dstPixels[(size_t)y * dstPitch + x] != 0xA5)
                    return false;
            }
        return true;
    }
};

struct FixedCase {
    const char *name;
    Fmt src, dst;
    int keyToAlpha;
    std::function<uint32_t(const ColorFormatDesc &src, uint32_t value, uint32_t key)> expect;
};

uint32_t To565(uint32_t v)
{
    return (((v >> 16) & 0xff) >> 3) << 11 | (((v >> 8) & 0xff) >> 2) << 5 | ((v & 0xff) >> 3);
}
uint32_t To555(uint32_t v)
{
    return (((v >> 16) & 0xff) >> 3) << 10 | (((v >> 8) & 0xff) >> 3) << 5 | ((v & 0xff) >> 3);
}
uint32_t From565(uint32_t v)
{
    return ((v >> 11) & 0x1f) << 19 | ((v >> 5) & 0x3f) << 10 | (v & 0x1f) << 3;
}

const uint32_t kKey = 0x102030;

std::vector<FixedCase> FixedCases()
{
    return {
        {"PalTo565", Fmt::Pal, Fmt::Rgb565, 0, [](auto &s, uint32_t v, uint32_t) { return To565(PaletteWord(s, v)); }},
        {"PalTo555", Fmt::Pal, Fmt::X555, 0,
         [](auto &s, uint32_t v, uint32_t) { return To555(PaletteWord(s, v)) | 0x8000; }},
        {"PalToXrgb", Fmt::Pal, Fmt::Xrgb32, 0,
         [](auto &s, uint32_t v, uint32_t) { return PaletteWord(s, v) | 0xff000000u; }},
        {"Rgb24To565", Fmt::Rgb24, Fmt::Rgb565, 0, [](auto &, uint32_t v, uint32_t) { return To565(v); }},
        {"Rgb24To555", Fmt::Rgb24, Fmt::X555, 0, [](auto &, uint32_t v, uint32_t) { return To555(v) | 0x8000; }},
        {"Rgb24ToXrgb", Fmt::Rgb24, Fmt::Xrgb32, 0, [](auto &, uint32_t v, uint32_t) { return v | 0xff000000u; }},
        {"Rgb24ToArgb", Fmt::Rgb24, Fmt::Argb32, 0, [](auto &, uint32_t v, uint32_t) { return v | 0xff000000u; }},
        {"XrgbTo565", Fmt::Xrgb32, Fmt::Rgb565, 0, [](auto &, uint32_t v, uint32_t) { return To565(v); }},
        {"Rgb565To24", Fmt::Rgb565, Fmt::Rgb24, 0, [](auto &, uint32_t v, uint32_t) { return From565(v); }},
        {"Rgb565ToXrgb", Fmt::Rgb565, Fmt::Xrgb32, 0, [](auto &, uint32_t v, uint32_t) { return From565(v); }},
        {"Rgb565To555", Fmt::Rgb565, Fmt::X555, 0,
         [](auto &, uint32_t v, uint32_t) { return ((v & 0xffc0) >> 1) | (v & 0x1f); }},
        {"X555To565", Fmt::X555, Fmt::Rgb565, 0,
         [](auto &, uint32_t v, uint32_t) { return ((v & 0x7fe0) << 1) | (v & 0x3f); }},
        {"PalKeyToA1555", Fmt::Pal, Fmt::A1555, 1,
         [](auto &s, uint32_t v, uint32_t key) {
             uint32_t e = PaletteWord(s, v);
             return To555(e) | ((e & 0xffffff) != key ? 0x8000 : ((e >> 24) & 1) << 15);
         }},
        {"PalKeyToArgb", Fmt::Pal, Fmt::Argb32, 1,
         [](auto &s, uint32_t v, uint32_t key) {
             uint32_t e = PaletteWord(s, v);
             return (e & 0xffffff) != key ? (e | 0xff000000u) : e;
         }},
        {"Rgb24KeyToA1555", Fmt::Rgb24, Fmt::A1555, 1,
         [](auto &, uint32_t v, uint32_t key) { return To555(v) | (v != key ? 0x8000 : 0); }},
        {"Rgb24KeyToArgb", Fmt::Rgb24, Fmt::Argb32, 1,
         [](auto &, uint32_t v, uint32_t key) { return v | (v != key ? 0xff000000u : 0); }},
        {"Rgb565KeyToA1555", Fmt::Rgb565, Fmt::A1555, 1,
         [](auto &, uint32_t v, uint32_t key) {
             uint32_t v555 = ((v & 0xffc0) >> 1) | (v & 0x1f);
             return v555 | (v555 != To555(key) ? 0x8000 : 0);
         }},
        {"Rgb565KeyToArgb", Fmt::Rgb565, Fmt::Argb32, 1,
         [](auto &, uint32_t v, uint32_t key) {
             uint32_t v555 = ((v & 0xffc0) >> 1) | (v & 0x1f);
             return From565(v) | (v555 != To555(key) ? 0xff000000u : 0);
         }},
    };
}

class FixedConversionTest : public ::testing::TestWithParam<std::tuple<FixedCase, int>> {
protected:
    void TearDown() override { SetPixelConvertMmxMode(-1); }
};

TEST_P(FixedConversionTest, MatchesItsFormulaWithAndWithoutMmx)
{
    const FixedCase &c = std::get<0>(GetParam());
    SetPixelConvertMmxMode(std::get<1>(GetParam()));
    Conversion conv(c.src, c.dst, 1234);
    // Plant the key in a few pixels so both alpha outcomes occur.
    uint32_t keyValue = kKey;
    if (c.src == Fmt::Rgb565)
        keyValue = To565(kKey);
    if (c.src == Fmt::Pal) {
        conv.src.palette[9] = PaletteEntry{0x30, 0x20, 0x10, 0};
        conv.src.palette[10] = PaletteEntry{0x30, 0x20, 0x10, 1};
    }
    for (int i = 0; i < 3; i++) {
        uint8_t *p = &conv.srcPixels[(size_t)(conv.top + i) * conv.srcPitch + (size_t)(conv.left + i * 2) * conv.src.bytesPerPixel];
        StoreValue(p, conv.src.bytesPerPixel, c.src == Fmt::Pal ? 9 + (i & 1) : keyValue);
    }
    ASSERT_EQ(0, conv.Run(c.keyToAlpha, kKey));
    for (int y = 0; y < conv.height; y++)
        for (int x = 0; x < conv.width; x++)
            ASSERT_EQ(c.expect(conv.src, conv.Source(x, y), kKey), conv.Dest(x, y)) << c.name << " at " << x << "," << y;
    EXPECT_TRUE(conv.GuardIntact());
}

INSTANTIATE_TEST_SUITE_P(FormatPairs, FixedConversionTest,
                         ::testing::Combine(::testing::ValuesIn(FixedCases()), ::testing::Values(0, 1)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Mmx" : "_Plain");
                         });

TEST(PixelConvert, MmxAndPlainFormsGiveIdenticalBytesOnEveryWidth)
{
    for (int width = 1; width <= 11; width++) {
        std::vector<uint8_t> results[2];
        for (int mmx = 0; mmx < 2; mmx++) {
            SetPixelConvertMmxMode(mmx);
            Conversion conv(Fmt::X555, Fmt::Rgb565, 77);
            conv.width = width;
            conv.Run();
            results[mmx] = conv.dstPixels;
        }
        EXPECT_EQ(results[0], results[1]) << "width " << width;
    }
    SetPixelConvertMmxMode(-1);
}

TEST(PixelConvert, EmptyRectangleIsRefused)
{
    Conversion conv(Fmt::Argb32, Fmt::Xrgb32, 1);
    conv.width = 0;
    EXPECT_EQ(-1, conv.Run());
    EXPECT_TRUE(conv.GuardIntact());
}

TEST(PixelConvert, ArgbIntoXrgbSetsTheUnusedByte)
{
    Conversion conv(Fmt::Argb32, Fmt::Xrgb32, 5);
    StoreValue(&conv.srcPixels[(size_t)conv.top * conv.srcPitch + conv.left * 4], 4, 0x80123456u);
    ASSERT_EQ(0, conv.Run());
    EXPECT_EQ(0xFF123456u, conv.Dest(0, 0));
    for (int x = 1; x < conv.width; x++)
        EXPECT_EQ(conv.Source(x, 0) | 0xff000000u, conv.Dest(x, 0));
}

TEST(PixelConvert, ScaledRuleExpandsWhileTheFastPathShifts)
{
    ColorFormatDesc s565 = MakeFormat(Fmt::Rgb565), argb = MakeFormat(Fmt::Argb32), xrgb = MakeFormat(Fmt::Xrgb32);
    ColorFormatDesc gray = MakeFormat(Fmt::Gray);
    uint16_t src[2] = {(uint16_t)(31 << 11 | 16), (uint16_t)(16 << 11 | 31)};
    uint8_t alpha[2] = {200, 7};
    uint32_t out[2] = {0, 0};
    RECT rect = {0, 0, 2, 1};
    ASSERT_EQ(0, ConvertPixelBlock(out, 8, &argb, src, 4, &s565, alpha, 2, &gray, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(0xC8FF0083u, out[0]);  // red 31 -> 255, blue 16 -> 131, alpha from the alpha image
    EXPECT_EQ(0x078300FFu, out[1]);
    ASSERT_EQ(0, ConvertPixelBlock(out, 8, &xrgb, src, 4, &s565, nullptr, 0, nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(0x00F80080u, out[0]);  // plain shifts, top byte 0
}

TEST(PixelConvert, AlphaImageFeedsOnlySourcesWithoutAlpha)
{
    ColorFormatDesc xrgb = MakeFormat(Fmt::Xrgb32), argb = MakeFormat(Fmt::Argb32), gray = MakeFormat(Fmt::Gray);
    uint32_t src[1] = {0x55112233u};
    uint8_t alpha[1] = {0x99};
    uint32_t out[1] = {0};
    RECT rect = {0, 0, 1, 1};
    ConvertPixelBlock(out, 4, &argb, src, 4, &xrgb, alpha, 1, &gray, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(0x99112233u, out[0]);
    ConvertPixelBlock(out, 4, &argb, src, 4, &argb, alpha, 1, &gray, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(0x55112233u, out[0]);
}

TEST(PixelConvert, KeyToAlphaNeedsADestinationAlpha)
{
    Conversion keyed(Fmt::Rgb24, Fmt::Xrgb32, 9);
    Conversion plain(Fmt::Rgb24, Fmt::Xrgb32, 9);
    StoreValue(&keyed.srcPixels[(size_t)keyed.top * keyed.srcPitch + keyed.left * 3], 3, kKey);
    StoreValue(&plain.srcPixels[(size_t)plain.top * plain.srcPitch + plain.left * 3], 3, kKey);
    keyed.Run(1, kKey);
    plain.Run(0, kKey);
    EXPECT_EQ(plain.dstPixels, keyed.dstPixels);
}

TEST(PixelConvert, SameLayoutSkipsKeyUnlessMirrored)
{
    Conversion skip(Fmt::Xrgb32, Fmt::Xrgb32, 11);
    uint32_t key = skip.Source(4, 2);
    skip.Run(0, key, 0, 0, 1);
    EXPECT_EQ(0xA5A5A5A5u, skip.Dest(4, 2));
    EXPECT_EQ(skip.Source(5, 2), skip.Dest(5, 2));

    Conversion mirrored(Fmt::Xrgb32, Fmt::Xrgb32, 11);
    mirrored.Run(0, key, 0, 1, 1);
    for (int y = 0; y < mirrored.height; y++)
        for (int x = 0; x < mirrored.width; x++)
            ASSERT_EQ(mirrored.Source(x, y), mirrored.Dest(mirrored.width - 1 - x, y));
    EXPECT_TRUE(mirrored.GuardIntact());
}

TEST(PixelConvert, XrgbToArgbSkippingKeyWritesOpaquePixels)
{
    Conversion conv(Fmt::Xrgb32, Fmt::Argb32, 21);
    uint32_t key = conv.Source(2, 1) & 0xffffff;
    conv.Run(0, key, 0, 0, 1);
    for (int y = 0; y < conv.height; y++)
        for (int x = 0; x < conv.width; x++) {
            uint32_t s = conv.Source(x, y) & 0xffffff;
            ASSERT_EQ(s == key ? 0xA5A5A5A5u : (s | 0xff000000u), conv.Dest(x, y));
        }
}

TEST(PixelConvert, KeyToAlphaOnTheSameColourLayout)
{
    Conversion conv(Fmt::Xrgb32, Fmt::Argb32, 31);
    StoreValue(&conv.srcPixels[(size_t)(conv.top + 1) * conv.srcPitch + (conv.left + 3) * 4], 4, 0x00102030u);
    conv.Run(1, kKey);
    EXPECT_EQ(0x00102030u, conv.Dest(3, 1));
    EXPECT_EQ((conv.Source(4, 1) & 0xffffff) | 0xff000000u, conv.Dest(4, 1));
}

// Independent reference of the reducing rule with dithering for 8888 -> 4444.
TEST(PixelConvert, DitherModesFollowTheMatrixAndTheCarriedRemainder)
{
    static const int bayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
    for (int mode = 0; mode <= 2; mode++) {
        Conversion conv(Fmt::Argb32, Fmt::A4444, 40 + mode);
        ASSERT_EQ(0, conv.Run(0, 0, mode));
        uint32_t remainder[4] = {0, 0, 0, 0};
        for (int y = 0; y < conv.height; y++)
            for (int x = 0; x < conv.width; x++) {
                uint32_t s = conv.Source(x, y);
                uint32_t expected = 0;
                for (int ch = 0; ch < 4; ch++) {
                    uint32_t v = (s >> (8 * ch)) & 0xff;
                    uint32_t out = v >> 4, dropped = v & 15;
                    if (mode == 1 && (uint32_t)bayer[(x & 3) + 4 * (y & 3)] < dropped)
                        out++;
                    if (mode == 2) {
                        remainder[ch] += dropped;
                        if (remainder[ch] > 15) {
                            out++;
                            remainder[ch] &= 15;
                        }
                    }
                    if (out > 15)
                        out = 15;
                    expected |= out << (4 * ch);
                }
                ASSERT_EQ(expected, conv.Dest(x, y)) << "mode " << mode << " at " << x << "," << y;
            }
    }
}

TEST(PixelConvert, DitherPatternStartsAtTheRectangleCorner)
{
    // Same source content at two rectangle origins gives the same output.
    Conversion a(Fmt::Argb32, Fmt::A4444, 50);
    Conversion b(Fmt::Argb32, Fmt::A4444, 50);
    b.left = 1;
    b.top = 3;
    b.srcPixels.resize((size_t)b.srcPitch * (b.top + b.height + 1));
    for (int y = 0; y < a.height; y++)
        std::memcpy(&b.srcPixels[(size_t)(b.top + y) * b.srcPitch + b.left * 4],
                    &a.srcPixels[(size_t)(a.top + y) * a.srcPitch + a.left * 4], (size_t)a.width * 4);
    a.Run(0, 0, 1);
    b.Run(0, 0, 1);
    EXPECT_EQ(a.dstPixels, b.dstPixels);
}

TEST(PixelConvert, PaletteRemapAndIndexCopy)
{
    ColorFormatDesc from = MakeFormat(Fmt::Gray), to = MakeFormat(Fmt::Gray);
    for (int i = 0; i < 256; i++)
        to.palette[i] = PaletteEntry{(uint8_t)(255 - i), (uint8_t)(255 - i), (uint8_t)(255 - i), 0};
    uint8_t src[4] = {0, 10, 200, 255};
    uint8_t dst[4] = {0, 0, 0, 0};
    RECT rect = {0, 0, 4, 1};
    EXPECT_EQ(0, ConvertPixelBlock(dst, 4, &to, src, 4, &from, nullptr, 0, nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 1));
    EXPECT_EQ(255, dst[0]);
    EXPECT_EQ(245, dst[1]);
    EXPECT_EQ(55, dst[2]);
    EXPECT_EQ(0, dst[3]);
    // Equal palettes: indices copied, the result is the largest index.
    uint8_t src2[4] = {3, 90, 17, 4};
    EXPECT_EQ(90, ConvertPixelBlock(dst, 4, &from, src2, 4, &from, nullptr, 0, nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 1));
    EXPECT_EQ(0, std::memcmp(dst, src2, 4));
}

TEST(PixelConvert, NarrowChannelsAreScaledBeforeThePaletteSearch)
{
    ColorFormatDesc gray = MakeFormat(Fmt::Gray), s565 = MakeFormat(Fmt::Rgb565);
    uint16_t src[2] = {0xFFFF, (uint16_t)(16 << 11 | 32 << 5 | 16)};
    uint8_t dst[2] = {0, 0};
    RECT rect = {0, 0, 2, 1};
    ConvertPixelBlock(dst, 2, &gray, src, 4, &s565, nullptr, 0, nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(255, dst[0]);
    EXPECT_EQ(130, dst[1]);  // 16/31 -> 131, 32/63 -> 129: nearest grey 130
}

TEST(PixelConvert, AlphaOnlyWithRedAsAlpha)
{
    ColorFormatDesc gray = MakeFormat(Fmt::Gray), argb = MakeFormat(Fmt::Argb32);
    uint8_t src[3] = {0, 128, 255};
    uint32_t dst[3] = {0, 0, 0};
    RECT rect = {0, 0, 3, 1};
    ConvertPixelBlock(dst, 12, &argb, src, 4, &gray, nullptr, 0, nullptr, 0, 0, &rect, 0, 0, 0, 0, 1, 1, 0, 0);
    EXPECT_EQ(0x00000000u, dst[0]);
    EXPECT_EQ(0x80000000u, dst[1]);
    EXPECT_EQ(0xFF000000u, dst[2]);
}

} // namespace

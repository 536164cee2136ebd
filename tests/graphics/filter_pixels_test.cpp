// The CPU routines of the graph filters and blends, on small ARGB images: the
// worked values, edge cases, and the Gauss blur against a plain reference.

#include "graphics/filters/filter_pixels.h"

#include "image/pixel_access.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace Korvo;

namespace {

// An ARGB image freed at the end of its scope.
struct TestImage {
    RasterImage image = {};
    TestImage(int w, int h, uint32_t fill = 0)
    {
        AllocArgb32Image(w, h, &image);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) Set(x, y, fill);
    }
    ~TestImage() { FreeImageRecord(&image); }
    uint32_t Get(int x, int y) const
    {
        uint32_t v;
        std::memcpy(&v, FilterPixelAt(image, x, y), 4);
        return v;
    }
    void Set(int x, int y, uint32_t argb) { std::memcpy(FilterPixelAt(image, x, y), &argb, 4); }
};

uint32_t Argb(int a, int r, int g, int b)
{
    return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
           static_cast<uint32_t>(b);
}

// A busy pattern with every channel varying.
void FillPattern(TestImage &t)
{
    for (int y = 0; y < t.image.height; ++y)
        for (int x = 0; x < t.image.width; ++x)
            t.Set(x, y, Argb((x * 37 + y * 11) & 255, (x * 13 + y * 7) & 255, (x * x + y * 3) & 255, (y * 29) & 255));
}

int Channel(uint32_t argb, int shift) { return static_cast<int>((argb >> shift) & 255); }

TEST(FilterPixelsTest, SinglePixelFiltersGiveTheirWorkedValues)
{
    struct Case {
        const char *name;
        uint32_t in;
        int (*run)(const RasterImage &, RasterImage &);
        uint32_t expected;
    } cases[] = {
        {"mono of white", Argb(255, 255, 255, 255), [](auto &s, auto &o) { return MonoPixels(s, o, 0, 0); },
         Argb(255, 254, 254, 254)},
        {"mono of black", Argb(7, 0, 0, 0), [](auto &s, auto &o) { return MonoPixels(s, o, 0, 0); }, Argb(7, 0, 0, 0)},
        {"mono blue tint", Argb(255, 128, 128, 128),
         [](auto &s, auto &o) { return MonoPixels(s, o, 100.0f * 255 / 255, 0); }, Argb(255, 127, 84, 255)},
        {"level full range", Argb(9, 255, 0, 128),
         [](auto &s, auto &o) { return LevelPixels(s, o, 0, 255, 1.0f, 0, 255); }, Argb(9, 254, 0, 127)},
        {"level output max below min", Argb(9, 255, 0, 128),
         [](auto &s, auto &o) { return LevelPixels(s, o, 0, 255, 1.0f, 200, 100); }, Argb(9, 100, 100, 100)},
        {"level empty range is a step", Argb(9, 101, 100, 99),
         [](auto &s, auto &o) { return LevelPixels(s, o, 100, 100, 1.0f, 0, 255); }, Argb(9, 254, 0, 0)},
        {"invert", Argb(77, 255, 0, 100), [](auto &s, auto &o) { return InvertPixels(s, o); },
         Argb(77, 0, 255, 155)},
        {"premultiplied opaque", Argb(255, 255, 1, 0), [](auto &s, auto &o) { return PremultiplyAlphaPixels(s, o); },
         Argb(255, 254, 0, 0)},
        {"premultiplied half", Argb(128, 200, 100, 50),
         [](auto &s, auto &o) { return PremultiplyAlphaPixels(s, o); }, Argb(128, 100, 50, 25)},
        {"hsb brightness 255 (integer white)", Argb(3, 10, 200, 60),
         [](auto &s, auto &o) { return HsbPixels(s, o, 0, 0, 0, 100); }, Argb(3, 254, 254, 254)},
        {"hsb brightness -255", Argb(3, 10, 200, 60),
         [](auto &s, auto &o) { return HsbPixels(s, o, 0, 0, 0, -100); }, Argb(3, 0, 0, 0)},
        {"hsb fixed hue 120 on grey keeps grey", Argb(3, 90, 90, 90),
         [](auto &s, auto &o) { return HsbPixels(s, o, 1, 120, 0, 0); }, Argb(3, 90, 90, 90)},
        {"two colour below", Argb(3, 10, 10, 10),
         [](auto &s, auto &o) { return TwoColorPixels(s, o, 128, (const float[4]){1, 0, 0, 0.5f}, (const float[4]){1, 1, 1, 1}); },
         Argb(127, 255, 0, 0)},
        {"two colour at threshold", Argb(3, 128, 128, 128),
         [](auto &s, auto &o) { return TwoColorPixels(s, o, 127, (const float[4]){1, 0, 0, 0.5f}, (const float[4]){1, 1, 1, 1}); },
         Argb(255, 255, 255, 255)},
    };
    for (const Case &c : cases) {
        TestImage in(1, 1, c.in), out(1, 1, 0xDEADBEEF);
        ASSERT_EQ(c.run(in.image, out.image), 0) << c.name;
        EXPECT_EQ(out.Get(0, 0), c.expected) << c.name << std::hex << " got " << out.Get(0, 0);
    }
}

TEST(FilterPixelsTest, FillColoursTakeTheCallersByteValuesExactly)
{
    for (int v = 0; v < 256; ++v) {
        const float colour[4] = {v / 255.0f, v / 255.0f, v / 255.0f, v / 255.0f};
        TestImage in(1, 1, Argb(0, 0, 0, 0)), out(1, 1);
        ASSERT_EQ(TwoColorPixels(in.image, out.image, 255, colour, colour), 0);
        ASSERT_EQ(out.Get(0, 0), Argb(v, v, v, v)) << v;
    }
}

TEST(FilterPixelsTest, HsbWithNoChangeReproducesTheImage)
{
    TestImage in(32, 32), out(32, 32);
    FillPattern(in);
    ASSERT_EQ(HsbPixels(in.image, out.image, 0, 0, 0, 0), 0);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            for (int shift : {0, 8, 16, 24})
                ASSERT_NEAR(Channel(out.Get(x, y), shift), Channel(in.Get(x, y), shift), 4) << x << "," << y;
}

TEST(FilterPixelsTest, BrightClipKeepsOrFillsByComparison)
{
    const float fill[4] = {0, 1, 0, 1};
    const uint32_t dark = Argb(255, 10, 10, 10), light = Argb(255, 250, 250, 250), dest = Argb(1, 2, 3, 4);
    struct Case {
        int comparison, fillFlag;
        uint32_t darkOut, lightOut;
    } cases[] = {
        {2, 0, dest, light},
        {5, 0, dark, dest},
        {2, 1, Argb(255, 0, 255, 0), light},
        {5, 1, dark, Argb(255, 0, 255, 0)},
    };
    for (const Case &c : cases) {
        TestImage in(2, 1), out(2, 1, dest);
        in.Set(0, 0, dark);
        in.Set(1, 0, light);
        ASSERT_EQ(BrightClipPixels(in.image, out.image, c.comparison, 128, c.fillFlag, fill), 0);
        EXPECT_EQ(out.Get(0, 0), c.darkOut) << c.comparison << c.fillFlag;
        EXPECT_EQ(out.Get(1, 0), c.lightOut) << c.comparison << c.fillFlag;
    }
    TestImage in(1, 1), out(1, 1);
    EXPECT_EQ(BrightClipPixels(in.image, out.image, 3, 128, 0, nullptr), -1) << "unknown comparison";
    EXPECT_EQ(BrightClipPixels(in.image, out.image, 2, 128, 1, nullptr), -1) << "fill without a colour";
}

TEST(FilterPixelsTest, DownScaleAveragesBlocksAndRefusesNonPositiveDivisors)
{
    const int divisors[][2] = {{-3, -1}, {0, -1}, {1, 2}, {2, 2}, {3, 4}, {4, 4}, {5, 8}, {100, 8}};
    for (const auto &d : divisors) EXPECT_EQ(DownScaleDivisor(d[0]), d[1]) << d[0];
    TestImage in(5, 5, Argb(255, 255, 255, 255)), out(2, 2);
    in.Set(0, 0, Argb(3, 0, 0, 0));
    ASSERT_EQ(DownScalePixels(in.image, out.image, 2), 0);
    EXPECT_EQ(out.Get(0, 0), Argb((3 + 765) >> 2, 765 >> 2, 765 >> 2, 765 >> 2));
    EXPECT_EQ(out.Get(1, 1), Argb(255, 255, 255, 255));
    EXPECT_EQ(DownScalePixels(in.image, out.image, 3), -1);
}

TEST(FilterPixelsTest, GradientTablesSampleTheFirstRow)
{
    TestImage wide(256, 2), narrow(2, 1);
    for (int x = 0; x < 256; ++x) wide.Set(x, 0, Argb(x, x, 255 - x, 7));
    narrow.Set(0, 0, Argb(1, 1, 1, 1));
    narrow.Set(1, 0, Argb(2, 2, 2, 2));
    uint32_t table[256];
    ASSERT_EQ(BuildGradientTable(wide.image, 0, table), 0);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(table[i], Argb(i, i, 255 - i, 7)) << i;
    ASSERT_EQ(BuildGradientTable(wide.image, 1, table), 0);
    EXPECT_EQ(table[0], Argb(255, 255, 0, 7));
    ASSERT_EQ(BuildGradientTable(narrow.image, 0, table), 0);
    EXPECT_EQ(table[127], Argb(1, 1, 1, 1));
    EXPECT_EQ(table[128], Argb(2, 2, 2, 2));
    TestImage in(1, 1, Argb(0, 255, 255, 255)), out(1, 1);
    ASSERT_EQ(GradientMapPixels(in.image, out.image, table), 0);
    EXPECT_EQ(out.Get(0, 0), table[254]) << "white has luminance 254, and the entry's alpha is taken";
}

TEST(FilterPixelsTest, LevelKeepsItsGammaTableForTinyChanges)
{
    TestImage in(1, 1, Argb(255, 100, 100, 100)), out(1, 1);
    ASSERT_EQ(LevelPixels(in.image, out.image, 0, 255, 2.0f, 0, 255), 0);
    const float built = LevelGammaCpu.gamma;
    ASSERT_EQ(LevelPixels(in.image, out.image, 0, 255, 2.0f + 0.00005f, 0, 255), 0);
    EXPECT_EQ(LevelGammaCpu.gamma, built);
    ASSERT_EQ(LevelPixels(in.image, out.image, 0, 255, 2.5f, 0, 255), 0);
    EXPECT_EQ(LevelGammaCpu.gamma, 2.5f);
}

// The blur written out plainly: clamped taps, the same fixed-point sums.
void ReferenceGauss(const TestImage &in, TestImage &out, int taps)
{
    int32_t w[16];
    for (int j = 0; j < taps; ++j) w[j] = static_cast<int32_t>(GaussWeights.weights[j] * 65536.0f);
    const int width = in.image.width, height = in.image.height;
    std::vector<uint32_t> mid(width * height);
    auto pass = [&](auto read, auto write, int length, int lines) {
        for (int l = 0; l < lines; ++l)
            for (int i = 0; i < length; ++i) {
                uint32_t result = 0;
                for (int shift : {0, 8, 16, 24}) {
                    auto tap = [&](int k) { return Channel(read(l, k < 0 ? 0 : (k >= length ? length - 1 : k)), shift); };
                    int side = 0;
                    for (int j = 1; j < taps; ++j)
                        side += w[j] * (tap(i - 2 * j + 1) + tap(i - 2 * j) + tap(i + 2 * j - 1) + tap(i + 2 * j));
                    result |= static_cast<uint32_t>((tap(i) * w[0] + (side >> 1)) >> 16) << shift;
                }
                write(l, i, result);
            }
    };
    pass([&](int y, int x) { return in.Get(x, y); }, [&](int y, int x, uint32_t v) { mid[y * width + x] = v; }, width,
         height);
    pass([&](int x, int y) { return mid[y * width + x]; }, [&](int x, int y, uint32_t v) { out.Set(x, y, v); }, height,
         width);
}

TEST(FilterPixelsTest, GaussMatchesAPlainReferenceForEveryWidthClass)
{
    const int sizes[][2] = {{40, 23}, {1, 9}, {3, 1}};
    for (int widthRequest : {1, 8, 9, 16, 17, 64}) {
        for (const auto &size : sizes) {
            TestImage in(size[0], size[1]), out(size[0], size[1]), ref(size[0], size[1]);
            FillPattern(in);
            ASSERT_EQ(GaussBlurPixels(in.image, out.image, widthRequest, 3.5f), 0);
            ASSERT_EQ(GaussWeights.widthClass, GaussWidthClass(widthRequest));
            ReferenceGauss(in, ref, GaussWeights.widthClass / 2);
            for (int y = 0; y < size[1]; ++y)
                for (int x = 0; x < size[0]; ++x)
                    ASSERT_EQ(out.Get(x, y), ref.Get(x, y)) << widthRequest << " at " << x << "," << y;
        }
    }
}

TEST(FilterPixelsTest, GaussWithParameterZeroCopiesAndKeepsWeightsForTinyChanges)
{
    TestImage in(7, 5), out(7, 5);
    FillPattern(in);
    ASSERT_EQ(GaussBlurPixels(in.image, out.image, 8, 0.0f), 0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) ASSERT_EQ(out.Get(x, y), in.Get(x, y));
    // No room for the intermediate image: refused before anything is written.
    RasterImage huge = {};
    huge.width = 40000;
    huge.height = 40000;
    huge.pitch = 160000;
    EXPECT_EQ(GaussBlurPixels(huge, huge, 8, 1.0f), -1);
    UpdateGaussWeights(16, 1.0f);
    const float first = GaussWeights.weights[1];
    UpdateGaussWeights(16, 1.0001f);
    EXPECT_EQ(GaussWeights.parameter, 1.0f);
    EXPECT_EQ(GaussWeights.weights[1], first);
    UpdateGaussWeights(16, 1.5f);
    EXPECT_NE(GaussWeights.weights[1], first);
}

TEST(FilterPixelsTest, BlendTypesGiveTheirWorkedValues)
{
    struct Case {
        const char *name;
        int type;
        float ratio;
        uint32_t p, q, expected;
    } cases[] = {
        {"ratio 0 keeps the source", 4, 0.0f, Argb(200, 10, 20, 30), Argb(255, 90, 90, 90), Argb(200, 10, 20, 30)},
        {"blend alpha 0 keeps the source", 0, 1.0f, Argb(200, 10, 20, 30), Argb(0, 90, 90, 90), Argb(200, 10, 20, 30)},
        {"normal", 0, 1.0f, Argb(200, 10, 20, 30), Argb(255, 90, 91, 92), Argb(200, 89, 90, 91)},
        {"add clamps", 4, 1.0f, Argb(1, 200, 20, 0), Argb(255, 100, 20, 0), Argb(1, 254, 39, 0)},
        {"difference", 3, 1.0f, Argb(1, 200, 20, 0), Argb(255, 100, 40, 0), Argb(1, 100, 0, 0)},
        {"dodge with q 255", 7, 1.0f, Argb(1, 0, 100, 7), Argb(255, 255, 255, 255), Argb(1, 254, 254, 254)},
        {"burn with q 0", 8, 1.0f, Argb(1, 254, 0, 255), Argb(255, 0, 0, 0), Argb(1, 0, 0, 255)},
        {"darken", 9, 1.0f, Argb(1, 10, 200, 0), Argb(255, 100, 100, 0), Argb(1, 10, 100, 0)},
        {"lighten", 10, 1.0f, Argb(1, 10, 200, 0), Argb(255, 100, 100, 0), Argb(1, 99, 200, 0)},
        {"multiple alpha only", 16, 1.0f, Argb(200, 1, 2, 3), Argb(128, 9, 9, 9), Argb(100, 1, 2, 3)},
        {"normal alpha onto clear", 14, 1.0f, Argb(0, 1, 2, 3), Argb(255, 50, 60, 70), Argb(255, 50, 60, 70)},
        {"add alpha onto clear", 15, 1.0f, Argb(0, 1, 2, 3), Argb(255, 50, 60, 70), Argb(255, 50, 60, 70)},
        {"normal alpha, both clear", 14, 1.0f, Argb(0, 1, 2, 3), Argb(0, 50, 60, 70), Argb(0, 1, 2, 3)},
        {"add alpha, both clear", 15, 0.5f, Argb(0, 1, 2, 3), Argb(0, 50, 60, 70), Argb(0, 1, 2, 3)},
    };
    for (const Case &c : cases) {
        TestImage p(1, 1, c.p), q(1, 1, c.q), out(1, 1, 0xDEADBEEF);
        ASSERT_EQ(BasicBlendPixels(p.image, q.image, out.image, c.type, c.ratio), 0) << c.name;
        EXPECT_EQ(out.Get(0, 0), c.expected) << c.name << std::hex << " got " << out.Get(0, 0);
    }
    TestImage p(1, 1), q(1, 1), out(1, 1);
    EXPECT_EQ(BasicBlendPixels(p.image, q.image, out.image, -1, 1.0f), -1);
    EXPECT_EQ(BasicBlendPixels(p.image, q.image, out.image, 17, 1.0f), -1);
}

TEST(FilterPixelsTest, RgbaMixPicksChannels)
{
    const uint32_t p = Argb(4, 1, 2, 3), q = Argb(8, 5, 6, 7);
    struct Case {
        int selectors[4];
        uint32_t expected;
    } cases[] = {
        {{0, 1, 2, 3}, p}, {{4, 5, 6, 7}, q}, {{2, 1, 0, 3}, Argb(4, 3, 2, 1)}, {{4, 5, 6, 3}, Argb(4, 5, 6, 7)},
        {{3, 3, 3, 4}, Argb(5, 4, 4, 4)},
    };
    for (const Case &c : cases) {
        TestImage src(1, 1, p), blend(1, 1, q), out(1, 1);
        ASSERT_EQ(RgbaMixPixels(src.image, blend.image, out.image, c.selectors), 0);
        EXPECT_EQ(out.Get(0, 0), c.expected) << c.selectors[0] << c.selectors[1] << c.selectors[2] << c.selectors[3];
    }
    const int bad[4] = {0, 1, 8, 3};
    TestImage src(1, 1), out(1, 1);
    EXPECT_EQ(RgbaMixPixels(src.image, src.image, out.image, bad), -1);
}

} // namespace

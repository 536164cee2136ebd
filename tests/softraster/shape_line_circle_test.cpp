// Lines, line lists and circles: worked cases, clipping and every blend mode.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <utility>

#include "shape_flat_reference.h"
#include "shape_test_image.h"
#include "softraster/shapes.h"

using namespace Korvo;
using namespace shape_test;

namespace {

using PixelSet = std::set<std::pair<int, int>>;

// Pixels that differ from 0 on an image first cleared to 0.
PixelSet Drawn(TestImage &img)
{
    PixelSet out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.Get(x, y) != 0)
                out.insert({x, y});
    return out;
}

// Blend count per pixel of a circle, walked straight from the rule.
std::map<std::pair<int, int>, int> ReferenceCircleCounts(int cx, int cy, int r, bool filled, RECT clip)
{
    std::map<std::pair<int, int>, int> counts;
    std::set<int> rows;
    auto point = [&](int x, int y) {
        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom)
            ++counts[{x, y}];
    };
    auto span = [&](int y, int xa, int xb) {
        if (y < clip.top || y >= clip.bottom || xb < clip.left || xa >= clip.right || rows.count(y))
            return;
        rows.insert(y);
        for (int x = std::max<int>(xa, clip.left); x <= std::min<int>(xb, clip.right - 1); ++x)
            ++counts[{x, y}];
    };
    int x = 0, y = r, d = 3 - 2 * r;
    do {
        if (filled) {
            span(cy + x, cx - y, cx + y);
            span(cy - x, cx - y, cx + y);
            if (d >= 0) {
                span(cy + y, cx - x, cx + x);
                span(cy - y, cx - x, cx + x);
            }
        } else if (x == 0) {
            point(cx - r, cy), point(cx + r, cy), point(cx, cy + r), point(cx, cy - r);
        } else {
            point(cx - y, cy + x), point(cx + y, cy + x), point(cx - y, cy - x), point(cx + y, cy - x);
            point(cx - x, cy + y), point(cx + x, cy + y), point(cx - x, cy - y), point(cx + x, cy - y);
        }
        if (d < 0) {
            d += 4 * x + 6;
        } else {
            d += 4 * (x - y) + 10;
            --y;
        }
        ++x;
    } while (y >= x);
    return counts;
}

}  // namespace

TEST(ShapeLine, HalfOpenWalks)
{
    TestImage img(12, 12, 1, 4);
    ResetDrawState(12, 12);
    RasterLineMemImg(img.image(), 0, 0, 4, 0, 1);
    EXPECT_EQ(Drawn(img), (PixelSet{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    img.Fill(0);
    RasterLineMemImg(img.image(), 4, 0, 0, 0, 1);
    EXPECT_EQ(Drawn(img), (PixelSet{{4, 0}, {3, 0}, {2, 0}, {1, 0}}));
    img.Fill(0);
    RasterLineMemImg(img.image(), 0, 0, 4, 1, 1);
    EXPECT_EQ(Drawn(img), (PixelSet{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    img.Fill(0);
    RasterLineMemImg(img.image(), 0, 0, 4, 2, 1);
    EXPECT_EQ(Drawn(img), (PixelSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
    img.Fill(0);
    RasterLineMemImg(img.image(), 3, 3, 3, 3, 1);
    EXPECT_TRUE(Drawn(img).empty());
}

TEST(ShapeLine, ClippedEnds)
{
    TestImage img(100, 100, 0, 2);
    ResetDrawState(100, 100);
    RasterLineMemImg(img.image(), -10, 5, 200, 5, 1);
    PixelSet row;
    for (int x = 0; x < 100; ++x)
        row.insert({x, 5});
    EXPECT_EQ(Drawn(img), row);

    img.Fill(0);
    RasterLineMemImg(img.image(), 50, 50, 50, 100, 1);
    EXPECT_EQ(Drawn(img).size(), 50u);
    EXPECT_EQ(Drawn(img).begin()->second, 50);

    img.Fill(0);
    RasterLineMemImg(img.image(), -50, 10, 10, -50, 1);
    EXPECT_EQ(Drawn(img), (PixelSet{{0, 0}}));

    img.Fill(0);
    RasterLineMemImg(img.image(), -50, -10, -5, 300, 1);    // box misses the clip
    EXPECT_TRUE(Drawn(img).empty());
    EXPECT_TRUE(img.GuardIntact());
}

// An empty clip draws no column; a clip beyond the image stays inside it.
TEST(ShapeLine, EmptyOrOversizedClip)
{
    TestImage img(20, 20, 1, 4);
    ResetDrawState(20, 20);
    RECT empty{5, 0, 5, 20};
    SetMemImgClipRect(&empty);
    RasterLineMemImg(img.image(), 0, 10, 19, 10, 1);
    RasterLineMemImg(img.image(), 5, 0, 5, 19, 1);
    EXPECT_TRUE(Drawn(img).empty());

    RECT huge{-30, -30, 500, 500};
    SetMemImgClipRect(&huge);
    RasterLineMemImg(img.image(), -100, -100, 400, 400, 1);
    RasterLineMemImg(img.image(), 400, -3, -400, 25, 1);
    EXPECT_TRUE(img.GuardIntact());
    EXPECT_TRUE(Drawn(img).count({19, 19}));
}

TEST(ShapeLine, RefusesPalettedAndAlphaImages)
{
    TestImage paletted(8, 8, 1, 1, false, true);
    TestImage alpha(8, 8, 0, 4, true);
    ResetDrawState(8, 8);
    RasterLineMemImg(paletted.image(), 0, 0, 7, 7, 3);
    RasterLineMemImg(alpha.image(), 0, 0, 7, 7, 3);
    EXPECT_TRUE(Drawn(paletted).empty());
    EXPECT_TRUE(Drawn(alpha).empty());
}

TEST(ShapeLine, ListDrawsEachRecordInOrder)
{
    TestImage img(10, 10, 1, 4);
    ResetDrawState(10, 10);
    SetMemImgBlendState(MEMIMG_BLEND_ADD, 255);
    const MemImgLineRecord records[2] = {{0, 0, 5, 0, 0x10, 77}, {0, 0, 5, 0, 0x10, -5}};
    RasterLineListMemImg(img.image(), records, 0);
    RasterLineListMemImg(img.image(), records, -3);
    EXPECT_TRUE(Drawn(img).empty());
    RasterLineListMemImg(img.image(), records, 2);
    EXPECT_EQ(img.Get(2, 0), 0x20u);
    EXPECT_EQ(img.Get(5, 0), 0u);
}

// Lines inside the clip, every mode and kind: pixel k sits where the late-moving
// minor axis puts it, and takes the flat operation once.
TEST(ShapeLine, EveryModeMatchesReference)
{
    std::mt19937 rng(5);
    const int modes[] = {0, 1, 2, 3, 4, 10, 11, 7};
    for (int kind = 0; kind <= 1; ++kind) {
        TestImage img(40, 30, kind, kind == 1 ? 4 : 2);
        for (int trial = 0; trial < 300; ++trial) {
            ResetDrawState(40, 30);
            const int mode = modes[trial % 8];
            const int p = static_cast<int>(rng() % 256);
            const uint32_t bright = trial % 2 ? 0xFFFFFF : (rng() & 0xFFFFFF);
            SetMemImgBlendState(mode, p);
            SetMemImgBrightColor(bright);
            img.FillRandom(rng);
            const std::vector<uint32_t> before = img.Pixels();
            const int x1 = rng() % 40, y1 = rng() % 30, x2 = rng() % 40, y2 = rng() % 30;
            const uint32_t color = kind == 1 ? rng() : (rng() & 0xFFFF);
            RasterLineMemImg(img.image(), x1, y1, x2, y2, static_cast<int32_t>(color));
            const int ax = std::abs(x2 - x1), ay = std::abs(y2 - y1);
            const int sx = x2 < x1 ? -1 : 1, sy = y2 < y1 ? -1 : 1;
            std::set<std::pair<int, int>> line;
            for (int k = 0; k < std::max(ax, ay); ++k)
                line.insert(ax >= ay ? std::make_pair(x1 + sx * k, y1 + sy * (k * ay / ax))
                                     : std::make_pair(x1 + sx * (k * ax / ay), y1 + sy * k));
            const uint32_t prepared = ReferenceShiftedColor(kind, color, bright);
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x) {
                    const uint32_t d = before[y * 40 + x];
                    const uint32_t expected = line.count({x, y}) ? ReferenceFlatPixel(kind, mode, p, prepared, d) : d;
                    ASSERT_EQ(img.Get(x, y), expected) << "mode " << mode << " at " << x << "," << y;
                }
        }
    }
}

TEST(ShapeCircle, SmallRadii)
{
    TestImage img(30, 30, 1, 4);
    ResetDrawState(30, 30);
    SetMemImgBlendState(MEMIMG_BLEND_ADD, 255);
    RasterCircleMemImg(img.image(), 5, 5, 0, 1, 1);
    EXPECT_EQ(img.Get(5, 5), 1u);                   // filled: once
    RasterCircleMemImg(img.image(), 15, 5, 0, 1, 0);
    EXPECT_EQ(img.Get(15, 5), 4u);                  // outline: four times

    img.Fill(0);
    SetMemImgBlendState(MEMIMG_BLEND_COPY, 0);
    RasterCircleMemImg(img.image(), 5, 5, 1, 9, 1);
    EXPECT_EQ(Drawn(img), (PixelSet{{5, 5}, {4, 5}, {6, 5}, {5, 4}, {5, 6}}));
    img.Fill(0);
    RasterCircleMemImg(img.image(), 5, 5, 1, 9, 0);
    EXPECT_EQ(Drawn(img), (PixelSet{{4, 5}, {6, 5}, {5, 4}, {5, 6}}));
    img.Fill(0);
    RasterCircleMemImg(img.image(), 5, 5, -1, 9, 1);
    EXPECT_TRUE(Drawn(img).empty());
}

TEST(ShapeCircle, RadiusTenRowExtents)
{
    TestImage img(30, 30, 0, 2);
    ResetDrawState(30, 30);
    for (int fill = 0; fill <= 1; ++fill) {
        img.Fill(0);
        RasterCircleMemImg(img.image(), 15, 15, 10, 0xFFFF, fill);
        auto extent = [&](int y) {
            int lo = 99, hi = -99;
            for (int x = 0; x < 30; ++x)
                if (img.Get(x, y)) {
                    lo = std::min(lo, x);
                    hi = std::max(hi, x);
                }
            return std::make_pair(lo - 15, hi - 15);
        };
        EXPECT_EQ(extent(5), std::make_pair(-3, 3));
        EXPECT_EQ(extent(25), std::make_pair(-3, 3));
        EXPECT_EQ(extent(6), std::make_pair(-5, 5));
        for (int y = 12; y <= 18; ++y)
            EXPECT_EQ(extent(y), std::make_pair(-10, 10)) << y;
    }
}

// Negative or oversized clip rectangles never index row flags below 0 or draw outside.
TEST(ShapeCircle, ClipOutsideTheImage)
{
    TestImage img(16, 12, 1, 4);
    ResetDrawState(16, 12);
    RECT clip{-20, -20, 100, 100};
    SetMemImgClipRect(&clip);
    RasterCircleMemImg(img.image(), 3, -4, 9, 5, 1);
    RasterCircleMemImg(img.image(), 12, 14, 9, 5, 0);
    EXPECT_TRUE(img.GuardIntact());
    EXPECT_EQ(img.Get(3, 0), 5u);
    EXPECT_EQ(img.Get(3, 6), 0u);
}

TEST(ShapeCircle, EveryModeMatchesReference)
{
    std::mt19937 rng(9);
    const int modes[] = {0, 1, 2, 3, 4, 10, 11, 6};
    for (int kind = 0; kind <= 1; ++kind) {
        TestImage img(32, 24, kind, kind == 1 ? 4 : 2);
        for (int trial = 0; trial < 200; ++trial) {
            ResetDrawState(32, 24);
            const int mode = modes[trial % 8];
            const int p = trial % 5 == 0 ? 0 : static_cast<int>(rng() % 256);
            const uint32_t bright = trial % 2 ? 0xFFFFFF : (rng() & 0xFFFFFF);
            SetMemImgBlendState(mode, p);
            SetMemImgBrightColor(bright);
            RECT clip{static_cast<LONG>(rng() % 8), static_cast<LONG>(rng() % 8), static_cast<LONG>(24 + rng() % 9),
                      static_cast<LONG>(16 + rng() % 9)};
            SetMemImgClipRect(&clip);
            img.FillRandom(rng);
            const std::vector<uint32_t> before = img.Pixels();
            const int cx = static_cast<int>(rng() % 48) - 8, cy = static_cast<int>(rng() % 40) - 8;
            const int r = static_cast<int>(rng() % 20);
            const bool filled = trial % 3 != 0;
            const uint32_t color = kind == 1 ? rng() : (rng() & 0xFFFF);
            RasterCircleMemImg(img.image(), cx, cy, r, static_cast<int32_t>(color), filled ? 1 : 0);
            const auto counts = ReferenceCircleCounts(cx, cy, r, filled, clip);
            const uint32_t prepared = ReferenceShiftedColor(kind, color, bright);
            for (int y = 0; y < 24; ++y)
                for (int x = 0; x < 32; ++x) {
                    uint32_t expected = before[y * 32 + x];
                    auto it = counts.find({x, y});
                    for (int n = it == counts.end() ? 0 : it->second; n > 0; --n)
                        expected = ReferenceFlatPixel(kind, mode, p, prepared, expected);
                    ASSERT_EQ(img.Get(x, y), expected) << "mode " << mode << " r " << r << " at " << x << "," << y;
                }
            ASSERT_TRUE(img.GuardIntact());
        }
    }
}

// Huge circles around the image: the outline misses it, the disc covers it.
TEST(ShapeCircle, HugeRadiusAroundTheImage)
{
    TestImage img(8, 8, 1, 4);
    ResetDrawState(8, 8);
    RasterCircleMemImg(img.image(), 4, 4, 3000000, 7, 0);
    EXPECT_TRUE(Drawn(img).empty());
    RasterCircleMemImg(img.image(), 4, 4, 3000000, 7, 1);
    EXPECT_EQ(Drawn(img).size(), 64u);
}

// Discs that cover the whole clip: each clip row still blended exactly once.
TEST(ShapeCircle, DiscCoveringTheClipBlendsEachRowOnce)
{
    std::mt19937 rng(21);
    TestImage img(20, 16, 1, 4);
    for (int trial = 0; trial < 60; ++trial) {
        ResetDrawState(20, 16);
        SetMemImgBlendState(MEMIMG_BLEND_ADD, 255);
        img.Fill(0);
        const int cx = static_cast<int>(rng() % 20), cy = static_cast<int>(rng() % 16);
        const int r = 20 + static_cast<int>(rng() % 60);
        RasterCircleMemImg(img.image(), cx, cy, r, 1, 1);
        const auto counts = ReferenceCircleCounts(cx, cy, r, true, RECT{0, 0, 20, 16});
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 20; ++x) {
                auto it = counts.find({x, y});
                ASSERT_EQ(img.Get(x, y), it == counts.end() ? 0u : static_cast<uint32_t>(it->second))
                    << cx << "," << cy << " r " << r << " at " << x << "," << y;
            }
    }
}

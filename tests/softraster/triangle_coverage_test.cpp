// Random triangles, tops above the image included, against the closed-form
// coverage reference: the pixels a flat triangle covers (each once) and the
// texel every textured pixel shows.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "shape_test_image.h"
#include "triangle_coverage_reference.h"

using namespace Korvo;
using namespace shape_test;

namespace {

constexpr int kWidth = 40, kHeight = 32, kSource = 16;

uint32_t ProbeTexel(uint32_t column, uint32_t row) { return 0x80000000u | column << 12 | row; }

TEST(TriangleCoverage, RandomTrianglesMatchTheClosedFormReference)
{
    std::mt19937 rng(2312);
    TestImage flat(kWidth, kHeight, 1, 4), textured(kWidth, kHeight, 1, 4), source(kSource, kSource, 1, 4);
    for (int y = 0; y < kSource; ++y)
        for (int x = 0; x < kSource; ++x)
            source.Set(x, y, ProbeTexel(x, y));
    auto coordinate = [&](int low, int high) { return low + static_cast<int>(rng() % static_cast<uint32_t>(high - low + 1)); };
    int covered = 0;
    for (int n = 0; n < 4000; ++n) {
        MemImgTriangleVertex t[3];
        for (auto &v : t)
            v = {coordinate(-15, kWidth + 10), coordinate(-15, kHeight + 10), coordinate(-4, kSource + 4),
                 coordinate(-4, kSource + 4)};
        if (n % 5 == 0)
            t[1].y = t[n % 3 == 0 ? 0 : 2].y;   // flat tops and bottoms
        RECT clip{0, 0, kWidth, kHeight};
        if (n % 3 == 0)
            clip = RECT{coordinate(0, 10), coordinate(0, 10), coordinate(20, kWidth), coordinate(16, kHeight)};

        std::vector<uint32_t> expectCount(kWidth * kHeight, 0), expectTexel(kWidth * kHeight, 0);
        ForEachCoveredPixel(t, clip, [&](int x, int y, uint32_t u, uint32_t v) {
            expectCount[y * kWidth + x] += 1;
            if (u < kSource * 262144u && v < kSource * 262144u)
                expectTexel[y * kWidth + x] = ProbeTexel(u / 262144, v / 262144);
        });

        ResetDrawState(kWidth, kHeight);
        SetMemImgClipRect(&clip);
        flat.Fill(0);
        textured.Fill(0);
        SetMemImgBlendState(MEMIMG_BLEND_ADD, 255);   // a pixel drawn twice shows 2
        RasterTriangleMemImg(flat.image(), nullptr, t, 0, nullptr, 1);
        SetMemImgBlendState(MEMIMG_BLEND_COPY, 255);
        RasterTriangleMemImg(textured.image(), source.image(), t, 0, nullptr, 0);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                covered += expectCount[y * kWidth + x] != 0;
                ASSERT_EQ(flat.Get(x, y), expectCount[y * kWidth + x]) << "triangle " << n << " at " << x << "," << y;
                ASSERT_EQ(textured.Get(x, y), expectTexel[y * kWidth + x]) << "triangle " << n << " at " << x << "," << y;
            }
        ASSERT_TRUE(flat.GuardIntact());
        ASSERT_TRUE(textured.GuardIntact());
    }
    EXPECT_GT(covered, 100000);   // the triangles really reach the image
}

}  // namespace

// 100,000 random shapes at fixed seed: coordinates far outside the image,
// degenerate and huge triangles, inverted rectangles, zero and huge radii,
// random clip rectangles (also beyond the image) and every blend mode. Under
// the sanitizers nothing may crash or read or write outside the images, and the
// guard band around each destination stays untouched.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "shape_test_image.h"
#include "softraster/shapes.h"

using namespace Korvo;
using namespace shape_test;

namespace {

// A coordinate near the image, around the triangle's range limit, or anywhere.
int32_t FuzzCoordinate(std::mt19937 &rng, int size)
{
    switch (rng() % 4) {
    case 0:
    case 1: return static_cast<int32_t>(rng() % (3 * size)) - size;
    case 2: return static_cast<int32_t>(rng() % 20000) - 10000;
    default: return static_cast<int32_t>(rng());
    }
}

}  // namespace

TEST(ShapeFuzz, HundredThousandRandomShapesStayInside)
{
    std::mt19937 rng(20240607);
    const int W = 61, H = 43;
    TestImage dst32(W, H, 1, 4), dst16(W, H, 0, 2);
    TestImage src32(9, 7, 1, 4), src32a(9, 7, 1, 4, true), src16(9, 7, 0, 2), src16a(9, 7, 0, 4, true);
    TestImage pal32(9, 7, 1, 1, false, true), pal16(9, 7, 0, 1, false, true);
    TestImage blend(9, 7, 2, 1);
    for (TestImage *img : {&dst32, &dst16, &src32, &src32a, &src16, &src16a, &pal32, &pal16, &blend})
        img->FillRandom(rng);
    for (int i = 0; i < 1024; ++i)
        pal32.palette()[i] = pal16.palette()[i] = static_cast<uint8_t>(rng());
    const int modes[] = {0, 1, 2, 3, 4, 10, 11, 5, 12, -7};

    for (int n = 0; n < 100000; ++n) {
        ResetDrawState(W, H);
        SetMemImgBlendState(modes[rng() % 10], static_cast<int>(rng() % 256));
        SetMemImgBrightColor(rng() % 3 ? 0xFFFFFF : rng());
        if (rng() % 2) {
            RECT clip{FuzzCoordinate(rng, W), FuzzCoordinate(rng, H), FuzzCoordinate(rng, W), FuzzCoordinate(rng, H)};
            SetMemImgClipRect(&clip);
        }
        const bool wide = rng() % 2;
        TestImage &dst = wide ? dst32 : dst16;
        const int32_t color = static_cast<int32_t>(rng());
        switch (rng() % 4) {
        case 0: {
            MemImgTriangleVertex v[3];
            for (auto &vx : v)
                vx = {FuzzCoordinate(rng, W), FuzzCoordinate(rng, H), FuzzCoordinate(rng, 9), FuzzCoordinate(rng, 7)};
            if (rng() % 4 == 0)
                v[2] = v[rng() % 2];                       // degenerate
            const uint32_t which = rng() % 4;
            TestImage *src = nullptr;
            if (which == 1)
                src = wide ? &src32 : &src16;
            else if (which == 2)
                src = wide ? &src32a : &src16a;
            else if (which == 3)
                src = wide ? &pal32 : &pal16;
            RasterTriangleMemImg(dst.image(), src ? src->image() : nullptr, v, static_cast<int>(rng() % 2),
                                 rng() % 2 ? blend.image() : nullptr, static_cast<uint32_t>(color));
            break;
        }
        case 1: {
            RECT r{FuzzCoordinate(rng, W), FuzzCoordinate(rng, H), FuzzCoordinate(rng, W), FuzzCoordinate(rng, H)};
            FillBlendRectMemImg(dst.image(), rng() % 8 ? &r : nullptr, color);
            break;
        }
        case 2:
            RasterLineMemImg(dst.image(), FuzzCoordinate(rng, W), FuzzCoordinate(rng, H), FuzzCoordinate(rng, W),
                             FuzzCoordinate(rng, H), color);
            break;
        default: {
            const uint32_t pick = rng() % 4;
            const int32_t radius = pick == 0 ? 0 : pick == 1 ? static_cast<int32_t>(rng() % 80)
                                 : pick == 2 ? static_cast<int32_t>(rng() % 5000000) : static_cast<int32_t>(rng());
            int32_t cx = FuzzCoordinate(rng, W), cy = FuzzCoordinate(rng, H);
            if (pick == 3 && rng() % 2) {                  // a huge circle centred on the image
                cx = static_cast<int32_t>(rng() % W);
                cy = static_cast<int32_t>(rng() % H);
            }
            RasterCircleMemImg(dst.image(), cx, cy, radius, color, static_cast<int32_t>(rng() % 2));
            break;
        }
        }
        if (n % 1000 == 0) {
            ASSERT_TRUE(dst32.GuardIntact()) << "shape " << n;
            ASSERT_TRUE(dst16.GuardIntact()) << "shape " << n;
        }
    }
    EXPECT_TRUE(dst32.GuardIntact());
    EXPECT_TRUE(dst16.GuardIntact());
    for (TestImage *img : {&src32, &src32a, &src16, &src16a, &pal32, &pal16, &blend})
        EXPECT_TRUE(img->GuardIntact());
}

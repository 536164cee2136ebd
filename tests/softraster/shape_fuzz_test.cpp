// 100,000 random shapes and blits at fixed seed: coordinates far outside the
// image, degenerate and huge triangles, inverted rectangles, zero and huge radii,
// plain and stretched blits (mirrored, run-table sources, blend images of every
// size) onto small views, random clip rectangles (also beyond the image) and
// every blend mode. Under
// the sanitizers nothing may crash or read or write outside the images, and the
// guard band around each destination stays untouched.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <initializer_list>
#include <random>

#include "shape_test_image.h"
#include "softraster/memimg_blit.h"
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

// A plain or stretched blit of a random source onto a random view: positions and
// rectangles near it or far away, mirrored or not, a blend image that covers the
// source or one that does not, transparent flag 0, 1 or 2.
void DrawRandomBlit(std::mt19937 &rng, std::initializer_list<TestImage *> targets32,
                    std::initializer_list<TestImage *> targets16, std::initializer_list<MEMIMG *> sources32,
                    std::initializer_list<MEMIMG *> sources16, const MEMIMG *blend, const MEMIMG *smallBlend)
{
    const bool wide = rng() % 2;
    TestImage &target = *(wide ? targets32 : targets16).begin()[rng() % 3];
    MEMIMG *source = (wide ? sources32 : sources16).begin()[rng() % 4];
    const uint32_t blendPick = rng() % 3;
    const MEMIMG *blendImage = blendPick == 0 ? nullptr : blendPick == 1 ? blend : smallBlend;
    const int key = static_cast<int>(rng() % 3);
    const int w = target.width(), h = target.height();
    if (rng() % 2 == 0) {
        BlendBlitMemImg(target.image(), source, FuzzCoordinate(rng, w), FuzzCoordinate(rng, h), key, blendImage);
        return;
    }
    int rect[4] = {FuzzCoordinate(rng, w), FuzzCoordinate(rng, h), FuzzCoordinate(rng, w), FuzzCoordinate(rng, h)};
    if (rng() % 4 == 0) {   // the source's own size: handed over to the plain blit
        rect[2] = rect[0] + source->width;
        rect[3] = rect[1] + source->height;
    }
    StretchBlendBlitMemImg(target.image(), source, rect, key, blendImage);
}

}  // namespace

TEST(ShapeFuzz, HundredThousandRandomShapesStayInside)
{
    std::mt19937 rng(20240607), blitRng(20261209);
    const int W = 61, H = 43;
    TestImage dst32(W, H, 1, 4), dst16(W, H, 0, 2);
    TestImage src32(9, 7, 1, 4), src32a(9, 7, 1, 4, true), src16(9, 7, 0, 2), src16a(9, 7, 0, 4, true);
    TestImage pal32(9, 7, 1, 1, false, true), pal16(9, 7, 0, 1, false, true);
    TestImage blend(9, 7, 2, 1), smallBlend(8, 7, 2, 1);
    // Blits also land on views of a few pixels, whose clip (the big image's) reaches far beyond them.
    TestImage tiny32(4, 4, 1, 4), tiny16(4, 4, 0, 2), line32(3, 1, 1, 4), line16(3, 1, 0, 2);
    TestImage *const guarded[] = {&dst32, &dst16, &tiny32, &tiny16, &line32, &line16};
    for (TestImage *img : {&dst32, &dst16, &src32, &src32a, &src16, &src16a, &pal32, &pal16, &blend, &smallBlend,
                           &tiny32, &tiny16, &line32, &line16})
        img->FillRandom(rng);
    // A keyed source with a run table, for the unclipped keyed blits.
    MEMIMG runs{};
    ASSERT_EQ(AllocateMemImg(&runs, 9, 7, -1, 0x00123456, MEMIMG_KIND_XRGB32, 0, 0, 1, nullptr), 0);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            const uint32_t v = rng() % 3 ? static_cast<uint32_t>(rng()) : 0x00123456u;
            std::memcpy(runs.pixels + y * runs.body->pitch + 4 * x, &v, 4);
        }
    BuildMemImgRunTable(&runs);
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
        // One blit after every shape, from its own generator: the shapes stay the ones drawn before blits came.
        DrawRandomBlit(blitRng, {&dst32, &tiny32, &line32}, {&dst16, &tiny16, &line16},
                       {src32.image(), src32a.image(), pal32.image(), &runs},
                       {src16.image(), src16a.image(), pal16.image(), src16.image()}, blend.image(), smallBlend.image());
        if (n % 1000 == 0) {
            for (TestImage *img : guarded) {
                ASSERT_TRUE(img->GuardIntact()) << "draw " << n << " image " << img->width() << "x" << img->height();
            }
        }
    }
    for (TestImage *img : guarded)
        EXPECT_TRUE(img->GuardIntact());
    for (TestImage *img : {&src32, &src32a, &src16, &src16a, &pal32, &pal16, &blend, &smallBlend})
        EXPECT_TRUE(img->GuardIntact());
    DisposeMemImg(&runs);
}

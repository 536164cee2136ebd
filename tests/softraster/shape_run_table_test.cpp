// Shapes drawn into an image make its run table stale, so later keyed draws from
// that image key by the new pixels.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "blit_test_images.h"
#include "softraster/draw_state.h"
#include "softraster/memimg_blit.h"
#include "softraster/shapes.h"

using namespace Korvo;
using namespace BlitTest;

namespace {

class ShapeRunTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildMemImgLookupTables();
        SetMemImgBrightColor(0xFFFFFF);
        SetMemImgBlendState(0, 0);
        RECT clip{0, 0, 8, 6};
        SetMemImgClipRect(&clip);
        // A keyed image whose pixels are all the key: its runs say "skip everything".
        image_ = std::make_unique<GuardedImage>(8, 6, MEMIMG_KIND_XRGB32, 0, 0, 1);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x)
                std::memcpy(image_->image.pixels + y * image_->image.body->pitch + 4 * x,
                            &image_->image.body->transparentColor, 4);
        BuildMemImgRunTable(&image_->image);
        ASSERT_EQ(image_->image.body->runTableValid, 1);
    }
    std::unique_ptr<GuardedImage> image_;
};

TEST_F(ShapeRunTable, EveryShapeMarksTheRunTableStale)
{
    const RECT box{1, 1, 4, 3};
    const MemImgTriangleVertex tri[3] = {{0, 0, 0, 0}, {6, 0, 0, 0}, {0, 5, 0, 0}};
    auto draws = {
        +[](MEMIMG *m, const RECT *r, const MemImgTriangleVertex *) { FillBlendRectMemImg(m, r, 0x123456); },
        +[](MEMIMG *m, const RECT *, const MemImgTriangleVertex *) { RasterLineMemImg(m, 0, 0, 7, 5, 0x123456); },
        +[](MEMIMG *m, const RECT *, const MemImgTriangleVertex *) { RasterCircleMemImg(m, 4, 3, 2, 0x123456, 1); },
        +[](MEMIMG *m, const RECT *, const MemImgTriangleVertex *t) {
            RasterTriangleMemImg(m, nullptr, t, 0, nullptr, 0x123456);
        },
    };
    for (auto draw : draws) {
        BuildMemImgRunTable(&image_->image);
        ASSERT_EQ(image_->image.body->runTableValid, 1);
        draw(&image_->image, &box, tri);
        EXPECT_EQ(image_->image.body->runTableValid, 0);
    }
}

TEST_F(ShapeRunTable, DrawsThatWriteNothingKeepTheRunTable)
{
    GuardedImage source(4, 4, MEMIMG_KIND_XRGB32, 0, 0, 0);
    GuardedImage smallBlend(2, 2, MEMIMG_KIND_GRAY8, 0, 0, 0);
    MEMIMG *m = &image_->image;
    const MemImgTriangleVertex collinear[3] = {{0, 0, 0, 0}, {3, 3, 0, 0}, {6, 6, 0, 0}};
    const MemImgTriangleVertex outside[3] = {{20, 20, 0, 0}, {30, 20, 0, 0}, {20, 30, 0, 0}};
    const RECT box{1, 1, 4, 3};
    const int stretch[4] = {0, 0, 8, 6};
    struct Case {
        const char *name;
        int mode;
        std::function<void()> draw;
    } cases[] = {
        {"rectangle, mode 7", 7, [&] { FillBlendRectMemImg(m, &box, 1); }},
        {"rectangle outside", 0, [&] { const RECT away{20, 20, 30, 30}; FillBlendRectMemImg(m, &away, 1); }},
        {"collinear triangle", 0, [&] { RasterTriangleMemImg(m, nullptr, collinear, 0, nullptr, 1); }},
        {"triangle outside", 0, [&] { RasterTriangleMemImg(m, nullptr, outside, 0, nullptr, 1); }},
        {"triangle, mode 7", 7, [&] { RasterTriangleMemImg(m, nullptr, outside, 0, nullptr, 1); }},
        {"zero-length line", 0, [&] { RasterLineMemImg(m, 3, 3, 3, 3, 1); }},
        {"line, mode 7", 7, [&] { RasterLineMemImg(m, 0, 0, 7, 5, 1); }},
        {"circle, mode 7", 7, [&] { RasterCircleMemImg(m, 4, 3, 2, 1, 1); }},
        {"blit, mode 7", 7, [&] { BlendBlitMemImg(m, &source.image, 0, 0, 0, nullptr); }},
        {"blit outside", 0, [&] { BlendBlitMemImg(m, &source.image, 8, 0, 0, nullptr); }},
        {"blit, small blend image", 0, [&] { BlendBlitMemImg(m, &source.image, 0, 0, 0, &smallBlend.image); }},
        {"stretch, small blend image", 0,
         [&] { StretchBlendBlitMemImg(m, &source.image, stretch, 0, &smallBlend.image); }},
    };
    for (const Case &c : cases) {
        BuildMemImgRunTable(m);
        SetMemImgBlendState(c.mode, 255);
        c.draw();
        EXPECT_EQ(image_->image.body->runTableValid, 1) << c.name;
    }
}

TEST_F(ShapeRunTable, KeyedBlitAfterAFillShowsTheFilledPixels)
{
    const RECT box{2, 1, 5, 4};
    FillBlendRectMemImg(&image_->image, &box, 0x00ABCDEF);
    GuardedImage target(8, 6, MEMIMG_KIND_XRGB32, 0, 0, 0);
    std::mt19937 rng(5);
    FillRandomBytes(target, rng);
    BlendBlitMemImg(&target.image, &image_->image, 0, 0, 1, nullptr);
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            uint32_t v;
            std::memcpy(&v, target.image.pixels + y * target.image.body->pitch + 4 * x, 4);
            EXPECT_EQ(v & 0xFFFFFFu, 0xABCDEFu) << x << "," << y;
        }
}

}  // namespace

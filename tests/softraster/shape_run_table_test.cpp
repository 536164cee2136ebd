// Shapes drawn into an image make its run table stale, so later keyed draws from
// that image key by the new pixels.
#include <gtest/gtest.h>

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

// Stretched blit geometry (same size, clipping, mirroring, scaling) and the
// inputs it refuses.
#include <gtest/gtest.h>

#include <random>

#include "blit_reference.h"
#include "blit_test_images.h"
#include "softraster/draw_state.h"
#include "softraster/memimg_blit.h"

using namespace Korvo;
using namespace BlitTest;

namespace {

class StretchGeometry : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildMemImgLookupTables();
        SetMemImgBrightColor(0xFFFFFF);
        SetMemImgBlendState(0, 0);
        clip_ = {0, 0, 40, 30};
        SetMemImgClipRect(&clip_);
        std::mt19937 rng(7);
        source_ = std::make_unique<GuardedImage>(6, 5, MEMIMG_KIND_XRGB32, 0, 0, 1);
        FillRandomSource(*source_, Layout::Direct32, rng);
        BuildMemImgRunTable(&source_->image);
        destination_ = std::make_unique<GuardedImage>(40, 30, MEMIMG_KIND_XRGB32, 0, 0, 0);
        FillRandomBytes(*destination_, rng);
        destination_->Snapshot();
    }
    uint32_t At(int x, int y) const
    {
        uint32_t v;
        std::memcpy(&v, destination_->image.pixels + y * destination_->image.body->pitch + 4 * x, 4);
        return v;
    }
    uint32_t SourceAt(int x, int y) const
    {
        uint32_t v;
        std::memcpy(&v, source_->image.pixels + y * source_->image.body->pitch + 4 * x, 4);
        return v;
    }
    std::vector<uint8_t> Stretched(const int *rect, int flag)
    {
        destination_->Restore();
        StretchBlendBlitMemImg(&destination_->image, &source_->image, rect, flag, nullptr);
        EXPECT_TRUE(destination_->GuardIntact());
        return RefBlit::ViewBytes(destination_->image);
    }
    RECT clip_;
    std::unique_ptr<GuardedImage> source_;
    std::unique_ptr<GuardedImage> destination_;
};

TEST_F(StretchGeometry, SameSizeIsThePlainBlitRunTableIncluded)
{
    const int rect[4] = {3, 4, 9, 9};
    const auto stretched = Stretched(rect, 1);
    destination_->Restore();
    BlendBlitMemImg(&destination_->image, &source_->image, 3, 4, 1, nullptr);
    EXPECT_EQ(stretched, RefBlit::ViewBytes(destination_->image));
}

TEST_F(StretchGeometry, MirroringIsExact)
{
    const int rect[4] = {9, 9, 3, 4};   // both directions, same size
    Stretched(rect, 0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(At(3 + x, 4 + y), SourceAt(5 - x, 4 - y)) << x << "," << y;
}

TEST_F(StretchGeometry, DoublingAndHalving)
{
    const int twice[4] = {0, 0, 12, 10};
    Stretched(twice, 0);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(At(x, y), SourceAt(x / 2, y / 2));
    const int half[4] = {0, 0, 3, 2};
    Stretched(half, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            ASSERT_EQ(At(x, y), SourceAt(2 * x, 2 * y));
}

TEST_F(StretchGeometry, ClippedDrawIsTheCropOfTheUnclippedOne)
{
    const int rects[][4] = {{2, 3, 19, 14}, {19, 14, 2, 3}, {4, 4, 7, 21}};
    for (const auto &rect : rects) {
        const auto full = Stretched(rect, 1);
        const RECT clips[] = {{5, 6, 40, 30}, {0, 0, 11, 9}, {6, 7, 8, 10}};
        for (const RECT &c : clips) {
            SetMemImgClipRect(&c);
            const auto clipped = Stretched(rect, 1);
            SetMemImgClipRect(&clip_);
            destination_->Restore();
            const auto before = RefBlit::ViewBytes(destination_->image);
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x) {
                    const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                    for (int b = 0; b < 4; ++b) {
                        const size_t i = static_cast<size_t>((y * 40 + x) * 4 + b);
                        ASSERT_EQ(clipped[i], inside ? full[i] : before[i]) << x << "," << y;
                    }
                }
        }
    }
}

TEST_F(StretchGeometry, RefusedInputsLeaveTheDestination)
{
    const auto before = RefBlit::ViewBytes(destination_->image);
    const int flat[4] = {3, 3, 3, 20};
    EXPECT_EQ(Stretched(flat, 0), before);

    // A destination with alpha, or of another kind, is not written.
    const int rect[4] = {0, 0, 30, 20};
    GuardedImage alphaDest(40, 30, MEMIMG_KIND_XRGB32, 0, 1, 0);
    std::mt19937 rng(3);
    FillRandomBytes(alphaDest, rng);
    const auto alphaBefore = RefBlit::ViewBytes(alphaDest.image);
    StretchBlendBlitMemImg(&alphaDest.image, &source_->image, rect, 0, nullptr);
    EXPECT_EQ(RefBlit::ViewBytes(alphaDest.image), alphaBefore);
    GuardedImage narrowDest(40, 30, MEMIMG_KIND_RGB565, 0, 0, 0);
    FillRandomBytes(narrowDest, rng);
    const auto narrowBefore = RefBlit::ViewBytes(narrowDest.image);
    StretchBlendBlitMemImg(&narrowDest.image, &source_->image, rect, 0, nullptr);
    EXPECT_EQ(RefBlit::ViewBytes(narrowDest.image), narrowBefore);

    // A zero-sized source and sizes beyond the 16.16 range draw nothing (and end).
    MEMIMG empty{};
    ASSERT_EQ(AllocateMemImg(&empty, 0, 0, -1, 0, MEMIMG_KIND_XRGB32, 0, 0, 0, nullptr), 0);
    destination_->Restore();
    StretchBlendBlitMemImg(&destination_->image, &empty, rect, 0, nullptr);
    EXPECT_EQ(RefBlit::ViewBytes(destination_->image), before);
    DisposeMemImg(&empty);
    const int huge[4] = {-40000, 0, 10, 10};
    EXPECT_EQ(Stretched(huge, 0), before);
    const int extreme[4] = {-2147483647, 0, 2147483647, 10};
    EXPECT_EQ(Stretched(extreme, 0), before);

    // Negative blend modes are refused.
    SetMemImgBlendState(-4, 255);
    EXPECT_EQ(Stretched(rect, 0), before);
}

TEST_F(StretchGeometry, DrawingIntoAnImageMakesItsRunTableStale)
{
    // Draw an opaque image into the keyed source: its run table no longer tells the truth.
    MEMIMG &src = source_->image;
    ASSERT_EQ(src.body->runTableValid, 1);
    GuardedImage paint(6, 5, MEMIMG_KIND_XRGB32, 0, 0, 0);
    std::mt19937 rng(11);
    FillRandomBytes(paint, rng);
    BlendBlitMemImg(&src, &paint.image, 0, 0, 0, nullptr);
    EXPECT_EQ(src.body->runTableValid, 0);

    // A keyed draw now keys by the new pixels, exactly as the per-pixel path does.
    RefBlit::Settings s{0, 0, 0xFFFFFF, false, 1, clip_};
    destination_->Restore();
    const auto expected = RefBlit::PlainBlit(destination_->image, src, 2, 2, nullptr, s);
    BlendBlitMemImg(&destination_->image, &src, 2, 2, 1, nullptr);
    EXPECT_EQ(RefBlit::ViewBytes(destination_->image), expected);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            if (SourceAt(x, y) != src.body->transparentColor) {
                ASSERT_EQ(At(2 + x, 2 + y), SourceAt(x, y));
            }
}

}  // namespace

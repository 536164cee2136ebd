// Blits through a clip rectangle larger than the destination view write only
// inside the view, exactly as with the clip cut to the view; a blend image
// smaller than the source is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "blit_test_images.h"
#include "softraster/draw_state.h"
#include "softraster/memimg_blit.h"

using namespace Korvo;
using namespace BlitTest;

namespace {

struct BlitCall {
    const char *name;
    int rect[4];   // stretched draws; {x, y, 0, 0} with stretch false
    bool stretch;
};

const BlitCall kCalls[] = {
    {"plain, overlapping every edge", {-2, -2, 0, 0}, false},
    {"plain, right bottom corner", {3, 2, 0, 0}, false},
    {"stretched", {-3, -1, 9, 7}, true},
    {"stretched, mirrored both ways", {9, 7, -3, -1}, true},
    {"stretched, one column", {1, -5, 2, 20}, true},
};

void Draw(GuardedImage &dst, GuardedImage &src, const BlitCall &c, const MEMIMG *blend)
{
    if (c.stretch)
        StretchBlendBlitMemImg(&dst.image, &src.image, c.rect, 1, blend);
    else
        BlendBlitMemImg(&dst.image, &src.image, c.rect[0], c.rect[1], 1, blend);
}

class BlitViewClip : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildMemImgLookupTables();
        BuildMemImgBlendImageTable(0, 255);
        SetMemImgBrightColor(0xFFFFFF);
    }
    void Clip(int left, int top, int right, int bottom)
    {
        const RECT r{left, top, right, bottom};
        SetMemImgClipRect(&r);
    }
};

TEST_F(BlitViewClip, AClipLargerThanTheViewWritesOnlyInsideIt)
{
    std::mt19937 rng(23);
    for (Layout layout : {Layout::Direct32, Layout::Alpha32, Layout::Palette16, Layout::Direct16}) {
        GuardedImage src(8, 6, KindOf(layout), PaletteOf(layout), AlphaOf(layout), 0);
        GuardedImage blend(8, 6, MEMIMG_KIND_GRAY8, 0, 0, 0);
        FillRandomSource(src, layout, rng);
        FillRandomBytes(blend, rng);
        for (const BlitCall &c : kCalls)
            for (int mode : {0, 1, 2}) {
                SCOPED_TRACE(std::string(LayoutName(layout)) + ", " + c.name + ", mode " + std::to_string(mode));
                SetMemImgBlendState(mode, 200);
                GuardedImage wide(4, 4, KindOf(layout), 0, 0, 0), exact(4, 4, KindOf(layout), 0, 0, 0);
                FillRandomBytes(wide, rng);
                for (int y = 0; y < 4; ++y)
                    std::memcpy(exact.Pixel(0, y), wide.Pixel(0, y), static_cast<size_t>(4 * wide.BytesPerPixel()));
                wide.Snapshot();
                Clip(-100, -100, 100, 100);
                Draw(wide, src, c, mode == 2 ? &blend.image : nullptr);
                Clip(0, 0, 4, 4);
                Draw(exact, src, c, mode == 2 ? &blend.image : nullptr);
                ASSERT_TRUE(wide.GuardIntact());
                for (int y = 0; y < 4; ++y)
                    ASSERT_EQ(0, std::memcmp(exact.Pixel(0, y), wide.Pixel(0, y),
                                             static_cast<size_t>(4 * wide.BytesPerPixel())))
                        << "row " << y;
            }
    }
}

TEST_F(BlitViewClip, ABlendImageSmallerThanTheSourceIsRefused)
{
    std::mt19937 rng(7);
    GuardedImage src(8, 6, MEMIMG_KIND_XRGB32, 0, 0, 0);
    FillRandomSource(src, Layout::Direct32, rng);
    SetMemImgBlendState(1, 128);
    Clip(0, 0, 16, 16);
    const int sizes[][2] = {{7, 6}, {8, 5}, {8, 6}};
    for (const auto &size : sizes) {
        GuardedImage blend(size[0], size[1], MEMIMG_KIND_GRAY8, 0, 0, 0);
        std::memset(blend.Pixel(0, 0), 255, 1);   // one opaque weight is enough to show a draw
        for (const BlitCall &c : kCalls) {
            GuardedImage dst(16, 16, MEMIMG_KIND_XRGB32, 0, 0, 0);
            FillRandomBytes(dst, rng);
            std::vector<uint8_t> before(dst.image.pixels, dst.image.pixels + 16 * dst.image.body->pitch);
            for (int y = 0; y < size[1]; ++y)
                std::memset(blend.Pixel(0, y), 255, static_cast<size_t>(size[0]));
            Draw(dst, src, c, &blend.image);
            const bool changed = !std::equal(before.begin(), before.end(), dst.image.pixels);
            // Only the blend image that covers the source draws.
            EXPECT_EQ(changed, size[0] == 8 && size[1] == 6) << c.name << " " << size[0] << "x" << size[1];
        }
    }
}

}  // namespace

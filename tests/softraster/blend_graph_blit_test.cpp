// The one-pass blit through a 32-bit blend graph against its two steps: the
// cross-faded copy drawn by BlendBlitMemImg, or the source drawn by it with the
// blend graph's alpha as the blend image; in every vector form, clipped and
// whole, with and without alpha, key, transparent flag and run table.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "blit_test_images.h"
#include "softraster/blend_graph_blit.h"
#include "softraster/draw_state.h"
#include "softraster/memimg_blit.h"
#include "vector_form_choice.h"

using namespace Korvo;
using namespace BlitTest;

namespace {

// A pixel as the cross-fade reads it: its alpha, or 255 (0 for the key when keyed).
uint32_t AsArgb(uint32_t raw, bool hasAlpha, bool keyed, uint32_t key)
{
    if (hasAlpha)
        return raw;
    return (raw & 0xFFFFFF) | (keyed && raw == key ? 0u : 0xFF000000u);
}

// Random pixels whose alpha is 0 or 255 a third of the time each.
void FillBlendGraph(GuardedImage &blend, std::mt19937 &rng)
{
    FillRandomBytes(blend, rng);
    for (int y = 0; y < blend.image.height; ++y)
        for (int x = 0; x < blend.image.width; ++x) {
            uint8_t &alpha = blend.Pixel(x, y)[3];
            alpha = alpha % 3 == 0 ? 0 : alpha % 3 == 1 ? 255 : alpha;
        }
}

struct Geometry {
    int sourceWidth, sourceHeight, x, y;   // the destination is 40 x 8 unless the source is wider
    bool clipped;
};

// The two steps of the draw, with an image made the way the graphics road makes it.
void DrawInTwoSteps(GuardedImage &destination, GuardedImage &source, GuardedImage &blendGraph, const Geometry &at,
                    const MemImgBlendGraphDraw &draw)
{
    MEMIMG made{};
    const MemImgBody *sb = source.image.body;
    const bool blendAlpha = blendGraph.image.body->hasAlpha != 0;
    if (draw.use == MEMIMG_BLEND_GRAPH_CROSS_FADE) {
        ASSERT_EQ(CreateWorkMemImg(&made, at.sourceWidth, at.sourceHeight, MEMIMG_KIND_XRGB32, 1), 0);
        for (int y = 0; y < at.sourceHeight; ++y)
            for (int x = 0; x < at.sourceWidth; ++x) {
                uint32_t s, b;
                std::memcpy(&s, source.Pixel(x, y), 4);
                std::memcpy(&b, blendGraph.Pixel(x, y), 4);
                const uint32_t drawn = AsArgb(s, sb->hasAlpha != 0, draw.keySource != 0, sb->transparentColor);
                const uint32_t m = CrossFadeArgbPixels(drawn, AsArgb(b, blendAlpha, false, 0),
                                                       static_cast<uint32_t>(draw.weight));
                std::memcpy(made.pixels + y * made.body->pitch + 4 * x, &m, 4);
            }
        BlendBlitMemImg(&destination.image, &made, at.x, at.y, draw.transparentFlag, nullptr);
    } else {
        ASSERT_EQ(CreateWorkMemImg(&made, at.sourceWidth, at.sourceHeight, MEMIMG_KIND_GRAY8, 0), 0);
        for (int y = 0; y < at.sourceHeight; ++y)
            for (int x = 0; x < at.sourceWidth; ++x)
                made.pixels[y * made.body->pitch + x] = blendAlpha ? blendGraph.Pixel(x, y)[3] : 255;
        BlendBlitMemImg(&destination.image, &source.image, at.x, at.y, draw.transparentFlag, &made);
    }
    DisposeMemImg(&made);
}

class BlendGraphBlit : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildMemImgLookupTables(); }
};

TEST_F(BlendGraphBlit, CrossFadeRoundsEachByteToTheNearest)
{
    for (uint32_t w : {0u, 1u, 77u, 128u, 200u, 254u, 255u})
        for (uint32_t d = 0; d < 256; ++d)
            for (uint32_t b = 0; b < 256; ++b) {
                const uint32_t want = (b * w + d * (255 - w) + 127) / 255;
                const uint32_t got = CrossFadeArgbPixels(d * 0x01010101u, b * 0x01010101u, w);
                ASSERT_EQ(got, want * 0x01010101u) << "w " << w << " d " << d << " b " << b;
            }
}

TEST_F(BlendGraphBlit, OnePassGivesTheBytesOfTheTwoSteps)
{
    const Geometry geometries[] = {{37, 5, -3, 2, true}, {300, 2, 0, 0, false}};
    struct Table {
        int border, range;
    };
    const Table tables[] = {{128, 255}, {100, 30}, {128, 0}};   // masking's identity, a ramp, a hard step
    int checked = 0;
    vector_forms::ForEachVectorForm([&](int) {
        unsigned seed = 1;
        for (const Geometry &at : geometries)
            for (Layout layout : {Layout::Direct32, Layout::Alpha32})
                for (int blendAlpha : {1, 0})
                    for (int use : {MEMIMG_BLEND_GRAPH_CROSS_FADE, MEMIMG_BLEND_GRAPH_WEIGHTS})
                        for (int mode : {0, 1})
                            for (int p : {255, 128, 77, 0})
                                for (int transparent : {0, 1})
                                    for (int variant = 0; variant < 3; ++variant) {
                                        SCOPED_TRACE(::testing::Message()
                                                     << LayoutName(layout) << " " << at.sourceWidth << " blend alpha "
                                                     << blendAlpha << " use " << use << " mode " << mode << " p " << p
                                                     << " transparent " << transparent << " variant " << variant);
                                        std::mt19937 rng(seed++);
                                        const int dw = at.sourceWidth > 40 ? at.sourceWidth : 40;
                                        GuardedImage source(at.sourceWidth, at.sourceHeight, MEMIMG_KIND_XRGB32, 0,
                                                            AlphaOf(layout), 1);
                                        FillRandomSource(source, layout, rng);
                                        BuildMemImgRunTable(&source.image);
                                        GuardedImage blend(at.sourceWidth + 2, at.sourceHeight + 1, MEMIMG_KIND_XRGB32,
                                                           0, blendAlpha, 0);
                                        FillBlendGraph(blend, rng);
                                        GuardedImage expected(dw, 8, MEMIMG_KIND_XRGB32, 0, 0, 0);
                                        GuardedImage got(dw, 8, MEMIMG_KIND_XRGB32, 0, 0, 0);
                                        std::mt19937 sameBytes = rng;
                                        FillRandomBytes(expected, rng);
                                        FillRandomBytes(got, sameBytes);
                                        got.Snapshot();
                                        const RECT clip = at.clipped ? RECT{1, 1, 30, 7} : RECT{0, 0, dw, 8};
                                        SetMemImgClipRect(&clip);
                                        SetMemImgBlendState(mode, p);
                                        SetMemImgBrightColor(0xFFFFFF);
                                        const Table &table = tables[variant];
                                        BuildMemImgBlendImageTable(table.border, table.range);
                                        const int weight = variant == 0 ? 128 : variant == 1 ? 0 : 255;
                                        const MemImgBlendGraphDraw draw = {use, weight, variant != 1, transparent};
                                        ASSERT_EQ(BlendGraphBlitFits(&got.image, &source.image, &blend.image), 1);
                                        BlitThroughBlendGraphMemImg(&got.image, &source.image, at.x, at.y,
                                                                    &blend.image, draw);
                                        DrawInTwoSteps(expected, source, blend, at, draw);
                                        ASSERT_TRUE(got.GuardIntact());
                                        for (int y = 0; y < 8; ++y)
                                            for (int x = 0; x < dw; ++x)
                                                ASSERT_EQ(0, std::memcmp(got.Pixel(x, y), expected.Pixel(x, y), 4))
                                                    << "pixel " << x << "," << y;
                                        ++checked;
                                    }
    });
    EXPECT_GT(checked, 0);
}

TEST_F(BlendGraphBlit, OtherImagesAndStatesAreLeftToTheTwoSteps)
{
    GuardedImage screen(8, 8, MEMIMG_KIND_XRGB32, 0, 0, 0);
    GuardedImage source(8, 8, MEMIMG_KIND_XRGB32, 0, 0, 0);
    GuardedImage blend(8, 8, MEMIMG_KIND_XRGB32, 0, 1, 0);
    GuardedImage small(7, 8, MEMIMG_KIND_XRGB32, 0, 1, 0);
    GuardedImage palette(8, 8, MEMIMG_KIND_XRGB32, 1, 0, 0);
    GuardedImage wide565(8, 8, MEMIMG_KIND_RGB565, 0, 0, 0);
    SetMemImgBrightColor(0xFFFFFF);
    SetMemImgBlendState(1, 255);
    EXPECT_EQ(BlendGraphBlitFits(&screen.image, &source.image, &blend.image), 1);
    EXPECT_EQ(BlendGraphBlitFits(&screen.image, &source.image, &small.image), 0);
    EXPECT_EQ(BlendGraphBlitFits(&screen.image, &palette.image, &blend.image), 0);
    EXPECT_EQ(BlendGraphBlitFits(&wide565.image, &wide565.image, &blend.image), 0);
    SetMemImgBlendState(2, 255);
    EXPECT_EQ(BlendGraphBlitFits(&screen.image, &source.image, &blend.image), 0);
    SetMemImgBlendState(1, 255);
    SetMemImgBrightColor(0x808080);
    EXPECT_EQ(BlendGraphBlitFits(&screen.image, &source.image, &blend.image), 0);
    SetMemImgBrightColor(0xFFFFFF);
}

}  // namespace

// Every plain and stretched blit loop against the scalar reference, across the
// variant space, on small random images with guard bands.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>

#include "blit_reference.h"
#include "blit_test_images.h"
#include "softraster/draw_state.h"
#include "softraster/memimg_blit.h"
#include "softraster/processor_forms.h"

using namespace Korvo;
using namespace BlitTest;

namespace {

constexpr int kModes[] = {0, 1, 2, 3, 4, 10, 11, 5, 7, -1, 12};
constexpr int kParams[] = {0, 1, 64, 127, 128, 200, 253, 255};
constexpr uint32_t kBrights[] = {0xFFFFFF, 0xFF80C0FF, 0xFEFEFE};
constexpr int kFlags[] = {0, 1, 2};

struct Scene {
    std::unique_ptr<GuardedImage> source;
    std::unique_ptr<GuardedImage> destination;
    std::unique_ptr<GuardedImage> blend;
};

Scene MakeScene(Layout layout, int srcW, int srcH, int dstW, int dstH, unsigned seed)
{
    std::mt19937 rng(seed);
    Scene s;
    s.source = std::make_unique<GuardedImage>(srcW, srcH, KindOf(layout), PaletteOf(layout), AlphaOf(layout), 1);
    FillRandomSource(*s.source, layout, rng);
    BuildMemImgRunTable(&s.source->image);
    s.destination = std::make_unique<GuardedImage>(dstW, dstH, KindOf(layout), 0, 0, 0);
    FillRandomBytes(*s.destination, rng);
    s.destination->Snapshot();
    s.blend = std::make_unique<GuardedImage>(srcW, srcH, MEMIMG_KIND_GRAY8, 0, 0, 0);
    FillRandomBytes(*s.blend, rng);
    return s;
}

void ApplySettings(const RefBlit::Settings &s)
{
    SetMemImgBlendState(s.mode, s.p);
    SetMemImgBrightColor(s.bright);
    SetMemImgClipRect(&s.clip);
    SetMemImgMmxOverride(s.mmx ? 1 : 0);
}

class BlitVariants : public ::testing::TestWithParam<Layout> {
protected:
    static void SetUpTestSuite()
    {
        BuildMemImgLookupTables();
        BuildMemImgBlendImageTable(100, 60);
        RefBlit::SetThresholdShape(100, 60);
    }
    void TearDown() override { SetMemImgMmxOverride(-1); }
};

TEST_P(BlitVariants, PlainBlitMatchesReference)
{
    const Layout layout = GetParam();
    Scene scene = MakeScene(layout, 7, 5, 12, 9, 1234 + static_cast<unsigned>(layout));
    const MEMIMG &src = scene.source->image;
    MEMIMG &dst = scene.destination->image;
    const POINT positions[] = {{1, 1}, {-2, 5}, {6, -1}};
    const RECT clips[] = {{0, 0, 12, 9}, {1, 0, 11, 8}};
    const auto untouched = RefBlit::ViewBytes(dst);
    int total = 0, changed = 0;

    for (int mode : kModes)
        for (int p : kParams)
            for (uint32_t bright : kBrights)
                for (int withBlend = 0; withBlend < 2; ++withBlend)
                    for (int flag : kFlags)
                        for (const POINT &at : positions)
                            for (const RECT &clip : clips)
                                for (int mmx = 0; mmx < 2; ++mmx) {
                                    RefBlit::Settings s{mode, p, bright, mmx != 0, flag, clip};
                                    scene.destination->Restore();
                                    BuildMemImgRunTable(&scene.source->image);
                                    const MEMIMG *blend = withBlend ? &scene.blend->image : nullptr;
                                    const auto expected = RefBlit::PlainBlit(dst, src, at.x, at.y, blend, s);
                                    ApplySettings(s);
                                    BlendBlitMemImg(&dst, &src, at.x, at.y, flag, blend);
                                    const auto actual = RefBlit::ViewBytes(dst);
                                    ASSERT_EQ(actual, expected)
                                        << LayoutName(layout) << " mode " << mode << " p " << p << " bright "
                                        << std::hex << bright << std::dec << " blend " << withBlend << " flag "
                                        << flag << " at " << at.x << "," << at.y << " clip " << clip.left
                                        << " mmx " << mmx;
                                    ASSERT_TRUE(scene.destination->GuardIntact());
                                    ++total;
                                    changed += actual != untouched;
                                }
    // Refused modes aside, the draws must change something, or the comparison proves nothing.
    EXPECT_GT(changed, total / 2);

}

TEST_P(BlitVariants, StretchBlitMatchesReference)
{
    const Layout layout = GetParam();
    Scene scene = MakeScene(layout, 5, 4, 16, 12, 99 + static_cast<unsigned>(layout));
    const MEMIMG &src = scene.source->image;
    MEMIMG &dst = scene.destination->image;
    const int rects[][4] = {
        {0, 0, 10, 8},     // x2
        {1, 1, 4, 3},      // about x0.5
        {14, 11, 1, 2},    // mirrored both ways, other size
        {7, 1, 2, 5},      // same size, mirrored left to right
        {-3, -2, 9, 7},    // clipped at the left and top
        {3, 10, 16, 13},   // clipped at the bottom and right
    };
    const RECT clip = {0, 0, 16, 12};
    for (int mode : kModes)
        for (int p : kParams)
            for (uint32_t bright : kBrights)
                for (int withBlend = 0; withBlend < 2; ++withBlend)
                    for (int flag : kFlags)
                        for (const auto &rect : rects)
                            for (int mmx = 0; mmx < 2; ++mmx) {
                                RefBlit::Settings s{mode, p, bright, mmx != 0, flag, clip};
                                scene.destination->Restore();
                                const MEMIMG *blend = withBlend ? &scene.blend->image : nullptr;
                                const auto expected = RefBlit::StretchBlit(dst, src, rect, blend, s);
                                ApplySettings(s);
                                StretchBlendBlitMemImg(&dst, &src, rect, flag, blend);
                                ASSERT_EQ(RefBlit::ViewBytes(dst), expected)
                                    << LayoutName(layout) << " mode " << mode << " p " << p << " bright " << std::hex
                                    << bright << std::dec << " blend " << withBlend << " flag " << flag << " rect "
                                    << rect[0] << "," << rect[1] << "," << rect[2] << "," << rect[3] << " mmx " << mmx;
                                ASSERT_TRUE(scene.destination->GuardIntact());
                            }
}

// Wide rows, so that the four-pixel vector loops of the 32-bit sources see many pixels.
TEST_P(BlitVariants, WideRowsMatchReference)
{
    const Layout layout = GetParam();
    Scene scene = MakeScene(layout, 37, 9, 40, 12, 555 + static_cast<unsigned>(layout));
    const MEMIMG &src = scene.source->image;
    MEMIMG &dst = scene.destination->image;
    const RECT clip = {0, 0, 40, 12};
    for (int mode : {0, 1, 2, 3, 4, 10, 11})
        for (int p : {1, 128, 200, 255})
            for (uint32_t bright : {0xFFFFFFu, 0x80C0FFu})
                for (int flag : {0, 2})
                    for (int mmx = 0; mmx < 2; ++mmx) {
                        RefBlit::Settings s{mode, p, bright, mmx != 0, flag, clip};
                        scene.destination->Restore();
                        const auto expected = RefBlit::PlainBlit(dst, src, 2, 1, nullptr, s);
                        ApplySettings(s);
                        BlendBlitMemImg(&dst, &src, 2, 1, flag, nullptr);
                        ASSERT_EQ(RefBlit::ViewBytes(dst), expected)
                            << LayoutName(layout) << " mode " << mode << " p " << p << " bright " << std::hex << bright
                            << std::dec << " flag " << flag << " mmx " << mmx;
                        ASSERT_TRUE(scene.destination->GuardIntact());
                    }
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, BlitVariants,
                         ::testing::Values(Layout::Palette32, Layout::Direct32, Layout::Alpha32, Layout::Palette16,
                                           Layout::Direct16, Layout::Alpha16),
                         [](const auto &info) { return std::string(LayoutName(info.param)); });

}  // namespace

namespace {

// Alpha sprites with long runs (clear, opaque, partly transparent) drawn along
// their run tables, plain and tinted, against the reference.
TEST(BlitAlphaRuns, LongRunsMatchReference)
{
    BuildMemImgLookupTables();
    std::mt19937 rng(77);
    GuardedImage source(45, 4, MEMIMG_KIND_XRGB32, 0, 1, 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 45; ++x) {
            const uint32_t kind = (static_cast<uint32_t>(x / 9 + y) % 3);   // runs of nine
            const uint32_t alpha = kind == 0 ? 0 : kind == 1 ? 255 : 1 + rng() % 254;
            const uint32_t v = (rng() & 0xFFFFFF) | alpha << 24;
            std::memcpy(source.Pixel(x, y), &v, 4);
        }
    BuildMemImgRunTable(&source.image);
    GuardedImage destination(50, 6, MEMIMG_KIND_XRGB32, 0, 0, 0);
    FillRandomBytes(destination, rng);
    destination.Snapshot();
    const RECT clip = {0, 0, 50, 6};
    for (uint32_t bright : {0xFFFFFFu, 0x80C0FFu})
        for (int mode : {0, 1}) {
            const RefBlit::Settings s{mode, 255, bright, false, 1, clip};
            destination.Restore();
            const auto expected = RefBlit::PlainBlit(destination.image, source.image, 3, 1, nullptr, s);
            ApplySettings(s);
            BlendBlitMemImg(&destination.image, &source.image, 3, 1, 1, nullptr);
            ASSERT_EQ(RefBlit::ViewBytes(destination.image), expected) << "bright " << std::hex << bright;
            ASSERT_TRUE(destination.GuardIntact());
        }
}

}  // namespace

namespace {

// Large copies in every store form (streaming, plain by vector loop, plain by
// string move; each forced): a plain copy, a slightly enlarging stretch (some
// rows repeat), a mirrored one and a doubling one cut by the destination's
// edges, against the reference.
TEST(BlitLargeCopies, EveryStoreFormMatchesReference)
{
    BuildMemImgLookupTables();
    std::mt19937 rng(91);
    GuardedImage source(700, 420, MEMIMG_KIND_XRGB32, 0, 0, 0);
    FillRandomBytes(source, rng);
    GuardedImage destination(703, 423, MEMIMG_KIND_XRGB32, 0, 0, 0);
    FillRandomBytes(destination, rng);
    destination.Snapshot();
    const RECT clip = {0, 0, 703, 423};
    const RefBlit::Settings s{0, 255, 0xFFFFFF, false, 0, clip};
    ApplySettings(s);
    struct StoreForm { const char *name; size_t streamingBytes; int stringMove; };
    for (const StoreForm &form : {StoreForm{"streaming", 1, 0}, StoreForm{"vector loop", SIZE_MAX, 0},
                                  StoreForm{"string move", SIZE_MAX, 1}}) {
        SetMemImgStreamingBytesOverride(form.streamingBytes);
        SetMemImgStringMoveOverride(form.stringMove);
        const char *stores = form.name;
        destination.Restore();
        const auto plain = RefBlit::PlainBlit(destination.image, source.image, 1, 2, nullptr, s);
        BlendBlitMemImg(&destination.image, &source.image, 1, 2, 0, nullptr);
        EXPECT_EQ(RefBlit::ViewBytes(destination.image), plain) << stores;
        for (const auto &rect : {std::array<int, 4>{0, 0, 703, 423}, std::array<int, 4>{702, 422, 1, 0},
                                 std::array<int, 4>{-5, -3, 1395, 837}}) {
            destination.Restore();
            const auto expected = RefBlit::StretchBlit(destination.image, source.image, rect.data(), nullptr, s);
            StretchBlendBlitMemImg(&destination.image, &source.image, rect.data(), 0, nullptr);
            EXPECT_EQ(RefBlit::ViewBytes(destination.image), expected)
                << stores << " rect " << rect[0] << "," << rect[1] << "," << rect[2] << "," << rect[3];
            EXPECT_TRUE(destination.GuardIntact());
        }
    }
    SetMemImgStreamingBytesOverride(0);
    SetMemImgStringMoveOverride(-1);
}

}  // namespace

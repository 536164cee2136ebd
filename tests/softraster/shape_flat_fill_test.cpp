// Packed add and subtract, and filled rectangles in every blend mode.
#include <gtest/gtest.h>

#include <random>

#include "shape_flat_reference.h"
#include "shape_test_image.h"
#include "softraster/packed_add_sub.h"
#include "softraster/shapes.h"
#include "vector_form_choice.h"

using namespace Korvo;
using namespace shape_test;

namespace {

uint32_t Rgb(int r, int g, int b) { return static_cast<uint32_t>(b | (g << 8) | (r << 16)); }
uint32_t Rgb565(int r, int g, int b) { return static_cast<uint32_t>(b | (g << 5) | (r << 11)); }

}  // namespace

// The saturation is deliberately inexact in the low bits of green and red.
TEST(ShapePackedOps, AddKeepsItsInexactLowBits)
{
    EXPECT_EQ(PackedAddPixel32(0x00808080, 0x00808080), 0x01FFFFFFu);
    EXPECT_EQ(PackedAddPixel32(Rgb(0, 1, 0), Rgb(0, 1, 0)), Rgb(0, 1, 0));   // green 1 + 1 stays 1
    EXPECT_EQ(PackedAddPixel32(Rgb(0, 0, 1), Rgb(0, 0, 1)), Rgb(0, 0, 2));
    EXPECT_EQ(PackedAddPixel32(0xFF123456, 0), 0x00123456u);                  // fourth byte lost
    EXPECT_EQ(PackedAddPixel16(0x0001, 0x001F), 0x003Fu);
    EXPECT_EQ(PackedAddPixel16(Rgb565(0, 63, 0), Rgb565(0, 63, 0)), 0x0FE0u);
    EXPECT_EQ(PackedAddPixel16(0xFFFF, 0xFFFF), 0xFFFFu);
    // Green saturates at 62 and carries into red's low bit.
    EXPECT_EQ(PackedAddPixel16(Rgb565(0, 62, 0), Rgb565(0, 2, 0)), Rgb565(1, 62, 0));
}

TEST(ShapePackedOps, SubtractKeepsItsInexactLowBits)
{
    EXPECT_EQ(PackedSubtractPixel32(Rgb(128, 128, 128), Rgb(64, 64, 64)), Rgb(65, 65, 64));
    EXPECT_EQ(PackedSubtractPixel32(Rgb(255, 255, 255), Rgb(255, 255, 255)), Rgb(1, 1, 0));
    EXPECT_EQ(PackedSubtractPixel32(0, Rgb(0, 0, 255)), Rgb(1, 0, 0));
    EXPECT_EQ(PackedSubtractPixel32(Rgb(255, 255, 255), Rgb(1, 1, 1)), Rgb(255, 255, 254));
    EXPECT_EQ(PackedSubtractPixel32(0xFF000000u | Rgb(128, 128, 128), 0), Rgb(129, 129, 128));
    EXPECT_EQ(PackedSubtractPixel16(0xFFFF, 0), Rgb565(31, 62, 31));
    EXPECT_EQ(PackedSubtractPixel16(0xFFFF, 0xFFFF), Rgb565(1, 0, 0));
    EXPECT_EQ(PackedSubtractPixel16(Rgb565(16, 32, 16), Rgb565(8, 16, 8)), Rgb565(9, 16, 8));
    EXPECT_EQ(PackedSubtractPixel16(0, 0), Rgb565(1, 0, 0));
}

// The word operations agree with the per-channel rules on every kind of input.
TEST(ShapePackedOps, MatchPerChannelRules)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 200000; ++i) {
        const uint32_t d = rng(), s = rng() & 0x00FFFFFF;
        ASSERT_EQ(PackedAddPixel32(d, s), ReferencePackedAdd(1, d, s)) << std::hex << d << " " << s;
        ASSERT_EQ(PackedSubtractPixel32(d, s), ReferencePackedSubtract(1, d, s)) << std::hex << d << " " << s;
        const uint32_t d16 = d & 0xFFFF, s16 = s & 0xFFFF;
        ASSERT_EQ(PackedAddPixel16(d16, s16), ReferencePackedAdd(0, d16, s16));
        ASSERT_EQ(PackedSubtractPixel16(d16, s16), ReferencePackedSubtract(0, d16, s16));
    }
}

TEST(ShapeFillRect, CornersInAnyOrderAndClip)
{
    TestImage img(32, 32, 1, 4);
    ResetDrawState(32, 32);
    RECT reversed{10, 20, 5, 8};
    FillBlendRectMemImg(img.image(), &reversed, static_cast<int32_t>(0xAB112233));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(img.Get(x, y), (x >= 5 && x < 10 && y >= 8 && y < 20) ? 0xAB112233u : 0u) << x << "," << y;

    img.Fill(0);
    RECT empty{4, 4, 4, 9};
    FillBlendRectMemImg(img.image(), &empty, 1);
    RECT clip{0, 0, 3, 3};
    SetMemImgClipRect(&clip);
    RECT outside{5, 5, 9, 9};
    FillBlendRectMemImg(img.image(), &outside, 1);
    for (uint32_t v : img.Pixels())
        ASSERT_EQ(v, 0u);
}

// A clip rectangle larger than the image, or with a negative corner, still
// fills only the image's own pixels.
TEST(ShapeFillRect, ClipLargerThanImageStaysInside)
{
    TestImage img(16, 8, 0, 2);
    ResetDrawState(16, 8);
    RECT huge{-100, -50, 1000, 1000};
    SetMemImgClipRect(&huge);
    FillBlendRectMemImg(img.image(), nullptr, 0x1234);
    RECT big{-40, -40, 400, 400};
    FillBlendRectMemImg(img.image(), &big, 0x1234);
    EXPECT_TRUE(img.GuardIntact());
    for (uint32_t v : img.Pixels())
        ASSERT_EQ(v, 0x1234u);
}

TEST(ShapeFillRect, RefusesPalettedAndAlphaImages)
{
    TestImage paletted(8, 8, 1, 1, false, true);
    TestImage alpha(8, 8, 1, 4, true);
    ResetDrawState(8, 8);
    FillBlendRectMemImg(paletted.image(), nullptr, 7);
    FillBlendRectMemImg(alpha.image(), nullptr, 7);
    for (uint32_t v : paletted.Pixels())
        ASSERT_EQ(v, 0u);
    for (uint32_t v : alpha.Pixels())
        ASSERT_EQ(v, 0u);
}

TEST(ShapeFillRect, WorkedValues)
{
    TestImage img(4, 1, 1, 4);
    ResetDrawState(4, 1);
    img.Fill(0x7F000000u | Rgb(250, 3, 200));
    SetMemImgBlendState(MEMIMG_BLEND_ADD, 255);
    FillBlendRectMemImg(img.image(), nullptr, static_cast<int32_t>(Rgb(10, 0, 100)));
    EXPECT_EQ(img.Get(0, 0), 0x01000000u | Rgb(255, 3, 255));     // red saturates: fourth byte 1
    SetMemImgBlendState(MEMIMG_BLEND_SUBTRACT, 255);
    FillBlendRectMemImg(img.image(), nullptr, 0);
    EXPECT_EQ(img.Get(0, 0) >> 24, 0u);

    // Bright 0xFFFFFE: a white colour drops one step, blue to 253.
    img.Fill(0);
    SetMemImgBlendState(MEMIMG_BLEND_COPY, 0);
    SetMemImgBrightColor(0xFFFFFE);
    FillBlendRectMemImg(img.image(), nullptr, static_cast<int32_t>(0xFFFFFFFFu));
    EXPECT_EQ(img.Get(1, 0), 0xFF000000u | Rgb(254, 254, 253));

    TestImage img16(3, 1, 0, 2);
    ResetDrawState(3, 1);
    img16.Fill(0xFFFF);
    SetMemImgBlendState(MEMIMG_BLEND_MULTIPLY, 0);
    FillBlendRectMemImg(img16.image(), nullptr, 0xFFFF);
    EXPECT_EQ(img16.Get(2, 0), Rgb565(30, 62, 30));
}

// Every mode, parameter and bright colour on both kinds against the reference.
TEST(ShapeFillRect, EveryModeMatchesReference)
{
    std::mt19937 rng(11);
    const int modes[] = {0, 1, 2, 3, 4, 5, 9, 10, 11, 12, -1};
    for (int kind = 0; kind <= 1; ++kind) {
        TestImage img(13, 9, kind, kind == 1 ? 4 : 2);
        for (int mode : modes) {
            for (int trial = 0; trial < 12; ++trial) {
                ResetDrawState(13, 9);
                const int p = trial == 0 ? 0 : trial == 1 ? 255 : static_cast<int>(rng() % 256);
                const uint32_t bright = trial % 3 == 0 ? 0xFFFFFF : (rng() & 0xFFFFFF);
                const uint32_t color = kind == 1 ? rng() : (rng() & 0xFFFF);
                SetMemImgBlendState(mode, p);
                SetMemImgBrightColor(bright);
                RECT clip{static_cast<LONG>(rng() % 4), static_cast<LONG>(rng() % 4), 13, 9};
                SetMemImgClipRect(&clip);
                img.FillRandom(rng);
                if (kind == 0)
                    for (int y = 0; y < 9; ++y)
                        for (int x = 0; x < 13; ++x)
                            img.Set(x, y, img.Get(x, y) & 0xFFFF);
                const std::vector<uint32_t> before = img.Pixels();
                RECT area{static_cast<LONG>(rng() % 14), static_cast<LONG>(rng() % 10),
                          static_cast<LONG>(rng() % 14), static_cast<LONG>(rng() % 10)};
                FillBlendRectMemImg(img.image(), &area, static_cast<int32_t>(color));
                const uint32_t prepared = ReferenceShiftedColor(kind, color, bright);
                const int x0 = std::max<int>(std::min(area.left, area.right), clip.left);
                const int x1 = std::max(area.left, area.right);
                const int y0 = std::max<int>(std::min(area.top, area.bottom), clip.top);
                const int y1 = std::max(area.top, area.bottom);
                for (int y = 0; y < 9; ++y)
                    for (int x = 0; x < 13; ++x) {
                        const uint32_t d = before[y * 13 + x];
                        const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
                        const uint32_t expected = inside ? ReferenceFlatPixel(kind, mode, p, prepared, d) : d;
                        ASSERT_EQ(img.Get(x, y), expected)
                            << "kind " << kind << " mode " << mode << " p " << p << " at " << x << "," << y;
                    }
                ASSERT_TRUE(img.GuardIntact());
            }
        }
    }
}

// Additive fills in every vector form, on rows long enough for the widest
// steps and their tails, from every start column (so every alignment), against the reference.
TEST(ShapeFillRect, AddMatchesReferenceInEveryVectorForm)
{
    constexpr int kWidth = 71, kHeight = 3;
    std::mt19937 rng(29);
    TestImage img(kWidth, kHeight, 1, 4);
    vector_forms::ForEachVectorForm([&](int) {
        for (int trial = 0; trial < 300; ++trial) {
            ResetDrawState(kWidth, kHeight);
            const int p = trial % 4 == 0 ? 255 : 1 + static_cast<int>(rng() % 255);
            const uint32_t bright = trial % 3 == 0 ? 0xFFFFFF : (rng() & 0xFFFFFF);
            const uint32_t color = rng();
            SetMemImgBlendState(MEMIMG_BLEND_ADD, p);
            SetMemImgBrightColor(bright);
            img.FillRandom(rng);
            const std::vector<uint32_t> before = img.Pixels();
            const LONG left = trial % kWidth;
            const LONG right = std::min<LONG>(kWidth, left + static_cast<LONG>(rng() % (kWidth + 1)));
            RECT area{left, 0, right, kHeight};
            FillBlendRectMemImg(img.image(), &area, static_cast<int32_t>(color));
            const uint32_t prepared = ReferenceShiftedColor(1, color, bright);
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    const uint32_t d = before[y * kWidth + x];
                    const uint32_t expected = x >= left && x < right ? ReferenceFlatPixel(1, 2, p, prepared, d) : d;
                    ASSERT_EQ(img.Get(x, y), expected) << "p " << p << " columns " << left << ".." << right
                                                       << " at " << x << "," << y;
                }
            ASSERT_TRUE(img.GuardIntact());
        }
    });
}

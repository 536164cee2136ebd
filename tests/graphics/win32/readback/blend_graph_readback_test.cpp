// A graph drawn through a blend graph of each type, on both roads, read back: a
// blend graph wider than the drawn graph, so that the two texture coordinate sets
// differ, whose alpha gates the drawn graph pixel for pixel where it lies over it
// (masking and threshold, also when the draw is clipped), and an opaque one that
// the drawn graph cross-fades to.

#include "tests/graphics/win32/device/library_session.h"

#include <cstdlib>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kDrawnWidth = 64;
constexpr int kBlendWidth = 128;
constexpr int kHeight = 16;
constexpr int kHiddenColumns = 24;  // the gating blend graph's alpha is 0 left of this column
constexpr uint32_t kRed = 0xF0281E;
constexpr uint32_t kBlue = 0x1428DC;

// blend x weight / 255 + drawn x (1 - weight / 255), per channel
uint32_t CrossFade(uint32_t drawn, uint32_t blend, int weight)
{
    uint32_t mixed = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = static_cast<int>((drawn >> shift) & 0xFF);
        const int b = static_cast<int>((blend >> shift) & 0xFF);
        mixed |= static_cast<uint32_t>((b * weight + d * (255 - weight) + 127) / 255) << shift;
    }
    return mixed;
}

// Within the two levels by which the roads' arithmetic may differ, per channel
bool NearColour(uint32_t a, uint32_t b)
{
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 2) {
            return false;
        }
    }
    return true;
}

TEST(BlendGraphReadbackTest, EachBlendGraphTypeDrawsAlikeOnBothRoads)
{
    const uint32_t background =
        (GraphicsTest::kBackgroundRed << 16) | (GraphicsTest::kBackgroundGreen << 8) | GraphicsTest::kBackgroundBlue;
    struct Case {
        const char *name;
        bool gating;      // the gating blend graph, else the opaque blue one
        int type;
        int values[2];
        bool thresholdFirst;  // a threshold selection comes before this one
        int clipLeft;     // DrawArea left edge; the graph is drawn at x = 100
    };
    const Case cases[] = {
        {"alpha masking", true, 2, {0, 0}, false, 0},
        {"alpha masking, clipped through the hidden part", true, 2, {0, 0}, false, 110},
        {"alpha masking, clipped past it", true, 2, {0, 0}, false, 130},
        {"threshold", true, 1, {128, 0}, false, 0},
        {"cross-fade, weight 0", false, 0, {0, 0}, false, 0},
        {"cross-fade, weight 255", false, 0, {255, 0}, false, 0},
        {"cross-fade, weight 128", false, 0, {128, 0}, false, 0},
        {"cross-fade, weight 255, after a threshold", false, 0, {255, 0}, true, 0},
    };
    for (bool direct3D : {true, false}) {
        SCOPED_TRACE(direct3D ? "Direct3D" : "software");
        ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(direct3D), 0);
        ASSERT_EQ(GraphicsState.direct3DModeActive != 0, direct3D);
        const int drawn = GraphicsTest::MakeColourGraph(kDrawnWidth, kHeight, kRed, 0);
        const int gate = GraphicsTest::MakeColourGraph(kBlendWidth, kHeight, kRed, kHiddenColumns);
        const int fade = GraphicsTest::MakeColourGraph(kBlendWidth, kHeight, kBlue, 0);
        ASSERT_NE(drawn, -1);
        ASSERT_NE(gate, -1);
        ASSERT_NE(fade, -1);
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            const int blend = c.gating ? gate : fade;
            ASSERT_EQ(SetDrawClipArea(0, 0, 640, 480), 0);
            ASSERT_EQ(ClearDrawScreen(), 0);
            ASSERT_EQ(SetDrawClipArea(c.clipLeft, 0, 640, 480), 0);
            ASSERT_EQ(SetBlendModeAndParam(1, 255), 0);
            if (c.thresholdFirst) {
                ASSERT_EQ(SetBlendGraphThreshold(blend, 10, 10), 0);
            }
            ASSERT_EQ(c.type == 2 ? SetBlendGraphByType(blend, 2)
                                  : SetBlendGraphByType(blend, c.type, c.values[0], c.values[1]),
                      0);
            EXPECT_EQ(DrawGraphAtPoint(100, 50, drawn, 0), 0);
            ASSERT_EQ(SetBlendGraphByType(0, 0), 0);
            SetBlendModeAndParam(0, 0);
            for (int column = 0; column < kDrawnWidth; ++column) {
                const int x = 100 + column;
                uint32_t want = c.gating ? (column < kHiddenColumns ? background : kRed)
                                         : CrossFade(kRed, kBlue, c.values[0]);
                if (x < c.clipLeft) {
                    want = background;
                }
                const uint32_t got = GraphicsTest::ReadTargetPixel(x, 58);
                ASSERT_TRUE(NearColour(got, want)) << "column " << column << std::hex << ": got " << got
                                                   << ", want " << want;
            }
        }
        EXPECT_EQ(DestroyGraphHandle(drawn, 0), 0);
        EXPECT_EQ(DestroyGraphHandle(gate, 0), 0);
        EXPECT_EQ(DestroyGraphHandle(fade, 0), 0);
        ASSERT_EQ(ShutdownLibrary(), 0);
    }
}

} // namespace

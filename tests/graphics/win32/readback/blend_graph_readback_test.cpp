// A blend graph wider than the drawn graph, so that the two texture coordinate
// sets differ: its alpha gates the drawn graph pixel for pixel where it lies over
// it, also when the draw is clipped.

#include "tests/graphics/win32/device/library_session.h"

#include "graphics/draw/draw_front_end.h"
#include "graphics/graphs/graph_record.h"
#include "image/pixel_access.h"

#include <vector>

using namespace Korvo;

namespace {

constexpr int kDrawnWidth = 64;
constexpr int kBlendWidth = 128;
constexpr int kHeight = 16;
constexpr int kHiddenColumns = 24;  // the blend graph's alpha is 0 left of this column

int MakeGraph(int width, bool alphaGate)
{
    RasterImage image = {};
    if ((alphaGate ? AllocArgb32Image(width, kHeight, &image) : AllocXrgb32Image(width, kHeight, &image)) != 0) {
        return -1;
    }
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < width; ++x) {
            WriteImagePixelRgba(&image, x, y, 240, 40, 30, alphaGate && x < kHiddenColumns ? 0 : 255);
        }
    }
    int handle = BuildGraphFromBaseImages(&image, nullptr, 0);
    FreeImageRecord(&image);
    return handle;
}

TEST(BlendGraphReadbackTest, TheBlendGraphsAlphaGatesTheDrawnGraphWhereItLiesOverIt)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
    const int drawn = MakeGraph(kDrawnWidth, false);
    const int blend = MakeGraph(kBlendWidth, true);
    ASSERT_NE(drawn, -1);
    ASSERT_NE(blend, -1);
    const uint32_t background =
        (GraphicsTest::kBackgroundRed << 16) | (GraphicsTest::kBackgroundGreen << 8) | GraphicsTest::kBackgroundBlue;
    const uint32_t red = 0xF0281E;
    struct Case {
        const char *name;
        int clipLeft;  // DrawArea left edge; the graph is drawn at x = 100
    };
    const Case cases[] = {{"whole", 0}, {"clipped through the hidden part", 110}, {"clipped past it", 130}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(SetDrawClipArea(0, 0, 640, 480), 0);
        ASSERT_EQ(ClearDrawScreen(), 0);
        ASSERT_EQ(SetDrawClipArea(c.clipLeft, 0, 640, 480), 0);
        ASSERT_EQ(SetBlendModeAndParam(1, 255), 0);
        ASSERT_EQ(SetBlendGraphByType(blend, 2), 0);
        EXPECT_EQ(DrawGraphAtPoint(100, 50, drawn, 0), 0);
        ASSERT_EQ(SetBlendGraphByType(0, 0), 0);
        SetBlendModeAndParam(0, 0);
        for (int column = 0; column < kDrawnWidth; ++column) {
            const int x = 100 + column;
            const uint32_t want = x < c.clipLeft || column < kHiddenColumns ? background : red;
            ASSERT_EQ(GraphicsTest::ReadTargetPixel(x, 58), want) << "column " << column;
        }
    }
    EXPECT_EQ(DestroyGraphHandle(drawn, 0), 0);
    EXPECT_EQ(DestroyGraphHandle(blend, 0), 0);
    ASSERT_EQ(ShutdownLibrary(), 0);
}

} // namespace

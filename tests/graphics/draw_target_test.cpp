// Graphs as draw targets: selection, the DrawArea and camera that follow the
// target, drawing and copying into graphs, the fall-back when the selected graph
// is deleted, and the device calls the Direct3D road makes for it.

#include "tests/graphics/graph_road_fixture.h"

using namespace Korvo;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

class DrawTargetTest : public GraphicsTest::GraphRoadTest {
};

TEST_P(DrawTargetTest, AGraphTargetTakesTheDrawAreaAndCameraOfItsSizeAndDeletionFallsBackToTheFrontScreen)
{
    const int graph = MakeGraph(64, 48, true);
    ASSERT_NE(graph, -1);
    ASSERT_EQ(SetDrawClipArea(10, 10, 100, 100), 0);
    ASSERT_EQ(SelectDrawTarget(graph), 0);
    EXPECT_EQ(GetSelectedDrawTarget(), graph);
    EXPECT_EQ((std::vector<LONG>{Draw.drawArea.left, Draw.drawArea.top, Draw.drawArea.right, Draw.drawArea.bottom}),
              (std::vector<LONG>{0, 0, 64, 48}));
    int width = 0;
    int height = 0;
    EXPECT_EQ(GetDrawTargetSize(&width, &height), 0);
    EXPECT_EQ(width * 1000 + height, 64048);
    EXPECT_EQ(SetDrawClipArea(-5, -5, 500, 500), 0);
    EXPECT_EQ(Draw.drawArea.right * 1000 + Draw.drawArea.bottom, 64048) << "clamped to the graph";
    RecordingDevice::Reset();
    ASSERT_EQ(SelectDrawTarget(graph), 0);
    EXPECT_EQ(CountCalls("D3DDev_SetRenderTarget"), 0) << "the surface is set already";
    EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
    EXPECT_EQ(CountCalls("D3DDev_SetRenderTarget"), GetParam() ? 1 : 0) << "back to the screen";
    EXPECT_EQ(GetSelectedDrawTarget(), -4);
    EXPECT_EQ(Draw.drawArea.right * 1000 + Draw.drawArea.bottom, kWidth * 1000 + kHeight);
}

TEST_P(DrawTargetTest, TargetsThatCannotBeDrawnIntoAreRefusedAndChangeNothing)
{
    const int plain = MakeGraph(16, 16, false);
    ASSERT_NE(plain, -1);
    const int deleted = MakeGraph(16, 16, true);
    ASSERT_EQ(DestroyGraphHandle(deleted, 0), 0);
    struct Case {
        const char *name;
        int target;
        bool refused;
    };
    // Software graphs are all drawable; Direct3D ones only when made so.
    const Case cases[] = {
        {"plain graph", plain, GetParam()}, {"deleted graph", deleted, true}, {"-1", -1, true}, {"-6", -6, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(SelectDrawTarget(-2), 0);
        RecordingDevice::Reset();
        EXPECT_EQ(SelectDrawTarget(c.target), c.refused ? -1 : 0);
        EXPECT_EQ(GetSelectedDrawTarget(), c.refused ? -2 : c.target);
        if (c.refused) {
            EXPECT_TRUE(RecordingDevice::Calls.empty());
        }
    }
}

TEST_P(DrawTargetTest, TheDepthGraphAndExtraSlotsTakeOnlyDrawableDeviceGraphs)
{
    const int drawable = MakeGraph(32, 32, true);
    const int plain = MakeGraph(32, 32, false);
    ASSERT_NE(drawable, -1);
    ASSERT_NE(plain, -1);
    // No graph here has a depth surface (only multisampled ones get one).
    EXPECT_EQ(SetDrawZBufferGraph(drawable), -1);
    EXPECT_EQ(SetDrawZBufferGraph(-5), 0);
    EXPECT_EQ(GetDrawZBufferGraph(), -2);
    EXPECT_EQ(SetRenderTargetSlot(1, drawable), GetParam() ? 0 : -1);
    EXPECT_EQ(GetRenderTargetSlot(1), GetParam() ? drawable : -1);
    EXPECT_EQ(SetRenderTargetSlot(1, plain), -1);
    EXPECT_EQ(SetRenderTargetSlot(4, drawable), -1) << "past the device's slot count";
    EXPECT_EQ(DestroyGraphHandle(drawable, 0), 0);
    EXPECT_EQ(GetRenderTargetSlot(1), -1) << "a deleted graph leaves its slot";
}

INSTANTIATE_TEST_SUITE_P(Roads, DrawTargetTest, ::testing::Values(false, true), GraphicsTest::RoadName);

TEST(DrawTargetSoftwareTest, DrawsLandInTheGraphAndCopiesMoveTheirRectangle)
{
    RecordingDevice::Reset();
    GraphicsState.started = 1;
    GraphicsState.direct3DModeActive = 0;
    StoreMainScreenSize(kWidth, kHeight);
    StoreScreenDepth(32);
    BuildMemImgLookupTables();
    ASSERT_EQ(InitGraphHandleType(), 0);
    GraphicsState.backgroundRed = GraphicsState.backgroundGreen = GraphicsState.backgroundBlue = 0;
    CreateSoftwareScreen();
    ResetDrawSettings();
    GraphCreateSettings settings;
    CaptureGraphCreateSettings(&settings);
    const int target = CreateBlankGraphFromSettings(&settings, 40, 30, 0, 0, nullptr);
    const int copy = CreateBlankGraphFromSettings(&settings, 40, 30, 0, 0, nullptr);
    ASSERT_NE(target, -1);
    ASSERT_NE(copy, -1);
    const uint32_t red = static_cast<uint32_t>(PackScreenColor(255, 0, 0)) & 0xFFFFFF;
    ASSERT_EQ(SelectDrawTarget(target), 0);
    FillDrawTargetWithBackground(nullptr);
    ASSERT_EQ(FillColorBox(5, 5, 15, 10, PackScreenColor(255, 0, 0)), 0);
    auto pixelOf = [](int graph, int x, int y) {
        RasterImage image;
        RECT one = {x, y, x + 1, y + 1};
        uint32_t pixel = 0xDEADBEEF;
        if (LockDrawScreenBuffer(&one, &image, graph, 1, 0) == 0) {
            pixel = *static_cast<const uint32_t *>(image.pixels) & 0xFFFFFF;
            UnlockDrawScreenBuffer();
        }
        return pixel;
    };
    struct Probe {
        int graph;
        int x, y;
        uint32_t want;
    };
    EXPECT_EQ(CopyDrawTargetRectToGraph(0, 0, 40, 30, copy), 0);
    EXPECT_EQ(CopyDrawTargetToGraph(target, 5, 5, 15, 10, 20, 20, copy), 0);
    EXPECT_EQ(CopyDrawTargetToGraph(target, 5, 5, 15, 10, 35, 20, copy), -1) << "does not fit";
    EXPECT_EQ(CopyDrawTargetRectToGraph(0, 0, 20, 30, copy), -1) << "size differs";
    const Probe probes[] = {{target, 5, 5, red},   {target, 14, 9, red},  {target, 15, 9, 0},
                            {copy, 5, 5, red},     {copy, 20, 20, red},   {copy, 29, 24, red},
                            {copy, 30, 24, 0},     {-2, 5, 5, 0x000000u}};
    for (const Probe &p : probes) {
        EXPECT_EQ(pixelOf(p.graph, p.x, p.y), p.want) << p.graph << " at " << p.x << ", " << p.y;
    }
    ASSERT_EQ(SelectDrawTarget(-2), 0);
    EXPECT_EQ(pixelOf(-1, 5, 5), 0x000000u) << "the screen was not drawn into";
    TermGraphHandleType();
    DisposeSoftwareScreen();
    GraphicsState.started = 0;
}

} // namespace

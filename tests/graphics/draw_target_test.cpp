// Graphs as draw targets: selection, the DrawArea that follows the target, the
// fall-back when the selected graph is deleted, the extra slots and the depth
// graph, and the device calls the Direct3D road makes for them. (Drawing into
// graphs and copying from targets are read back under Wine.)

#include "tests/graphics/graph_road_fixture.h"

using namespace Korvo;

namespace {

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

// Presenting sits above drawing: the screen code installs the front screen's
// refresh, and every accepted selection says whether the front is now drawn.
TEST_P(DrawTargetTest, SelectingATargetTellsTheInstalledRefreshStarterWhetherTheFrontScreenIsDrawn)
{
    static std::vector<int> flags;
    ASSERT_EQ(SetFrontScreenRefreshStarter([](int flag) {
                  flags.push_back(flag);
                  return 0;
              }),
              0);
    const int graph = MakeGraph(16, 16, true);
    ASSERT_NE(graph, -1);
    struct Case {
        const char *name;
        int target;
        std::vector<int> flags;
    };
    const Case cases[] = {{"front", -4, {1}}, {"back", -2, {0}}, {"graph", graph, {0}}, {"refused", -6, {}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        flags.clear();
        SelectDrawTarget(c.target);
        EXPECT_EQ(flags, c.flags);
    }
    ASSERT_EQ(SetFrontScreenRefreshStarter(nullptr), 0);
    flags.clear();
    EXPECT_EQ(SelectDrawTarget(-4), 0);
    EXPECT_TRUE(flags.empty()) << "nothing installed, nothing called";
}

INSTANTIATE_TEST_SUITE_P(Roads, DrawTargetTest, ::testing::Values(false, true), GraphicsTest::RoadName);

} // namespace

// A drawable graph as the draw target on both roads: drawn into, drawn onto the
// back screen, copied back into another graph, and read through
// LockDrawScreenBuffer. The Direct3D road gives the software road's pixels.

#include "tests/graphics/win32/device/library_session.h"

#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/draw/draw_target.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/startup_entries.h"

#include <string>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kGraphWidth = 64;
constexpr int kGraphHeight = 48;
constexpr int kAtX = 100;
constexpr int kAtY = 50;

int MakeDrawableGraph()
{
    GraphCreateSettings settings;
    CaptureGraphCreateSettings(&settings);
    settings.drawable = 1;
    return CreateBlankGraphFromSettings(&settings, kGraphWidth, kGraphHeight, 0, 0, nullptr);
}

// A rectangle of a screen or graph, 0x00RRGGBB row by row.
std::vector<uint32_t> ReadTarget(int target, int x, int y)
{
    std::vector<uint32_t> pixels(kGraphWidth * kGraphHeight, 0xDEADBEEF);
    RasterImage image = {};
    const RECT rect = {x, y, x + kGraphWidth, y + kGraphHeight};
    EXPECT_EQ(LockDrawScreenBuffer(&rect, &image, target, 1, 0), 0) << target;
    if (image.pixels == nullptr) {
        return pixels;
    }
    for (int row = 0; row < kGraphHeight; ++row) {
        const uint32_t *line =
            reinterpret_cast<const uint32_t *>(static_cast<const uint8_t *>(image.pixels) + row * image.pitch);
        for (int column = 0; column < kGraphWidth; ++column) {
            pixels[row * kGraphWidth + column] = line[column] & 0xFFFFFF;
        }
    }
    EXPECT_EQ(UnlockDrawScreenBuffer(), 0);
    return pixels;
}

int CountMismatches(const std::vector<uint32_t> &got, const std::vector<uint32_t> &want)
{
    int count = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        count += got[i] != want[i] ? 1 : 0;
    }
    return count;
}

TEST(DrawTargetReadbackTest, AGraphDrawnIntoShowsTheSamePixelsOnBothRoads)
{
    std::vector<uint32_t> softwareGraph;
    for (bool direct3D : {false, true}) {
        SCOPED_TRACE(direct3D ? "Direct3D" : "software");
        ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(direct3D), 0);
        ASSERT_EQ(GraphicsState.direct3DModeActive != 0, direct3D);
        const int graph = MakeDrawableGraph();
        const int copy = MakeDrawableGraph();
        ASSERT_NE(graph, -1);
        ASSERT_NE(copy, -1);

        ASSERT_EQ(SelectDrawTarget(graph), 0);
        ASSERT_EQ(ClearDrawScreen(), 0);
        EXPECT_EQ(FillColorBox(8, 8, 24, 20, PackScreenColor(240, 40, 30)), 0);
        EXPECT_EQ(DrawColorCircle(40, 24, 10, PackScreenColor(30, 60, 250), 1), 0);
        EXPECT_EQ(FillColorBox(50, 30, 200, 200, PackScreenColor(20, 230, 60)), 0) << "clipped to the graph";
        const std::vector<uint32_t> drawn = ReadTarget(-1, 0, 0);

        ASSERT_EQ(SelectDrawTarget(-2), 0);
        ASSERT_EQ(ClearDrawScreen(), 0);
        EXPECT_EQ(DrawGraphAtPoint(kAtX, kAtY, graph, 0), 0);
        EXPECT_EQ(CopyDrawTargetToGraph(-2, kAtX, kAtY, kAtX + kGraphWidth, kAtY + kGraphHeight, 0, 0, copy), 0);

        const std::vector<uint32_t> onScreen = ReadTarget(-2, kAtX, kAtY);
        const std::vector<uint32_t> copied = ReadTarget(copy, 0, 0);
        EXPECT_EQ(ReadTarget(graph, 0, 0), drawn) << "reading the graph when it is not the target";
        EXPECT_EQ(CountMismatches(onScreen, drawn), 0) << "the graph drawn 1:1 onto the screen";
        EXPECT_EQ(CountMismatches(copied, drawn), 0) << "the screen copied back into a graph";
        const uint32_t background = (GraphicsTest::kBackgroundRed << 16) | (GraphicsTest::kBackgroundGreen << 8) |
                                    GraphicsTest::kBackgroundBlue;
        EXPECT_EQ(drawn[0], background);
        EXPECT_EQ(drawn[10 * kGraphWidth + 10], 0xF0281Eu);
        EXPECT_EQ(drawn[(kGraphHeight - 1) * kGraphWidth + kGraphWidth - 1], 0x14E63Cu);
        if (!direct3D) {
            softwareGraph = drawn;
        } else {
            EXPECT_EQ(CountMismatches(drawn, softwareGraph), 0) << "the Direct3D graph equals the software one";
        }
        EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
        EXPECT_EQ(DestroyGraphHandle(copy, 0), 0);
        ASSERT_EQ(ShutdownLibrary(), 0);
    }
}

TEST(DrawTargetReadbackTest, TheSubBackBufferKeepsTheFrameAndTakesLaterDrawing)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
    ASSERT_EQ(ClearDrawScreen(), 0);
    EXPECT_EQ(FillColorBox(10, 10, 20, 20, PackScreenColor(240, 40, 30)), 0);
    ASSERT_EQ(UseSubBackBuffer(), 0);
    ASSERT_NE(ScreenSubBackBuffer, nullptr);
    EXPECT_EQ(UseSubBackBuffer(), 0) << "made once";
    EXPECT_EQ(FillColorBox(30, 10, 40, 20, PackScreenColor(20, 230, 60)), 0);
    struct Probe {
        int x, y;
        uint32_t want;
    };
    const uint32_t background =
        (GraphicsTest::kBackgroundRed << 16) | (GraphicsTest::kBackgroundGreen << 8) | GraphicsTest::kBackgroundBlue;
    const Probe probes[] = {{15, 15, 0xF0281E}, {35, 15, 0x14E63C}, {25, 15, background}};
    for (const Probe &p : probes) {
        EXPECT_EQ(GraphicsTest::ReadTargetPixel(p.x, p.y), p.want) << p.x;
    }
    EXPECT_EQ(PresentBackScreen(), 0);
    ASSERT_EQ(ShutdownLibrary(), 0);
    EXPECT_EQ(ScreenSubBackBuffer, nullptr) << "released with the device";
}

// Whichever way the start-up timing chose to read the whole screen (locking its
// surface, or the system-memory copy kept between reads), a whole read takes
// that road and a smaller one copies its rectangle, and each gives what was
// drawn: at the screen's edges, after a graph of another size was read in
// between, and after the device was made again (the kept copies belonged to the
// old device, and the rebuild's timing chose anew, so the road is named again).
TEST(DrawTargetReadbackTest, BothWaysOfReadingTheScreenGiveTheDrawnPixels)
{
    const uint32_t background =
        (GraphicsTest::kBackgroundRed << 16) | (GraphicsTest::kBackgroundGreen << 8) | GraphicsTest::kBackgroundBlue;
    for (int byLock : {1, 0}) {
        SCOPED_TRACE(byLock != 0 ? "lock" : "kept copy");
        ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
        ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
        const int graph = MakeDrawableGraph();
        ASSERT_NE(graph, -1);
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round == 0 ? "first device" : "device made again");
            DeviceCaps.backBufferLock = byLock;
            ASSERT_EQ(AllocSubBackBuffer(), 0);
            ASSERT_EQ(SelectDrawTarget(-2), 0);
            const int colour = round == 0 ? PackScreenColor(240, 40, 30) : PackScreenColor(30, 60, 250);
            const uint32_t want = round == 0 ? 0xF0281Eu : 0x1E3CFAu;
            ASSERT_EQ(ClearDrawScreen(), 0);
            EXPECT_EQ(FillColorBox(600, 440, 640, 480, colour), 0);
            const std::vector<uint32_t> whole = GraphicsTest::ReadScreenPixels(640, 480, 0);
            EXPECT_EQ(LastScreenReadRoad(), byLock != 0 ? kScreenReadLock : kScreenReadWholeCopy);
            EXPECT_EQ(whole[0], background);
            EXPECT_EQ(whole[479 * 640 + 639], want);
            ReadTarget(graph, 0, 0);
            const std::vector<uint32_t> corner = ReadTarget(-2, 640 - kGraphWidth, 480 - kGraphHeight);
            EXPECT_EQ(LastScreenReadRoad(), kScreenReadRectCopy);
            EXPECT_EQ(corner[0], background);
            EXPECT_EQ(corner[kGraphWidth * kGraphHeight - 1], want);
            EXPECT_EQ(GraphicsTest::ReadTargetPixel(599, 439), background);
            EXPECT_EQ(GraphicsTest::ReadTargetPixel(639, 479), want);
            EXPECT_EQ(LastScreenReadRoad(), kScreenReadRectCopy);
            if (round == 0) {
                ASSERT_EQ(RecreateGraphicsDevice(), 0);
            }
        }
        EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
        ASSERT_EQ(ShutdownLibrary(), 0);
    }
}

// Multisampled screens and graphs are read through a copy that resolves them:
// the whole surface and rectangles at its edges give what was drawn.
TEST(DrawTargetReadbackTest, MultisampledScreensAndGraphsReadAsDrawn)
{
    DeviceSettings.multiSampleType = 4;
    DeviceSettings.multiSampleQuality = 0;
    const int started = GraphicsTest::StartLibraryOnRoad(true);
    DeviceSettings.multiSampleType = 0;
    ASSERT_EQ(started, 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
    GraphCreateSettings settings;
    CaptureGraphCreateSettings(&settings);
    settings.drawable = 1;
    settings.multiSampleCount = 4;
    const int graph = CreateBlankGraphFromSettings(&settings, kGraphWidth, kGraphHeight, 0, 0, nullptr);
    ASSERT_NE(graph, -1);
    const uint32_t background =
        (GraphicsTest::kBackgroundRed << 16) | (GraphicsTest::kBackgroundGreen << 8) | GraphicsTest::kBackgroundBlue;
    for (int target : {-2, graph}) {
        SCOPED_TRACE(target);
        ASSERT_EQ(SelectDrawTarget(target), 0);
        int width = 0;
        int height = 0;
        ASSERT_EQ(GetDrawTargetSize(&width, &height), 0);
        K_D3DSURFACE_DESC desc = {};
        ASSERT_GE(D3DSurf_GetDesc(GetDrawTargetSurface(target, 0), &desc), 0);
        EXPECT_NE(desc.MultiSampleType, 0u) << "Wine gives 4 samples";
        ASSERT_EQ(ClearDrawScreen(), 0);
        EXPECT_EQ(FillColorBox(width - 10, height - 10, width, height, PackScreenColor(240, 40, 30)), 0);
        const std::vector<uint32_t> whole = GraphicsTest::ReadScreenPixels(width, height, 0);
        EXPECT_EQ(whole[0], background);
        EXPECT_EQ(whole.back(), 0xF0281Eu);
        EXPECT_EQ(GraphicsTest::ReadTargetPixel(width - 1, height - 1), 0xF0281Eu);
        EXPECT_EQ(LastScreenReadRoad(), kScreenReadRectCopy);
        EXPECT_EQ(GraphicsTest::ReadTargetPixel(width - 11, height - 11), background);
    }
    EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
    ASSERT_EQ(ShutdownLibrary(), 0);
}

} // namespace

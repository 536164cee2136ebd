// Graphs and fonts across a device rebuild through the library's own entry:
// every handle stays valid, the drawn pixels come back equal, and ten pieces cut
// from one file cost one decode; a rebuild that falls back to software draws the
// same graphs from software images.

#include "library_session.h"

#include "font/public_api.h"
#include "graphics/graphs/graph_restore.h"
#include "graphics/device/d3d_call_wrappers.h"
#include "graphics/state/device_state_cache.h"
#include "graphics/draw/draw_target.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/startup_entries.h"
#include "graphics/state/transforms.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kWidth = 50;
constexpr int kHeight = 20;

void PutLittle(std::vector<uint8_t> &out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// A 24-bit bottom-up BMP with no black pixel (black is the transparent colour).
std::string WriteBmp()
{
    int rowBytes = (kWidth * 3 + 3) & ~3;
    std::vector<uint8_t> file = {'B', 'M'};
    PutLittle(file, static_cast<uint32_t>(54 + rowBytes * kHeight), 4);
    PutLittle(file, 0, 4);
    PutLittle(file, 54, 4);
    PutLittle(file, 40, 4);
    PutLittle(file, kWidth, 4);
    PutLittle(file, kHeight, 4);
    PutLittle(file, 1, 2);
    PutLittle(file, 24, 2);
    for (int i = 0; i < 6; ++i) {
        PutLittle(file, 0, 4);
    }
    for (int y = kHeight - 1; y >= 0; --y) {
        for (int x = 0; x < kWidth; ++x) {
            file.push_back(static_cast<uint8_t>((x + y) * 3 + 30));
            file.push_back(static_cast<uint8_t>(y * 10 + 20));
            file.push_back(static_cast<uint8_t>(x * 4 + 20));
        }
        file.resize(file.size() + static_cast<size_t>(rowBytes - kWidth * 3), 0);
    }
    std::string path = "restore_source.bmp";
    FILE *out = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    return path;
}

std::vector<uint32_t> ReadBackCorner()
{
    RasterImage image = {};
    const RECT area = {0, 0, 128, 64};
    std::vector<uint32_t> pixels;
    EXPECT_EQ(LockDrawScreenBuffer(&area, &image, -1, 1, 0), 0);
    for (int y = 0; image.pixels != nullptr && y < 64; ++y) {
        const uint32_t *row = reinterpret_cast<const uint32_t *>(static_cast<uint8_t *>(image.pixels) + y * image.pitch);
        for (int x = 0; x < 128; ++x) {
            pixels.push_back(row[x] & 0xFFFFFF);
        }
    }
    EXPECT_EQ(UnlockDrawScreenBuffer(), 0);
    return pixels;
}

std::vector<uint32_t> DrawAndReadBack(int graph, const int *pieces)
{
    EXPECT_EQ(ClearDrawScreen(), 0);
    EXPECT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(DrawGraphAtPoint(60 + (i % 5) * 12, 30 + (i / 5) * 12, pieces[i], 0), 0);
    }
    return ReadBackCorner();
}

int CountDifferences(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b)
{
    EXPECT_EQ(a.size(), b.size());
    int differences = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        differences += a[i] != b[i] ? 1 : 0;
    }
    return differences;
}

// A started library with a graph and ten pieces of one BMP; the scene they draw.
void LoadSceneGraphs(std::string *bmp, int *graph, int *pieces, std::vector<uint32_t> *scene)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    *bmp = WriteBmp();
    *graph = CreateGraphFromImageFile(bmp->c_str(), 0);
    ASSERT_NE(*graph, -1);
    ASSERT_EQ(CreateDivGraphFromImageFile(bmp->c_str(), 10, 5, 2, 10, 10, pieces, 0), 0);
    *scene = DrawAndReadBack(*graph, pieces);
    ASSERT_EQ(scene->size(), 128u * 64u);
}

// The rebuild alone, or the release of a deactivation followed by the rebuild.
void ExpectGraphsBackAfterRebuild(bool releasedFirst)
{
    std::string bmp;
    int graph = -1;
    int pieces[10];
    std::vector<uint32_t> before;
    ASSERT_NO_FATAL_FAILURE(LoadSceneGraphs(&bmp, &graph, pieces, &before));
    EXPECT_NE(before[5 * 128 + 5], before[40 * 128 + 120]) << "the scene is not blank";
    RowMatrix4 view = StateCache.view;
    view.m[3][0] += 5.0f;
    ASSERT_EQ(SetViewMatrix(&view), 0);
    int decodes = GetGraphRestoreDecodeCount();
    if (releasedFirst) {
        ReleaseGraphicsDevice();
    }
    ASSERT_EQ(RecreateGraphicsDevice(), 0);
    EXPECT_EQ(GetGraphRestoreDecodeCount() - decodes, 2) << "one for the graph, one for all ten pieces";
    EXPECT_EQ(IsGraphHandleReady(graph), 1);
    for (int piece : pieces) {
        EXPECT_EQ(IsGraphHandleReady(piece), 1);
    }
    EXPECT_EQ(std::memcmp(&StateCache.view, &view, sizeof(view)), 0) << "the camera is kept";
    EXPECT_EQ(CountDifferences(before, DrawAndReadBack(graph, pieces)), 0);
    EXPECT_EQ(ShutdownLibrary(), 0);
    std::remove(bmp.c_str());
}

// One rebuild per process: a second device rebuild after drawing in the same
// process sometimes ends in a page fault inside Wine's Direct3D libraries.
TEST(GraphRestoreTest, GraphsComeBackAfterARebuildWithOneDecodePerSource)
{
    ExpectGraphsBackAfterRebuild(false);
}

TEST(ReleasedDeviceRestoreTest, GraphsComeBackWhenTheDeviceWasReleasedBeforeTheRebuild)
{
    ExpectGraphsBackAfterRebuild(true);
}

// The surface on a further render-target slot is the graph's, on the device in use.
void ExpectSlotShowsGraph(int slot, int graph)
{
    K_IDirect3DSurface9 *surface = nullptr;
    ASSERT_GE(D3DDev_GetRenderTarget(static_cast<DWORD>(slot), &surface), 0);
    EXPECT_NE(surface, nullptr);
    EXPECT_EQ(surface, GetDrawTargetSurface(graph, 0));
    if (surface != nullptr) {
        D3DRes_Release(surface);
    }
}

TEST(RenderTargetSlotRebuildTest, AFurtherRenderTargetSlotIsSetAgainAfterARebuild)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    if (DeviceCaps.renderTargetCount < 2) {
        EXPECT_EQ(ShutdownLibrary(), 0);
        GTEST_SKIP() << "the device has one render target";
    }
    GraphCreateSettings settings;
    CaptureGraphCreateSettings(&settings);
    settings.drawable = 1;
    int graph = CreateBlankGraphFromSettings(&settings, 64, 64, 0, 0, nullptr);
    ASSERT_NE(graph, -1);
    ASSERT_EQ(SetRenderTargetSlot(1, graph), 0);
    ExpectSlotShowsGraph(1, graph);
    ASSERT_EQ(RecreateGraphicsDevice(), 0);
    EXPECT_EQ(GetRenderTargetSlot(1), graph);
    ExpectSlotShowsGraph(1, graph);
    EXPECT_EQ(SetRenderTargetSlot(1, -1), 0);
    EXPECT_EQ(ShutdownLibrary(), 0);
}

int CallbackRuns = 0;
void CountCallbackRun() { ++CallbackRuns; }

// The routine a rebuild runs, and what the rebuild reports when a graph has no source.
TEST(GraphRestoreRoutineTest, TheSelectedRestoreRoutineOrAMissingSourceIsWhatTheRebuildReports)
{
    struct Case {
        const char *what;
        bool callback;
        bool deleteSource;
        int result;
        int decodes;
        const char *logText;
    };
    const Case cases[] = {
        {"built-in routine", false, false, 0, 1, "グラフィックの復帰が完了しました"},
        {"the caller's routine instead", true, false, 0, 0, nullptr},
        {"a source file gone", false, true, -1, 0, "restore_source.bmp がロードできませんでした"},
    };
    // One session: every device lifetime more in this process risks Wine's own fault.
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    std::string bmp = WriteBmp();
    ASSERT_NE(CreateGraphFromImageFile(bmp.c_str(), 0), -1);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        CallbackRuns = 0;
        SetGraphRestoreCallback(c.callback ? CountCallbackRun : nullptr);
        if (c.deleteSource) {
            std::remove(bmp.c_str());
        }
        int decodes = GetGraphRestoreDecodeCount();
        EXPECT_EQ(RecreateGraphicsDevice(), c.result);
        EXPECT_EQ(GetGraphRestoreDecodeCount() - decodes, c.decodes);
        EXPECT_EQ(CallbackRuns, c.callback ? 1 : 0);
        SetGraphRestoreCallback(nullptr);
        if (c.logText != nullptr) {
            EXPECT_NE(KorvoTest::ReadLogFile().find(c.logText), std::string::npos);
        }
    }
    EXPECT_EQ(ShutdownLibrary(), 0);
}

TEST(SoftwareFallbackRestoreTest, ARebuildThatFallsBackToSoftwareDrawsTheGraphsFromSoftwareImages)
{
    std::string bmp;
    int graph = -1;
    int pieces[10];
    std::vector<uint32_t> before;
    ASSERT_NO_FATAL_FAILURE(LoadSceneGraphs(&bmp, &graph, pieces, &before));
    GraphicsState.softwareOnlyRequest = 1;
    EXPECT_EQ(RecreateGraphicsDevice(), 0);
    GraphicsState.softwareOnlyRequest = 0;
    ASSERT_EQ(GraphicsState.direct3DModeActive, 0);
    EXPECT_EQ(IsGraphHandleReady(graph), 1);
    EXPECT_EQ(CountDifferences(before, DrawAndReadBack(graph, pieces)), 0);
    EXPECT_EQ(ShutdownLibrary(), 0);
    EXPECT_NE(KorvoTest::ReadLogFile().find("Alloc num:0"), std::string::npos);
    std::remove(bmp.c_str());
}

TEST(FontRebuildTest, FontsComeBackAfterARebuildUnderTheirHandles)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    int font = GetStandardFontHandle();
    ASSERT_EQ(IsFontHandleValid(font), 1);
    auto drawText = [] {
        EXPECT_EQ(ClearDrawScreen(), 0);
        EXPECT_EQ(DrawTextWithStandardFont(4, 4, "Korvo 0123", PackScreenColor(255, 255, 0), 0), 0);
        return ReadBackCorner();
    };
    std::vector<uint32_t> before = drawText();
    ASSERT_EQ(before.size(), 128u * 64u);
    const uint32_t background = before.back();  // the bottom-right corner is below the text
    int inked = 0;
    for (uint32_t pixel : before) {
        inked += pixel != background ? 1 : 0;
    }
    EXPECT_GT(inked, 20) << "the text is drawn";
    ASSERT_EQ(RecreateGraphicsDevice(), 0);
    EXPECT_EQ(GetStandardFontHandle(), font);
    EXPECT_EQ(IsFontHandleValid(font), 1);
    EXPECT_EQ(CountDifferences(before, drawText()), 0);
    EXPECT_EQ(ShutdownLibrary(), 0);
    EXPECT_NE(KorvoTest::ReadLogFile().find("Alloc num:0"), std::string::npos);
}

} // namespace

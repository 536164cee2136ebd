// The DirectShow road: Motion-JPEG AVIs made by the Debian encoder, loaded as
// graphs and played; their frames reach the graph through the library's
// renderer, a movie played once shows its frames to its end and stops, a looped
// one passes its end and starts again; what the program does to a movie while
// the window is inactive holds after the activation. A file no filter reads
// fails with its log lines and -1.

#include "tests/graphics/win32/device/library_session.h"
#include "tests/support/wait_backstop.h"

#include "core/system/win32/app_window.h"
#include "graphics/graphs/graph_record.h"
#include "movie/movie_handle.h"

#include <dshow.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <set>
#include <string>

using namespace Korvo;

namespace {

// The fixture copied into the working folder, where the library looks for it.
std::string CopyFixture(const char *name)
{
    std::ifstream in(std::string(KORVO_MOVIE_FIXTURE_DIR) + "/" + name, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty());
    std::ofstream(name, std::ios::binary) << bytes;
    return name;
}

// The filter graph's state once a change under way is done.
OAFilterState GraphState(const MovieHandleRecord *record)
{
    OAFilterState state = -1;
    static_cast<IMediaControl *>(record->mediaControl)->GetState(KorvoTest::kWaitBackstopSeconds * 1000, &state);
    return state;
}

// Sent outside the pump, the window applies it at once.
void SetWindowActive(bool active)
{
    SendMessageA(GetAppWindowHandle(), WM_ACTIVATE, active ? WA_ACTIVE : WA_INACTIVE, 0);
}

class DirectShowGraphTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(false), 0); }
    void TearDown() override { ASSERT_EQ(ShutdownLibrary(), 0); }
};

TEST_F(DirectShowGraphTest, AnEncodedMovieReachesTheGraph)
{
    const std::string path = CopyFixture("flat_colour.avi");
    const int graph = CreateGraphFromImageFile(path.c_str(), 0);
    ASSERT_NE(graph, -1) << KorvoTest::ReadFileBytes("Log.txt");
    const int movie = GetGraphRecord(graph, 0)->movieHandle;
    MovieHandleRecord *record = GetMovieHandleRecord(movie);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->theora, 0);
    EXPECT_EQ(record->width, 64);
    EXPECT_EQ(record->height, 48);
    ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
    KorvoTest::Backstop firstFrame("the movie's first frame", KorvoTest::kWaitBackstopSeconds);
    while (!record->frameDelivered && !firstFrame.Passed()) {
        ASSERT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
        ServiceMessageQueue();
        Sleep(10);
    }
    ASSERT_EQ(record->frameDelivered, 1) << firstFrame.Report();
    ASSERT_EQ(ClearDrawScreen(), 0);
    ASSERT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
    RasterImage image = {};
    const RECT area = {0, 0, 64, 48};
    ASSERT_EQ(LockDrawScreenBuffer(&area, &image, -1, 1, 0), 0);
    uint32_t centre = *reinterpret_cast<const uint32_t *>(static_cast<uint8_t *>(image.pixels) + 24 * image.pitch + 32 * 4);
    EXPECT_EQ(UnlockDrawScreenBuffer(), 0);
    EXPECT_NEAR(static_cast<int>((centre >> 16) & 0xFF), 0x30, 12);
    EXPECT_NEAR(static_cast<int>((centre >> 8) & 0xFF), 0x60, 12);
    EXPECT_NEAR(static_cast<int>(centre & 0xFF), 0xa0, 12);
    // Played once to its end, it stops.
    KorvoTest::Backstop end("the one-second movie's play to its end", KorvoTest::kWaitBackstopSeconds);
    while (!record->stopped && !end.Passed()) {
        ASSERT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
        ServiceMessageQueue();
        Sleep(10);
    }
    EXPECT_EQ(record->stopped, 1) << end.Report();
    EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
}

// A 3 s movie of 30 frames, each another picture, on both roads, played once or
// looped; once also as a graph that cannot tell its stop, which then ends at the
// graph's end of stream.
struct PlayCase {
    const char *name;
    bool direct3D;
    int playType;
    bool stopUnknown;
};

const PlayCase kPlayCases[] = {
    {"Direct3DOnce", true, 1, false},
    {"Direct3DLooped", true, 3, false},
    {"SoftwareOnce", false, 1, false},
    {"SoftwareLooped", false, 3, false},
    {"SoftwareOnceWithItsStopUnknown", false, 1, true},
};

void PrintTo(const PlayCase &c, std::ostream *out)
{
    *out << c.name;
}

constexpr LONGLONG kMovieLength100ns = 30000000;
constexpr LONGLONG kFrame100ns = 1000000;
// Frames a play must show: half of its 30 (steps on a busy machine may miss some).
constexpr int kLeastFramesSeen = 15;

class DirectShowPlayTest : public ::testing::TestWithParam<PlayCase> {
protected:
    void TearDown() override { EXPECT_EQ(ShutdownLibrary(), 0); }
};

// Played once, the movie shows its frames one after another and stops at its
// end; looped, its first picture comes back only after the others, and it goes
// on playing.
TEST_P(DirectShowPlayTest, AMovieOfDistinctFramesPlaysThroughItsLength)
{
    const PlayCase &c = GetParam();
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(c.direct3D), 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive != 0, c.direct3D);
    const std::string path = CopyFixture("sliding_bars.avi");
    const int graph = CreateGraphFromImageFile(path.c_str(), 0);
    ASSERT_NE(graph, -1) << KorvoTest::ReadFileBytes("Log.txt");
    const int movie = GetGraphRecord(graph, 0)->movieHandle;
    MovieHandleRecord *record = GetMovieHandleRecord(movie);
    ASSERT_NE(record, nullptr);
    // The graph knows the movie's length and stop from the renderer's seeking.
    EXPECT_NEAR(static_cast<double>(record->duration100ns), kMovieLength100ns, kMovieLength100ns / 10);
    EXPECT_NEAR(static_cast<double>(record->stopPosition100ns), kMovieLength100ns, kMovieLength100ns / 10);
    if (c.stopUnknown) {
        record->stopPosition100ns = 0;
    }

    ASSERT_EQ(StartMoviePlayback(movie, c.playType, 0), 0);
    std::set<size_t> pictures;
    size_t first = 0, last = 0;
    int picturesWhenTheFirstCameBack = -1;
    KorvoTest::Backstop backstop("the 3 s movie's play", KorvoTest::kWaitBackstopSeconds);
    while (!backstop.Passed() && picturesWhenTheFirstCameBack < 0 && (c.playType == 3 || !record->stopped)) {
        ASSERT_EQ(ClearDrawScreen(), 0);
        ASSERT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
        if (record->frameDelivered) {
            const std::vector<uint32_t> pixels = GraphicsTest::ReadScreenPixels(64, 48, 0);
            const size_t picture = std::hash<std::string>()(
                std::string(reinterpret_cast<const char *>(pixels.data()), pixels.size() * sizeof(uint32_t)));
            if (pictures.empty()) {
                first = picture;
            } else if (picture == first && last != first) {
                picturesWhenTheFirstCameBack = static_cast<int>(pictures.size());
            }
            pictures.insert(picture);
            last = picture;
        }
        ServiceMessageQueue();
        Sleep(10);
    }
    if (c.playType == 3) {
        EXPECT_GE(picturesWhenTheFirstCameBack, kLeastFramesSeen) << backstop.Report();
        EXPECT_EQ(record->stopped, 0);
    } else {
        EXPECT_EQ(record->stopped, 1) << backstop.Report();
        EXPECT_EQ(record->userPlaying, 0);
        EXPECT_GE(static_cast<int>(pictures.size()), kLeastFramesSeen);
        EXPECT_EQ(picturesWhenTheFirstCameBack, -1);
        LONGLONG stoppedAt = -1;
        EXPECT_EQ(static_cast<IMediaSeeking *>(record->mediaSeeking)->GetCurrentPosition(&stoppedAt), S_OK);
        EXPECT_GE(stoppedAt, kMovieLength100ns - 2 * kFrame100ns) << "stopped before its end";
    }
    EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Roads, DirectShowPlayTest, ::testing::ValuesIn(kPlayCases),
                         [](const ::testing::TestParamInfo<PlayCase> &info) { return info.param.name; });

TEST_F(DirectShowGraphTest, AFileNoFilterReadsFailsWithItsMessages)
{
    std::ofstream("noise.bin", std::ios::binary) << std::string(4096, '\x5a');
    EXPECT_EQ(CreateGraphFromImageFile("noise.bin", 0), -1);
    const std::string log = KorvoTest::ReadFileBytes("Log.txt");
    // The sources are compiled to cp932, as the log is written.
    EXPECT_NE(log.find("noise.bin が開けませんでした"), std::string::npos);
    EXPECT_NE(log.find("ムービーファイルオープン処理時にエラーが発生しました"), std::string::npos);
}

// What the program does to a movie while the window is inactive holds after the
// activation: one it starts does not run until then, one it pauses is not run again.
TEST_F(DirectShowGraphTest, WhatTheProgramDidWhileInactiveHoldsAfterTheActivation)
{
    const std::string path = CopyFixture("flat_colour.avi");
    const struct {
        const char *name;
        bool startedWhileInactive; // else started before and paused while inactive
        OAFilterState afterActivation;
    } rows[] = {
        {"started while inactive", true, State_Running},
        {"paused while inactive", false, State_Paused},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const int graph = CreateGraphFromImageFile(path.c_str(), 0);
        ASSERT_NE(graph, -1) << KorvoTest::ReadFileBytes("Log.txt");
        const int movie = GetGraphRecord(graph, 0)->movieHandle;
        const MovieHandleRecord *record = GetMovieHandleRecord(movie);
        ASSERT_NE(record, nullptr);
        ASSERT_EQ(GetAppActiveState(), 1);
        if (!row.startedWhileInactive) {
            ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
        }
        SetWindowActive(false);
        ASSERT_EQ(GetAppActiveState(), 0);
        if (row.startedWhileInactive) {
            ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
        } else {
            ASSERT_EQ(PauseMoviePlayback(movie, 0), 0);
        }
        EXPECT_NE(GraphState(record), State_Running) << "the movie runs while the window is inactive";
        SetWindowActive(true);
        ASSERT_EQ(GetAppActiveState(), 1);
        EXPECT_EQ(GraphState(record), row.afterActivation);
        EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
    }
}

} // namespace

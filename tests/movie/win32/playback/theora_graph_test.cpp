// Ogg Theora movies (written by the theoramovie writer, flat colours chosen by
// frame number, with and without a Vorbis soundtrack that sounds) loaded as
// graphs: frames reach the graph and read back with their own colours, seeks
// land on the frame asked for, looping restarts, the frames follow the
// soundtrack, and the end is reported.

#include "tests/graphics/win32/device/library_session.h"
#include "tests/support/wait_backstop.h"

#include "graphics/graphs/graph_image_set.h"
#include "graphics/graphs/graph_record.h"
#include "graphics/startup_entries.h"
#include "movie/movie_handle.h"
#include "movie/startup_entries.h"
#include "movie/win32/movie_renderer_filter.h"
#include "sound/public_api.h"
#include "tools/theoramovie/theora_movie_writer.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kFrames = 30;

std::string WriteMovie(const char *name, int withSound)
{
    TheoraMovieRecipe recipe;
    recipe.frames = kFrames;
    recipe.withSound = withSound;
    EXPECT_TRUE(WriteTheoraMovieFile(recipe, name));
    return name;
}

// The graph drawn at (0, 0) and read back at its centre and a corner: both
// within coding loss of frame n's colour.
void ExpectGraphShowsFrame(int graph, int n)
{
    ASSERT_EQ(ClearDrawScreen(), 0);
    ASSERT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
    RasterImage image = {};
    const RECT area = {0, 0, 64, 48};
    ASSERT_EQ(LockDrawScreenBuffer(&area, &image, -1, 1, 0), 0);
    int r, g, b;
    TheoraMovieFrameRgb(n, &r, &g, &b);
    for (int at : {0, 24 * 64 + 32}) {
        uint32_t pixel = *reinterpret_cast<const uint32_t *>(static_cast<uint8_t *>(image.pixels) +
                                                           (at / 64) * image.pitch + (at % 64) * 4);
        EXPECT_NEAR(static_cast<int>((pixel >> 16) & 0xFF), r, 3) << "frame " << n;
        EXPECT_NEAR(static_cast<int>((pixel >> 8) & 0xFF), g, 3) << "frame " << n;
        EXPECT_NEAR(static_cast<int>(pixel & 0xFF), b, 3) << "frame " << n;
    }
    EXPECT_EQ(UnlockDrawScreenBuffer(), 0);
}

MovieHandleRecord *MovieOfGraph(int graph, int *movie)
{
    GraphRecord *record = GetGraphRecord(graph, 0);
    *movie = record != nullptr ? record->movieHandle : -1;
    return GetMovieHandleRecord(*movie);
}

// Put the movie clock `us` microseconds after frame 0.
void SetClockTo(MovieHandleRecord *record, uint64_t us)
{
    record->clockStartUs = GetMicrosecondClock() - us;
}

class TheoraGraphTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(false), 0); }
    void TearDown() override { ASSERT_EQ(ShutdownLibrary(), 0); }
};

TEST_F(TheoraGraphTest, FramesSeeksLoopingAndTheEndReachTheGraph)
{
    const std::string path = WriteMovie("silent.ogv", 0);
    const int graph = CreateGraphFromImageFile(path.c_str(), 0);
    ASSERT_NE(graph, -1);
    int movie = -1;
    MovieHandleRecord *record = MovieOfGraph(graph, &movie);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->theora, 1);
    EXPECT_EQ(record->width, 64);
    EXPECT_EQ(record->height, 48);
    EXPECT_EQ(record->soundtrack, -1);
    EXPECT_EQ(record->stopped, 1);
    ExpectGraphShowsFrame(graph, 0);

    // Seeks on a stopped movie: the step still hands the frame to the graph.
    for (int frame : {17, 3, 29, 8, 16, 25}) {
        SeekTheoraFrame(record->player, frame);
        ExpectGraphShowsFrame(graph, frame);
    }

    // Looping: 3.5 frames past the end shows frame 3.
    SeekTheoraFrame(record->player, 0);
    ASSERT_EQ(StartMoviePlayback(movie, 3, 0), 0);
    SetClockTo(record, (kFrames + 3) * 100000ull + 50000);
    ExpectGraphShowsFrame(graph, 3);
    EXPECT_EQ(record->stopped, 0);

    // Paused, then started later: it goes on from the frame on show.
    ASSERT_EQ(PauseMoviePlayback(movie, 0), 0);
    Sleep(300);
    ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
    EXPECT_LE(GetTheoraCurrentFrame(record->player) , 4);
    ExpectGraphShowsFrame(graph, GetTheoraCurrentFrame(record->player));

    // Once: past the end it shows the last frame, and the next step reports the end.
    SetClockTo(record, (kFrames + 5) * 100000ull);
    ExpectGraphShowsFrame(graph, kFrames - 1);
    EXPECT_EQ(StepMoviePlayback(movie, 0), 0);
    EXPECT_EQ(record->stopped, 1);
    EXPECT_EQ(record->userPlaying, 0);

    // Suspend and resume bring back only a movie the user had playing.
    ASSERT_EQ(StartMoviePlayback(movie, 3, 0), 0);
    EXPECT_EQ(SuspendAllMovies(), 0);
    EXPECT_EQ(record->stopped, 1);
    EXPECT_EQ(ResumeSuspendedMovies(), 0);
    EXPECT_EQ(record->stopped, 0);
    ASSERT_EQ(PauseMoviePlayback(movie, 0), 0);
    EXPECT_EQ(ResumeSuspendedMovies(), 0);
    EXPECT_EQ(record->stopped, 1);

    EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
    EXPECT_EQ(GetMovieHandleRecord(movie), nullptr); // the graph closed its movie
}

// Frame n's colour as a device converts YUV at full range (Wine's conversion;
// drivers use the video range that the player's own tables use).
void FullRangeFrameRgb(int n, int *r, int *g, int *b)
{
    int y, u, v;
    TheoraMovieFrameColour(n, &y, &u, &v);
    auto clamp = [](double c) { return c < 0 ? 0 : (c > 255 ? 255 : static_cast<int>(c + 0.5)); };
    *r = clamp(y + 1.402 * (v - 128));
    *g = clamp(y - 0.344 * (u - 128) - 0.714 * (v - 128));
    *b = clamp(y + 1.772 * (u - 128));
}

// The graph drawn by the device shows frame n at each point, as converted at
// video range or at full range (all three channels within 3 of one of them).
void ExpectDeviceConvertedFrame(int graph, int n, std::initializer_list<POINT> points)
{
    ASSERT_EQ(ClearDrawScreen(), 0);
    ASSERT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
    RasterImage image = {};
    const RECT area = {0, 0, 64, 48};
    ASSERT_EQ(LockDrawScreenBuffer(&area, &image, -1, 1, 0), 0);
    int expected[2][3];
    TheoraMovieFrameRgb(n, &expected[0][0], &expected[0][1], &expected[0][2]);
    FullRangeFrameRgb(n, &expected[1][0], &expected[1][1], &expected[1][2]);
    for (POINT at : points) {
        uint32_t pixel =
            *reinterpret_cast<const uint32_t *>(static_cast<uint8_t *>(image.pixels) + at.y * image.pitch + at.x * 4);
        const int seen[3] = {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
                             static_cast<int>(pixel & 0xFF)};
        bool matches = false;
        for (const auto &rgb : expected) {
            matches = matches || (std::abs(seen[0] - rgb[0]) <= 3 && std::abs(seen[1] - rgb[1]) <= 3 &&
                                  std::abs(seen[2] - rgb[2]) <= 3);
        }
        EXPECT_TRUE(matches) << "frame " << n << " at " << at.x << "," << at.y << ": " << seen[0] << " " << seen[1]
                             << " " << seen[2] << ", video range " << expected[0][0] << " " << expected[0][1] << " "
                             << expected[0][2] << ", full range " << expected[1][0] << " " << expected[1][1] << " "
                             << expected[1][2];
    }
    EXPECT_EQ(UnlockDrawScreenBuffer(), 0);
}

// Drawn by Direct3D, a movie's frames go through the YUV surface: the device
// converts them (the frame image is never filled) and each of the graph's four
// texture pieces (textures of at most 32 x 32 here) gets its own quarter. After
// the device is made again the surface is made again and the frame comes back.
TEST(TheoraYuvSurfaceTest, FramesReachEveryPieceThroughTheSurfaceAndSurviveANewDevice)
{
    ASSERT_EQ(GraphicsTest::StartLibraryOnRoad(true), 0);
    ASSERT_EQ(GraphicsState.direct3DModeActive, 1);
    const int savedMax = DeviceCaps.maxTextureSize;
    DeviceCaps.maxTextureSize = 32;
    const std::string path = WriteMovie("yuv.ogv", 0);
    const int graph = CreateGraphFromImageFile(path.c_str(), 0);
    DeviceCaps.maxTextureSize = savedMax;
    ASSERT_NE(graph, -1);
    int movie = -1;
    MovieHandleRecord *record = MovieOfGraph(graph, &movie);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->player->yuvSurface, nullptr) << "the device takes none of YV12, YUY2, UYVY";
    const uint32_t fourcc = record->player->surfaceFourcc;
    std::printf("YUV surface layout: %.4s\n", reinterpret_cast<const char *>(&fourcc));
    EXPECT_EQ(GetGraphRecord(graph, 0)->imageSet->pieceCount, 4);

    // One point in each piece, left of the movie's patterned strip (x >= 48).
    const std::initializer_list<POINT> quarters = {{2, 2}, {40, 3}, {5, 40}, {44, 45}};
    for (int frame : {0, 17, 3, 29, 8}) {
        SeekTheoraFrame(record->player, frame);
        ExpectDeviceConvertedFrame(graph, frame, quarters);
    }
    EXPECT_EQ(record->player->imageCopied, 0); // no conversion on the processor

    // Both roads to a new device let go of the surface and the textures before
    // the old device goes (full-screen deactivation releases first, then rebuilds).
    for (bool releasedFirst : {false, true}) {
        if (releasedFirst) {
            ReleaseGraphicsDevice();
            EXPECT_EQ(record->player->yuvSurface, nullptr);
            EXPECT_EQ(GetGraphRecord(graph, 0)->imageSet->pieces[0].texture, nullptr);
        }
        ASSERT_EQ(RecreateGraphicsDevice(), 0);
        EXPECT_EQ(record->player->yuvSurface, nullptr); // let go with the old device
        ExpectDeviceConvertedFrame(graph, 8, quarters);
        EXPECT_NE(record->player->yuvSurface, nullptr);
    }

    EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
    EXPECT_EQ(ShutdownLibrary(), 0);
}

// The sound's place as a frame, at most the last.
int FrameOfSound(int ms)
{
    return ms * 10 / 1000 < kFrames - 1 ? ms * 10 / 1000 : kFrames - 1;
}

// Where the soundtrack plays, or -1 while it does not.
int SoundingPositionMs(int soundtrack)
{
    return IsSoundHandlePlaying(soundtrack) == 1 ? GetSoundHandlePlayPositionMs(soundtrack) : -1;
}

// One play drawn pass by pass: the frames shown in order, the furthest place the
// soundtrack reached, and the draws whose frame was not that of the sound's
// place (read before and after the draw, which steps the movie in between).
struct WatchedPlay {
    std::vector<int> frames;
    int furthestSoundMs = -1;
    int offTheSound = 0;
    std::string firstOff;
};

// Draw until the movie stops or `until` says so.
template <typename Until>
WatchedPlay WatchPlay(int graph, MovieHandleRecord *record, Until until)
{
    WatchedPlay play;
    KorvoTest::Backstop backstop("the play of the 3 s movie", KorvoTest::kWaitBackstopSeconds);
    while (record->stopped == 0 && !until(play) && !backstop.Passed()) {
        const int before = SoundingPositionMs(record->soundtrack);
        EXPECT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
        const int frame = GetTheoraCurrentFrame(record->player);
        const int after = SoundingPositionMs(record->soundtrack);
        if (before >= 0 && after >= 0 && (frame < FrameOfSound(before) || frame > FrameOfSound(after)) &&
            play.offTheSound++ == 0) {
            play.firstOff = "frame " + std::to_string(frame) + " with the sound at " + std::to_string(before) +
                            " to " + std::to_string(after) + " ms";
        }
        play.furthestSoundMs = after > play.furthestSoundMs ? after : play.furthestSoundMs;
        if (play.frames.empty() || play.frames.back() != frame) {
            play.frames.push_back(frame);
        }
        ServiceMessageQueue();
        Sleep(10);
    }
    EXPECT_FALSE(backstop.Passed()) << backstop.Report();
    return play;
}

// A play once through: forward only, to the last frame, each frame that of the
// sound's place, and the soundtrack sounding all along.
void ExpectPlayedThrough(const WatchedPlay &play, int firstFrame)
{
    ASSERT_FALSE(play.frames.empty());
    EXPECT_EQ(play.frames.front(), firstFrame);
    EXPECT_EQ(play.frames.back(), kFrames - 1);
    for (size_t i = 1; i < play.frames.size(); ++i) {
        EXPECT_GT(play.frames[i], play.frames[i - 1]) << "never backwards";
    }
    EXPECT_EQ(play.offTheSound, 0) << "draws off the sound's frame; the first: " << play.firstOff;
    EXPECT_GE(play.furthestSoundMs, (kFrames - 2) * 100) << "the soundtrack did not sound to its end";
}

// With a soundtrack, a movie that does not loop still ends, on its last frame
// once the soundtrack has played out; its frames follow the sound. Started
// again, the soundtrack plays from its start and the frames with it.
TEST_F(TheoraGraphTest, AMovieWithSoundPlaysToItsEndAndAgain)
{
    const std::string path = WriteMovie("sound.ogv", 1);
    const int graph = CreateGraphFromImageFile(path.c_str(), 0);
    ASSERT_NE(graph, -1);
    int movie = -1;
    MovieHandleRecord *record = MovieOfGraph(graph, &movie);
    ASSERT_NE(record, nullptr);
    if (record->soundtrack == -1) {
        EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
        GTEST_SKIP() << "no sound output: the movie has no soundtrack";
    }
    EXPECT_NEAR(GetSoundHandleLengthMs(record->soundtrack), kFrames * 100, 150);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "the first play" : "started again after its end");
        ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
        ExpectPlayedThrough(WatchPlay(graph, record, [](const WatchedPlay &) { return false; }), 0);
        EXPECT_EQ(record->stopped, 1);
        EXPECT_EQ(record->userPlaying, 0);
        ExpectGraphShowsFrame(graph, kFrames - 1);
    }
    EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
}

// The clock and the soundtrack can disagree (the clock restarts from the
// frame on show, the sound from where it stopped). Pausing takes the frame of
// the sound's held place, so resuming goes on from there rather than back;
// and once the soundtrack has stopped, a clock behind the frame on show moves
// a movie played once nowhere, while a looping one wraps to the clock's frame.
TEST_F(TheoraGraphTest, TheFrameOnShowFollowsTheSoundThroughAPause)
{
    const std::string path = WriteMovie("paused.ogv", 1);
    const int graph = CreateGraphFromImageFile(path.c_str(), 0);
    ASSERT_NE(graph, -1);
    int movie = -1;
    MovieHandleRecord *record = MovieOfGraph(graph, &movie);
    ASSERT_NE(record, nullptr);
    if (record->soundtrack == -1) {
        EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
        GTEST_SKIP() << "no sound output: the movie has no soundtrack";
    }
    ASSERT_EQ(StartMoviePlayback(movie, 3, 0), 0);
    // A second of sound first, the frames with it.
    const WatchedPlay played =
        WatchPlay(graph, record, [](const WatchedPlay &play) { return play.furthestSoundMs >= 1000; });
    EXPECT_EQ(played.offTheSound, 0) << "draws off the sound's frame; the first: " << played.firstOff;
    ASSERT_GE(played.furthestSoundMs, 1000) << "the soundtrack does not sound";
    SetClockTo(record, 25 * 100000ull + 50000); // the clock runs far ahead of the sound
    ASSERT_EQ(PauseMoviePlayback(movie, 0), 0);
    const int heldMs = GetSoundHandlePlayPositionMs(record->soundtrack);
    const int paused = GetTheoraCurrentFrame(record->player);
    EXPECT_EQ(paused, FrameOfSound(heldMs)) << "sound held at " << heldMs << " ms";
    ASSERT_EQ(StartMoviePlayback(movie, 3, 0), 0);
    ASSERT_EQ(DrawGraphAtPoint(0, 0, graph, 0), 0);
    EXPECT_GE(GetTheoraCurrentFrame(record->player), paused);
    ExpectGraphShowsFrame(graph, GetTheoraCurrentFrame(record->player));

    const struct {
        int playType, shownAfter;
    } cases[] = {{1, 12}, {3, 3}};
    for (const auto &c : cases) {
        ASSERT_EQ(PauseMoviePlayback(movie, 0), 0);
        ASSERT_EQ(StartMoviePlayback(movie, c.playType, 0), 0);
        StopSoundHandlePlayback(record->soundtrack); // as if it had played out
        SetClockTo(record, 12 * 100000ull + 50000);
        ExpectGraphShowsFrame(graph, 12);
        SetClockTo(record, 3 * 100000ull + 50000);
        ExpectGraphShowsFrame(graph, c.shownAfter);
        EXPECT_EQ(GetTheoraCurrentFrame(record->player), c.shownAfter) << "play type " << c.playType;
    }
    EXPECT_EQ(DestroyGraphHandle(graph, 0), 0);
}

} // namespace

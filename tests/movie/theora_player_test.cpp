// The Theora player on movies of known frame colours: the page index and
// keyframe table, frame moves with wrap, seeks to any frame (the last too), the
// colour conversion, and mutated files through header reading and the index.

#include "movie_test_streams.h"
#include "theora_test_movie.h"

#include "movie/startup_entries.h"
#include "movie/theora_player.h"
#include "tests/core/log_capture.h"
#include "tools/theoramovie/theora_movie_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <random>
#include <string>

using namespace Korvo;
using namespace MovieTestStreams;
using namespace TheoraTestMovie;

namespace {

TEST(TheoraPlayer, IndexesEveryFrameAndItsKeyframes)
{
    OpenMovie movie;
    TheoraMovieRecipe recipe;
    recipe.frames = 25;
    recipe.withSound = 1;
    Open(&movie, recipe, 10);
    TheoraMovieInfo info;
    GetTheoraMovieInfo(movie.player, &info);
    EXPECT_EQ(info.frameCount, 25);
    EXPECT_EQ(info.width, 64);
    EXPECT_EQ(info.height, 48);
    EXPECT_DOUBLE_EQ(info.framesPerSecond, 10.0);
    for (int f = 0; f < 25; ++f) {
        EXPECT_EQ(movie.player->keyframes[f], f % 8 == 0 ? 1 : 0) << f;
    }
    int64_t counted = 0;
    for (int i = 0; i < movie.player->pageIndexCount; ++i) {
        EXPECT_EQ(movie.player->pageIndex[i].firstFrame, counted);
        counted += movie.player->pageIndex[i].frameCount;
    }
    EXPECT_EQ(counted, 25);
    ExpectFrameShown(movie.player, 0);
}

TEST(TheoraPlayer, AdvancingWrapsOncePastTheEnd)
{
    OpenMovie movie;
    TheoraMovieRecipe recipe;
    recipe.frames = 25;
    Open(&movie, recipe, 10);
    // 0 -> 30 lands on 5; then small and stock-sized steps, across the wrap.
    const int steps[] = {30, 1, 3, 10, 6, 2, 9, 12};
    int expected = 0;
    for (int step : steps) {
        AdvanceTheoraFrames(movie.player, step);
        expected = (expected + step) % 25;
        ExpectFrameShown(movie.player, expected);
    }
}

TEST(TheoraPlayer, SeeksLandOnTheFrameAskedFor)
{
    OpenMovie movie;
    TheoraMovieRecipe recipe;
    recipe.frames = 40;
    recipe.width = 96;
    recipe.height = 64;
    Open(&movie, recipe, 4);
    const struct {
        int ask, lands;
    } cases[] = {{17, 17}, {3, 3}, {39, 39}, {8, 8}, {16, 16}, {500, 39}, {-4, 0}, {31, 31}};
    for (const auto &c : cases) {
        SeekTheoraFrame(movie.player, c.ask);
        ExpectFrameShown(movie.player, c.lands);
        // A seek to the last frame leaves the thread working: the next step still shows frames.
        EXPECT_NE(movie.player->threadState.load(), kTheoraEnded) << c.ask;
    }
    AdvanceTheoraFrames(movie.player, 2);
    ExpectFrameShown(movie.player, 33);
}

TEST(TheoraPlayer, ConvertsFourTwoZeroByTablesAndOtherLayoutsPixelByPixel)
{
    BuildTheoraYuvTables();
    const struct {
        int y, u, v;
    } colours[] = {{16, 128, 128}, {235, 128, 128}, {81, 90, 240}, {145, 54, 34}, {41, 240, 110}, {0, 0, 255}, {255, 255, 0}};
    for (int layout = 0; layout < 2; ++layout) {
        for (const auto &c : colours) {
            uint8_t y[16], u[16], v[16];
            std::fill(y, y + 16, c.y);
            std::fill(u, u + 16, c.u);
            std::fill(v, v + 16, c.v);
            TheoraFrameStockEntry e{};
            e.planeY = y;
            e.planeU = u;
            e.planeV = v;
            e.yWidth = e.yHeight = e.yStride = 4;
            e.uvWidth = e.uvHeight = e.uvStride = layout == 0 ? 2 : 4;
            uint8_t out[4 * 4 * 4];
            ConvertTheoraFrameToXrgb(&e, 0, 0, out, 16, 4, 4);
            double luma = 1.164 * (c.y - 16);
            auto clamp = [](double x) { return x < 0 ? 0.0 : (x > 255 ? 255.0 : x); };
            for (int px = 0; px < 16; ++px) {
                EXPECT_NEAR(out[px * 4 + 2], clamp(luma + 1.596 * (c.v - 128)), 1.01);
                EXPECT_NEAR(out[px * 4 + 1], clamp(luma - 0.391 * (c.u - 128) - 0.813 * (c.v - 128)), 1.01);
                EXPECT_NEAR(out[px * 4 + 0], clamp(luma + 2.018 * (c.u - 128)), 1.01);
                EXPECT_EQ(out[px * 4 + 3], 255);
            }
        }
    }
}

// A 4 x 4 frame whose every chroma sample differs: each pixel takes the
// sample its layout puts over it (4:2:2 halves only the width, 4:4:4 nothing).
TEST(TheoraPlayer, ReadsChromaAtEachLayoutsOwnScale)
{
    BuildTheoraYuvTables();
    const struct {
        const char *name;
        int uvWidth, uvHeight;
    } layouts[] = {{"4:2:0", 2, 2}, {"4:2:2", 2, 4}, {"4:4:4", 4, 4}};
    for (const auto &l : layouts) {
        uint8_t y[16], u[16], v[16];
        for (int i = 0; i < 16; ++i) {
            y[i] = static_cast<uint8_t>(100 + i * 3);
            u[i] = static_cast<uint8_t>(60 + i * 9);
            v[i] = static_cast<uint8_t>(200 - i * 8);
        }
        TheoraFrameStockEntry e{};
        e.planeY = y, e.planeU = u, e.planeV = v;
        e.yWidth = e.yHeight = e.yStride = 4;
        e.uvWidth = l.uvWidth, e.uvHeight = l.uvHeight, e.uvStride = l.uvWidth;
        uint8_t out[4 * 4 * 4];
        ConvertTheoraFrameToXrgb(&e, 0, 0, out, 16, 4, 4);
        auto clamp = [](double x) { return x < 0 ? 0.0 : (x > 255 ? 255.0 : x); };
        for (int py = 0; py < 4; ++py) {
            for (int px = 0; px < 4; ++px) {
                int chroma = (py * l.uvHeight / 4) * l.uvWidth + px * l.uvWidth / 4;
                double luma = 1.164 * (y[py * 4 + px] - 16), cu = u[chroma] - 128.0, cv = v[chroma] - 128.0;
                const uint8_t *p = out + (py * 4 + px) * 4;
                EXPECT_NEAR(p[2], clamp(luma + 1.596 * cv), 1.01) << l.name << " at " << px << "," << py;
                EXPECT_NEAR(p[1], clamp(luma - 0.391 * cu - 0.813 * cv), 1.01) << l.name << " at " << px << "," << py;
                EXPECT_NEAR(p[0], clamp(luma + 2.018 * cu), 1.01) << l.name << " at " << px << "," << py;
            }
        }
    }
}

// A 4 x 2 frame whose every sample differs, written into each surface layout at
// a pitch wider than the row; a 4:4:4 frame is not written at all.
TEST(TheoraPlayer, WritesFourTwoZeroFramesInEachSurfaceLayout)
{
    uint8_t y[2 * 6] = {10, 11, 12, 13, 0, 0, 20, 21, 22, 23, 0, 0}; // stride 6
    uint8_t u[4] = {30, 31, 0, 0};
    uint8_t v[4] = {40, 41, 0, 0};
    TheoraFrameStockEntry e{};
    e.planeY = y, e.planeU = u, e.planeV = v;
    e.yWidth = 4, e.yHeight = 2, e.yStride = 6;
    e.uvWidth = 2, e.uvHeight = 1, e.uvStride = 4;
    const int pitch = 10;
    const struct {
        uint32_t fourcc;
        std::vector<uint8_t> rows; // pitch-wide rows, 0xEE where nothing is written
    } cases[] = {
        // Y rows, then the V row and the U row at half the pitch.
        {kTheoraSurfaceYV12, {10, 11, 12, 13, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                              20, 21, 22, 23, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                              40, 41, 0xEE, 0xEE, 0xEE, 30, 31, 0xEE, 0xEE, 0xEE}},
        {kTheoraSurfaceYUY2, {10, 30, 11, 40, 12, 31, 13, 41, 0xEE, 0xEE,
                              20, 30, 21, 40, 22, 31, 23, 41, 0xEE, 0xEE}},
        {kTheoraSurfaceUYVY, {30, 10, 40, 11, 31, 12, 41, 13, 0xEE, 0xEE,
                              30, 20, 40, 21, 31, 22, 41, 23, 0xEE, 0xEE}},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> bits(c.rows.size(), 0xEE);
        EXPECT_EQ(CopyTheoraFrameToYuvBits(&e, {0, 0, 4, 2}, c.fourcc, bits.data(), pitch, 2), 1);
        EXPECT_EQ(bits, c.rows) << std::hex << c.fourcc;
    }
    e.uvWidth = 4, e.uvHeight = 2; // 4:4:4
    std::vector<uint8_t> bits(40, 0xEE);
    EXPECT_EQ(CopyTheoraFrameToYuvBits(&e, {0, 0, 4, 2}, kTheoraSurfaceYUY2, bits.data(), pitch, 2), 0);
    EXPECT_EQ(bits, std::vector<uint8_t>(40, 0xEE));
}

TEST(TheoraPlayer, RefusesFilesWithoutATheoraStream)
{
    TheoraMovieRecipe recipe;
    std::vector<uint8_t> movie;
    ASSERT_TRUE(WriteTheoraMovie(recipe, &movie));
    const std::vector<uint8_t> files[] = {
        {},
        {'R', 'I', 'F', 'F', 0, 0, 0, 0},
        std::vector<uint8_t>(movie.begin(), movie.begin() + 200), // cut inside the headers
    };
    for (const auto &bytes : files) {
        StreamHandle stream = OpenBytes(bytes);
        EXPECT_EQ(OpenTheoraPlayer(MemoryTable(), stream, 10, nullptr), nullptr);
        CloseBytes(stream);
    }
}

// Headers the decoder will not start on (a frame width off its 16-pixel grid,
// which stands for any refusal: the decoder gives no picture at all) fail the
// opening instead of leaving it waiting for a first frame.
TEST(TheoraPlayer, FailsToStartWhenTheDecoderRefusesTheHeaders)
{
    TheoraMovieRecipe recipe;
    std::vector<uint8_t> movie;
    ASSERT_TRUE(WriteTheoraMovie(recipe, &movie));
    StreamHandle stream = OpenBytes(movie);
    TheoraPlayer *player = AllocTheoraPlayer(MemoryTable(), stream);
    ASSERT_EQ(ParseTheoraHeaders(player), 1);
    ASSERT_EQ(BuildTheoraPageIndex(player), 0);
    player->info.width = 63;
    EXPECT_EQ(StartTheoraPlayback(player, 10, nullptr), -1);
    EXPECT_EQ(player->decoderStarted, 0);
    CloseTheoraPlayer(player);
    CloseBytes(stream);
}

// A keyframe whose packet the decoder refuses is never shown: as the first
// frame it fails the opening with a log line; later the last good frame stays
// on show and the frames after it come.
TEST(TheoraPlayer, AFrameThatDoesNotDecodeIsNotShown)
{
    BuildTheoraYuvTables();
    TheoraMovieRecipe recipe;
    recipe.frames = 12;
    std::vector<uint8_t> damagedFirst;
    ASSERT_TRUE(WriteTheoraMovie(recipe, &damagedFirst));
    std::vector<uint8_t> damagedLater = damagedFirst;
    ASSERT_TRUE(DamageKeyframePacket(&damagedFirst, 0));
    ASSERT_TRUE(DamageKeyframePacket(&damagedLater, 8));

    KorvoTest::StartFreshLog();
    StreamHandle stream = OpenBytes(damagedFirst);
    EXPECT_EQ(OpenTheoraPlayer(MemoryTable(), stream, 4, nullptr), nullptr);
    CloseBytes(stream);
    EXPECT_NE(KorvoTest::ReadLogFile().find("Theora ムービーの最初のフレームをデコードできませんでした"),
              std::string::npos);

    OpenMovie movie;
    movie.stream = OpenBytes(damagedLater);
    movie.player = OpenTheoraPlayer(MemoryTable(), movie.stream, 4, nullptr);
    ASSERT_NE(movie.player, nullptr);
    AdvanceTheoraFrames(movie.player, 7);
    ExpectFrameShown(movie.player, 7);
    AdvanceTheoraFrames(movie.player, 1);
    EXPECT_EQ(CopyTheoraFrameToTargets(movie.player, 1, 0, nullptr), 0);
    ExpectImageOfFrame(movie.player, 7);
    AdvanceTheoraFrames(movie.player, 1);
    EXPECT_EQ(CopyTheoraFrameToTargets(movie.player, 1, 0, nullptr), 1);
}

// A first frame that is slow to come is waited for while the decode thread
// reads on: each of its first two reads lasts 2,000 of the main thread's
// polls, more than the wait's bound of 3,000 together. One that does not come
// (the thread stuck in its first read until the opening is over) is logged as
// a stall, not as a frame that did not decode, and the movie opens black and
// shows the frame once the read returns.
TEST(TheoraPlayer, OpeningWaitsForASlowFirstFrameAndOpensAStalledOne)
{
    BuildTheoraYuvTables();
    TheoraMovieRecipe recipe;
    recipe.width = 640; // headers and first frame fill more than one read
    recipe.height = 480;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(WriteTheoraMovie(recipe, &bytes));
    for (const bool stalls : {false, true}) {
        SCOPED_TRACE(stalls ? "stalled" : "slow");
        KorvoTest::StartFreshLog();
        StreamHandle stream = OpenBytes(bytes);
        TheoraPlayer *player = AllocTheoraPlayer(MemoryTable(), stream);
        ASSERT_EQ(ParseTheoraHeaders(player), 1);
        ASSERT_EQ(BuildTheoraPageIndex(player), 0);
        std::atomic<bool> opening{true};
        std::atomic<int> slowReads{stalls ? 0 : 2};
        std::atomic<int> reads{0};
        SetReadGate([&] {
            const uint32_t start = player->mainThreadWaitPolls;
            const bool slow = slowReads-- > 0;
            while (!player->stopRequest && opening &&
                   (stalls || (slow && player->mainThreadWaitPolls - start < 2000))) {
                SleepMilliseconds(1);
            }
            ++reads;
        });
        EXPECT_EQ(StartTheoraPlayback(player, 4, nullptr), 0);
        const int readsWhileOpening = reads;
        opening = false;
        const std::string log = KorvoTest::ReadLogFile();
        EXPECT_EQ(log.find("Theora ムービーの最初のフレームをデコードできませんでした"), std::string::npos);
        EXPECT_EQ(log.find("Theora ムービーデコード用スレッドが応答しません") != std::string::npos, stalls);
        if (stalls) {
            const uint8_t *first = static_cast<const uint8_t *>(GetTheoraFrameImage(player)->pixels);
            EXPECT_EQ(first[0] | first[1] | first[2], 0) << "no picture before the first frame";
        } else {
            EXPECT_GE(readsWhileOpening, 2) << "the first frame came before both slow reads";
        }
        EXPECT_TRUE(ThreadGoesIdle(player)); // moving again: the copy waits for the frame
        ExpectFrameShown(player, 0);
        CloseTheoraPlayer(player);
        SetReadGate(nullptr);
        CloseBytes(stream);
    }
}

// Mutated movies through header reading and the page index; every tenth also
// opens fully (decode thread, seek, copy). The sanitizers catch bad accesses.
TEST(TheoraPlayer, SurvivesTwoThousandMutatedFiles)
{
    BuildTheoraYuvTables();
    TheoraMovieRecipe recipe;
    recipe.frames = 12;
    recipe.keyframeInterval = 4;
    recipe.withSound = 1;
    std::vector<uint8_t> valid;
    ASSERT_TRUE(WriteTheoraMovie(recipe, &valid));
    std::mt19937 random(20261209);
    int opened = 0;
    for (int i = 0; i < 2000; ++i) {
        std::vector<uint8_t> bytes = valid;
        int edits = 1 + static_cast<int>(random() % 6);
        for (int e = 0; e < edits; ++e) {
            size_t span = random() % 2 == 0 ? std::min<size_t>(512, bytes.size()) : bytes.size();
            size_t at = random() % span;
            switch (random() % 4) {
            case 0: bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
            case 1: bytes[at] = static_cast<uint8_t>(random()); break;
            case 2: bytes[at] = random() % 2 == 0 ? 0x00 : 0xFF; break;
            default: bytes.resize(at + 1); break;
            }
        }
        StreamHandle stream = OpenBytes(bytes);
        if (i % 10 == 0) {
            TheoraPlayer *player = OpenTheoraPlayer(MemoryTable(), stream, 3, nullptr);
            if (player != nullptr) {
                ++opened;
                AdvanceTheoraFrames(player, 5);
                CopyTheoraFrameToTargets(player, 1, 0, nullptr);
                CloseTheoraPlayer(player);
            }
        } else {
            TheoraPlayer *player = AllocTheoraPlayer(MemoryTable(), stream);
            ASSERT_NE(player, nullptr);
            if (ParseTheoraHeaders(player) == 1) {
                BuildTheoraPageIndex(player);
            }
            FreeTheoraPlayer(player);
        }
        CloseBytes(stream);
    }
    EXPECT_GT(opened, 0); // some mutants keep a usable movie: the full path ran
}

} // namespace

// The decode thread's frame stock as the movie clock moves the frame on show:
// wraps past the end and steps back find their frame, movies shorter than the
// stock leave the thread idle, and a wait for a frame that cannot come ends.

#include "movie_test_streams.h"
#include "theora_test_movie.h"

#include "tests/core/log_capture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Korvo;
using namespace TheoraTestMovie;

namespace {

// Each move waits for a full stock first: the thread idle with the frames from
// the one on show onward, as when a movie plays steadily.
TEST(TheoraFrameStock, EveryWrapAndStepBackFindsItsFrame)
{
    const struct {
        int frames, stock;
        std::vector<int> moves;
    } cases[] = {
        {30, 10, {20, 10}},    // a stock's worth past the end lands on frame 0
        {30, 10, {15, 16}},    // one past a stock's worth of wrap
        {6, 1, {2, 5}},        // a stock of one frame
        {30, 10, {25, 8, 27}}, // a stall near the loop point, then round again
        {30, 10, {20, 29}},    // one frame back, as a resumed soundtrack can ask
    };
    for (const auto &c : cases) {
        OpenMovie movie;
        TheoraMovieRecipe recipe;
        recipe.frames = c.frames;
        Open(&movie, recipe, c.stock);
        int expected = 0;
        for (int move : c.moves) {
            ASSERT_TRUE(ThreadGoesIdle(movie.player));
            AdvanceTheoraFrames(movie.player, move);
            expected = (expected + move) % c.frames;
            ExpectFrameShown(movie.player, expected);
        }
    }
}

// With every frame in the stock the thread has nothing to decode: it idles
// instead of decoding round and round, and each frame still comes.
TEST(TheoraFrameStock, MoviesShorterThanTheStockLeaveTheThreadIdle)
{
    for (int frames : {4, 9}) {
        OpenMovie movie;
        TheoraMovieRecipe recipe;
        recipe.frames = frames;
        Open(&movie, recipe, 10);
        EXPECT_TRUE(ThreadGoesIdle(movie.player)) << frames << " frames";
        for (int shown = 1; shown <= frames + 2; ++shown) {
            AdvanceTheoraFrames(movie.player, 1);
            ExpectFrameShown(movie.player, shown % frames);
        }
        EXPECT_TRUE(ThreadGoesIdle(movie.player)) << frames << " frames";
    }
}

// A frame that the thread cannot give (the decoder yields no picture) or that
// a thread held still will not give: the copy fails instead of waiting for
// ever, and once the thread works again a seek brings frames back.
TEST(TheoraFrameStock, AWaitForAFrameThatCannotComeEnds)
{
    for (bool decoderBroken : {true, false}) {
        OpenMovie movie;
        TheoraMovieRecipe recipe;
        Open(&movie, recipe, 4);
        TheoraPlayer *player = movie.player;
        ASSERT_TRUE(ThreadGoesIdle(player));
        HoldThread(player);
        theora_info *decoderInfo = player->decoder.i;
        if (decoderBroken) {
            player->decoder.i = nullptr; // the decoder refuses every packet and picture
            ReleaseThread(player);
        }
        AdvanceTheoraFrames(player, 10);
        EXPECT_EQ(CopyTheoraFrameToTargets(player, 1, 0, nullptr), 0) << decoderBroken;
        HoldThread(player);
        player->decoder.i = decoderInfo;
        ReleaseThread(player);
        SeekTheoraFrame(player, 12);
        ASSERT_TRUE(ThreadGoesIdle(player)); // a stalled thread is waited for again once it has moved
        ExpectFrameShown(player, 12);
    }
}

// A decode thread stuck in a read costs the main thread one wait, logged
// once: later copies and a seek keep the last frame without waiting, until
// the thread moves again.
TEST(TheoraFrameStock, AStalledThreadIsWaitedForOnce)
{
    OpenMovie movie;
    TheoraMovieRecipe recipe;
    Open(&movie, recipe, 4);
    TheoraPlayer *player = movie.player;
    AdvanceTheoraFrames(player, 26);
    ExpectFrameShown(player, 26);
    ASSERT_TRUE(ThreadGoesIdle(player)); // frames 26 to 29 in the stock
    KorvoTest::StartFreshLog();
    MovieTestStreams::HoldReads(true);
    AdvanceTheoraFrames(player, 5); // frame 1: the thread reads the file again from its start
    EXPECT_EQ(CopyTheoraFrameToTargets(player, 1, 0, nullptr), 0);
    const uint32_t pollsOfTheFirstWait = player->mainThreadWaitPolls.load();
    EXPECT_GT(pollsOfTheFirstWait, 0u);
    AdvanceTheoraFrames(player, 1);
    EXPECT_EQ(CopyTheoraFrameToTargets(player, 1, 0, nullptr), 0);
    EXPECT_EQ(player->mainThreadWaitPolls.load(), pollsOfTheFirstWait) << "the next step waited again";
    SeekTheoraFrame(player, 20);
    EXPECT_EQ(player->mainThreadWaitPolls.load(), pollsOfTheFirstWait) << "the seek waited";
    int stallLines = 0;
    for (const std::string &line : KorvoTest::ReadLogLines()) {
        stallLines += line.find("Theora ムービーデコード用スレッドが応答しません") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(stallLines, 1);
    MovieTestStreams::HoldReads(false);
    ASSERT_TRUE(ThreadGoesIdle(player));
    ExpectFrameShown(player, 20);
}

} // namespace

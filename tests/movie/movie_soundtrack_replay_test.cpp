// A Theora movie with a soundtrack started again, once, after it was played:
// to its end, or looped and paused. Its soundtrack plays again (from its start
// after the end) and the frames follow the soundtrack's place, back to the
// first ones, not the frame that was on show. The sound plays through the sound
// tests' fake ring, whose play cursor the test moves.

#include "theora_test_movie.h"

#include "soundtrack_session.h"

#include "sound/public_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

using namespace Korvo;

namespace {

constexpr int kFrames = 20; // two seconds at 10 frames a second
constexpr int kMostTicks = 1000; // ten seconds of sound: a backstop, not a bound

struct ReplayCase {
    const char *name;
    int firstPlayType;
    int ticksBeforePause; // -1: played to its end
    int firstFrameAfter;  // the frame the sound's place gives at the start again, or -1 when not fixed
};

const ReplayCase kCases[] = {
    {"PlayedOnceToItsEnd", 1, -1, 0},
    {"LoopedThenPausedInItsSecondPass", 3, 250, -1},
};

void PrintTo(const ReplayCase &c, std::ostream *out)
{
    *out << c.name;
}

using MovieSoundtrackReplayTest = SoundtrackSession::CaseTest<ReplayCase>;

TEST_P(MovieSoundtrackReplayTest, TheFramesFollowTheSoundtrackFromItsPlace)
{
    const ReplayCase &c = GetParam();
    const int movie = SoundtrackSession::OpenMovieWithSoundtrack("replayed.ogv", kFrames);
    ASSERT_NE(movie, -1);
    MovieHandleRecord *record = GetMovieHandleRecord(movie);

    ASSERT_EQ(StartMoviePlayback(movie, c.firstPlayType, 0), 0);
    for (int tick = 0; c.ticksBeforePause < 0 ? record->stopped == 0 && tick < kMostTicks : tick < c.ticksBeforePause;
         ++tick) {
        SoundtrackSession::Play(record->soundtrack, 10);
        ASSERT_EQ(StepMoviePlayback(movie, 0), 0);
    }
    if (c.ticksBeforePause < 0) {
        ASSERT_EQ(record->stopped, 1) << "the first play did not end";
        ASSERT_EQ(GetTheoraCurrentFrame(record->player), kFrames - 1);
    } else {
        ASSERT_EQ(PauseMoviePlayback(movie, 0), 0);
    }

    // Started again once: each step shows the frame of the sound's place.
    ASSERT_EQ(StartMoviePlayback(movie, 1, 0), 0);
    std::vector<int> shown;
    int wrong = 0;
    std::string firstWrong;
    for (int tick = 0; record->stopped == 0 && tick < kMostTicks; ++tick) {
        SoundtrackSession::Play(record->soundtrack, 10);
        const bool sounding = IsSoundHandlePlaying(record->soundtrack) == 1;
        const int ms = GetSoundHandlePlayPositionMs(record->soundtrack);
        ASSERT_EQ(StepMoviePlayback(movie, 0), 0);
        const int frame = GetTheoraCurrentFrame(record->player);
        if (shown.empty() || shown.back() != frame) {
            shown.push_back(frame);
            TheoraTestMovie::ExpectImageOfFrame(record->player, frame);
        }
        const int due = std::min(ms * TheoraMovieRecipe{}.fpsNumerator / 1000, kFrames - 1);
        if (sounding && frame != due && wrong++ == 0) {
            firstWrong = "frame " + std::to_string(frame) + ", not " + std::to_string(due) + ", at " +
                         std::to_string(ms) + " ms of sound";
        }
    }
    EXPECT_EQ(wrong, 0) << "steps showing another frame than the sound's; the first: " << firstWrong;
    EXPECT_EQ(record->stopped, 1) << "the second play did not end";
    ASSERT_FALSE(shown.empty());
    if (c.firstFrameAfter >= 0) {
        EXPECT_EQ(shown.front(), c.firstFrameAfter);
    }
    // Forward, frame by frame, to the last.
    for (size_t i = 1; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i], shown[i - 1] + 1) << "after frame " << shown[i - 1];
    }
    EXPECT_EQ(shown.back(), kFrames - 1);
    EXPECT_EQ(DeleteMovieHandle(movie), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, MovieSoundtrackReplayTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ReplayCase> &info) { return info.param.name; });

} // namespace

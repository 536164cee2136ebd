// A looped Theora movie with a soundtrack takes its frames from the place of
// its sound: with a soundtrack shorter than the sound ring's refill lead the
// frames still go round on every pass. The sound plays through the sound
// tests' fake ring, whose play cursor the test moves.

#include "theora_test_movie.h"

#include "soundtrack_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace Korvo;

TEST(MovieSoundtrackLoopTest, AShortLoopedMovieShowsEveryFrameOnEveryPass)
{
    SoundtrackSession::Start();
    const int frames = 5; // half a second at the writer's 10 frames a second
    const int fps = TheoraMovieRecipe{}.fpsNumerator;
    const int movie = SoundtrackSession::OpenMovieWithSoundtrack("short_loop.ogv", frames);
    ASSERT_NE(movie, -1);
    MovieHandleRecord *record = GetMovieHandleRecord(movie);
    const SoundHandleRecord *sound = FindSoundHandleRecord(record->soundtrack, 0);
    const int align = sound->format.blockAlign;
    const int rate = static_cast<int>(sound->format.samplesPerSec);
    const int64_t loopBytes = static_cast<int64_t>(sound->totalLength) * align;
    ASSERT_GT(loopBytes, 0);

    ASSERT_EQ(StartMoviePlayback(movie, 3, 0), 0);
    int64_t played = 0;
    int passesShowingTheFirstFrame = 0;
    int shown = -1;
    int wrong = 0;
    std::string firstWrong;
    for (int tick = 0; tick < 200; ++tick) { // 2 s: four passes
        played += SoundtrackSession::Play(record->soundtrack, 10);
        ASSERT_EQ(StepMoviePlayback(movie, 0), 0);
        // The frame of the sound's place in the loop, in whole milliseconds as the position is read.
        int64_t ms = (played % loopBytes) / align * 1000 / rate;
        int due = static_cast<int>(std::min<int64_t>(ms * fps / 1000, frames - 1));
        int frame = GetTheoraCurrentFrame(record->player);
        if (frame != due && wrong++ == 0) {
            firstWrong = "frame " + std::to_string(frame) + ", not " + std::to_string(due) + ", after " +
                         std::to_string(played / align * 1000 / rate) + " ms of sound";
        }
        if (frame != shown) {
            TheoraTestMovie::ExpectImageOfFrame(record->player, frame);
            passesShowingTheFirstFrame += frame == 0 ? 1 : 0;
            shown = frame;
        }
    }
    EXPECT_EQ(wrong, 0) << "steps showing another frame than the sound's; the first: " << firstWrong;
    EXPECT_EQ(passesShowingTheFirstFrame, 4);
    EXPECT_EQ(DeleteMovieHandle(movie), 0);
    SoundtrackSession::End();
}
